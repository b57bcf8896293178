// The test card the default simulated cameras show, so that a person looking at a
// preview can tell a mirrored, flipped, frozen, discoloured or cut picture from a
// good one: the eight classic colour bars (75 %) across the top two thirds; below
// them on dark grey an "F" in the left corner (it reads backwards when mirrored,
// upside down when flipped), the frame number in the right corner, and a square
// that moves a step to the right with every frame along the bottom.
#pragma once

#include <cstdint>

#include "capture/graph/graph_api.h"

namespace capture::sim {

// White, yellow, cyan, green, magenta, red, blue, black, left to right; 0xRRGGBB.
inline constexpr std::uint32_t kTestCardBars[8] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00,
                                                   0xBF00BF, 0xBF0000, 0x0000BF, 0x000000};
inline constexpr std::uint32_t kTestCardMark = 0xFFFFFF;
inline constexpr std::uint32_t kTestCardGround = 0x202020;

// Where the card puts its pieces in a width x height picture (rows from the top).
struct TestCardLayout {
  std::int32_t barsHeight;         // the bars fill rows [0, barsHeight)
  std::int32_t scale;              // pixels of one dot of the mark and the digits
  std::int32_t markLeft, markTop;  // the "F", 5 x 7 dots; its stem is the left column
};
TestCardLayout LayoutOfTestCard(std::int32_t width, std::int32_t height);

// Frame `frameNumber` of the card into `data` in the layout of `subtype` (I420, IYUV
// and YV12 planes, YUY2 and YUYV macropixels, all at video levels with the BT.601
// matrix; RGB24 and RGB32 bottom-up for a positive height, top-down for a negative
// one). False, nothing written, for another subtype, a width or height of which
// the layout cannot be made (odd, or below 16), or when `size` is too small.
bool DrawTestCard(const graph::Guid& subtype, std::int32_t width, std::int32_t height,
                  std::uint32_t frameNumber, std::uint8_t* data, std::int32_t size);

}  // namespace capture::sim
