// Reading the colour of one pixel of a frame in each layout the simulated renderer
// draws: the renderer's drawing and the test card's check read frames the same way.
#pragma once

#include <cstdint>

#include "capture/graph/graph_api.h"

namespace capture::sim {

// BT.601 at video levels (Y 16-235, U and V 16-240) to 0xRRGGBB.
std::uint32_t YuvToRgb(int y, int u, int v);

// The colour of pixel (x, y), counted from the top left, of a frame.
struct FrameReader {
  const graph::Guid& subtype;
  std::int64_t w;
  std::int64_t h;  // rows, always positive
  bool bottomUp;   // RGB with a positive height is stored bottom row first
  const std::uint8_t* data;

  std::uint32_t Pixel(std::int64_t x, std::int64_t y) const;
};

// I420, IYUV, YV12, YUY2, YUYV, RGB24 and RGB32.
bool Drawable(const graph::Guid& subtype);
// Bytes a frame of the drawable subtypes needs (rows counted positive).
std::int64_t NeededBytes(const graph::Guid& subtype, std::int64_t w, std::int64_t h);

}  // namespace capture::sim
