#include "capture/sim/frame_pixels.h"

#include <algorithm>
#include <utility>

namespace capture::sim {

namespace {

std::uint8_t Clamp(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

std::uint32_t YuvToRgb(int y, int u, int v) {
  const int c = y - 16;
  const int d = u - 128;
  const int e = v - 128;
  const std::uint8_t r = Clamp((298 * c + 409 * e + 128) >> 8);
  const std::uint8_t g = Clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
  const std::uint8_t b = Clamp((298 * c + 516 * d + 128) >> 8);
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
}

std::uint32_t FrameReader::Pixel(std::int64_t x, std::int64_t y) const {
  if (subtype == graph::kSubtypeRGB24 || subtype == graph::kSubtypeRGB32) {
    const std::int64_t bytes = subtype == graph::kSubtypeRGB24 ? 3 : 4;
    const std::int64_t row = bottomUp ? h - 1 - y : y;
    const std::uint8_t* p = data + (row * w + x) * bytes;
    return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
  }
  if (subtype == graph::kSubtypeYUY2 || subtype == graph::kSubtypeYUYV) {
    const std::uint8_t* row = data + y * 2 * w;
    const std::int64_t macro = (x / 2) * 4;
    // The last pixel of an odd-width row has no whole macropixel: no colour.
    if (macro + 3 >= 2 * w) return YuvToRgb(row[2 * x], 128, 128);
    return YuvToRgb(row[2 * x], row[macro + 1], row[macro + 3]);
  }
  const std::uint8_t* uPlane = data + w * h;
  const std::uint8_t* vPlane = data + (w * h * 5) / 4;
  if (subtype == graph::kSubtypeYV12) {
    std::swap(uPlane, vPlane);
  }
  const std::int64_t chroma = (y / 2) * (w / 2) + x / 2;
  const int u = (w >= 2 && h >= 2) ? uPlane[chroma] : 128;
  const int v = (w >= 2 && h >= 2) ? vPlane[chroma] : 128;
  return YuvToRgb(data[y * w + x], u, v);
}

bool Drawable(const graph::Guid& subtype) {
  return subtype == graph::kSubtypeI420 || subtype == graph::kSubtypeIYUV || subtype == graph::kSubtypeYV12 ||
         subtype == graph::kSubtypeYUY2 || subtype == graph::kSubtypeYUYV ||
         subtype == graph::kSubtypeRGB24 || subtype == graph::kSubtypeRGB32;
}

std::int64_t NeededBytes(const graph::Guid& subtype, std::int64_t w, std::int64_t h) {
  if (subtype == graph::kSubtypeRGB24) return 3 * w * h;
  if (subtype == graph::kSubtypeRGB32) return 4 * w * h;
  if (subtype == graph::kSubtypeYUY2 || subtype == graph::kSubtypeYUYV) return 2 * w * h;
  return (w * h * 5) / 4 + (h / 2) * (w / 2);
}

}  // namespace capture::sim
