// In-place left-right mirrors of the frame layouts the frame filter knows.
// Each works on `rowCount` consecutive, tightly packed rows starting at `start`.
// The fastest kernel the processor supports is chosen once, on first use; every
// kernel gives byte-identical results to the plain code.
#pragma once

#include <cstdint>

namespace capture::mirror {

// Planar rows (I420, IYUV, YV12 planes): in each row of `rowLength` bytes, byte i
// trades places with byte rowLength - 1 - i. Nothing happens when
// rowLength * rowCount is not positive.
void ReverseRowBytes(std::uint8_t* start, std::int32_t rowLength, std::int32_t rowCount);

// Packed 4:2:2 rows (YUY2, YUYV) of 2 * width bytes: when width is positive,
// floor((width - 1) / 4) + 1 exchanges per row; exchange k pairs the macropixel at
// 4k with the one at 2 * width - 4 - 4k and swaps front 0 with back 2, front 1 with
// back 1, front 2 with back 0, front 3 with back 3, in this order.
void ExchangeMacropixels(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);

// RGB24 / RGB32 rows of width pixels of 3 / 4 bytes: pixel j trades places with
// pixel width - 1 - j; the bytes of a pixel keep their order.
void ReversePixels24(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);
void ReversePixels32(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);

// The plain code, always available; the reference the fast kernels are held to.
namespace plain {
void ReverseRowBytes(std::uint8_t* start, std::int32_t rowLength, std::int32_t rowCount);
void ExchangeMacropixels(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);
void ReversePixels24(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);
void ReversePixels32(std::uint8_t* start, std::int32_t width, std::int32_t rowCount);
}  // namespace plain

}  // namespace capture::mirror
