#include "capture/sim/tv_test_card.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "capture/sim/frame_pixels.h"

namespace capture::sim {

namespace {

// Dots of the glyphs, one string a row, '#' set.
constexpr const char* kMarkGlyph[7] = {"#####", "#....", "#....", "####.", "#....", "#....", "#...."};
constexpr const char* kDigitGlyphs[10][5] = {
    {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"},
    {"###", "..#", "###", "#..", "###"}, {"###", "..#", "###", "..#", "###"},
    {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"}, {"###", "..#", ".#.", ".#.", ".#."},
    {"###", "#.#", "###", "#.#", "###"}, {"###", "#.#", "###", "..#", "###"}};
constexpr int kDigits = 6;

// The card as rows of 0xRRGGBB from the top.
class Picture {
 public:
  Picture(std::int32_t width, std::int32_t height)
      : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height) {}
  std::uint32_t At(std::int32_t x, std::int32_t y) const { return pixels_[Index(x, y)]; }
  void Fill(std::int32_t left, std::int32_t top, std::int32_t w, std::int32_t h, std::uint32_t rgb) {
    for (std::int32_t y = std::max(top, 0); y < std::min(top + h, height_); ++y) {
      for (std::int32_t x = std::max(left, 0); x < std::min(left + w, width_); ++x)
        pixels_[Index(x, y)] = rgb;
    }
  }
  template <std::size_t Rows>
  void Glyph(const char* const (&rows)[Rows], std::int32_t left, std::int32_t top, std::int32_t scale) {
    for (std::size_t row = 0; row < Rows; ++row) {
      for (std::int32_t column = 0; rows[row][column] != '\0'; ++column) {
        if (rows[row][column] == '#') {
          Fill(left + column * scale, top + static_cast<std::int32_t>(row) * scale, scale, scale,
               kTestCardMark);
        }
      }
    }
  }

 private:
  std::size_t Index(std::int32_t x, std::int32_t y) const { return static_cast<std::size_t>(y) * width_ + x; }
  std::int32_t width_, height_;
  std::vector<std::uint32_t> pixels_;
};

Picture Card(std::int32_t w, std::int32_t h, std::uint32_t frameNumber) {
  const TestCardLayout layout = LayoutOfTestCard(w, h);
  const std::int32_t s = layout.scale;
  Picture card(w, h);
  for (int bar = 0; bar < 8; ++bar) {
    const std::int32_t left = bar * w / 8;
    card.Fill(left, 0, (bar + 1) * w / 8 - left, layout.barsHeight, kTestCardBars[bar]);
  }
  card.Fill(0, layout.barsHeight, w, h - layout.barsHeight, kTestCardGround);
  card.Glyph(kMarkGlyph, layout.markLeft, layout.markTop, s);
  std::uint32_t number = frameNumber;
  for (int digit = kDigits - 1; digit >= 0; --digit, number /= 10) {
    card.Glyph(kDigitGlyphs[number % 10], w - s - (kDigits - digit) * 4 * s, layout.markTop, s);
  }
  const std::int32_t track = w - 2 * s;
  const std::int32_t at = static_cast<std::int32_t>(frameNumber % static_cast<std::uint32_t>(track / s)) * s;
  card.Fill(at, h - 3 * s, 2 * s, 2 * s, kTestCardMark);
  return card;
}

struct Yuv {
  int y, u, v;
};
// BT.601 at video levels.
Yuv ToYuv(std::uint32_t rgb) {
  const int r = static_cast<int>(rgb >> 16 & 0xFF), g = static_cast<int>(rgb >> 8 & 0xFF),
            b = static_cast<int>(rgb & 0xFF);
  return {((66 * r + 129 * g + 25 * b + 128) >> 8) + 16, ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128,
          ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128};
}

std::uint8_t Byte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

void WriteRgb(const Picture& card, std::int32_t w, std::int32_t h, bool bottomUp, int bytes,
              std::uint8_t* data) {
  for (std::int32_t y = 0; y < h; ++y) {
    std::uint8_t* row = data + static_cast<std::ptrdiff_t>(bottomUp ? h - 1 - y : y) * w * bytes;
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t rgb = card.At(x, y);
      std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bytes;
      p[0] = static_cast<std::uint8_t>(rgb);
      p[1] = static_cast<std::uint8_t>(rgb >> 8);
      p[2] = static_cast<std::uint8_t>(rgb >> 16);
      if (bytes == 4) p[3] = 0xFF;
    }
  }
}

void WritePacked(const Picture& card, std::int32_t w, std::int32_t h, std::uint8_t* data) {
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; x += 2) {
      const Yuv a = ToYuv(card.At(x, y)), b = ToYuv(card.At(x + 1, y));
      std::uint8_t* p = data + (static_cast<std::ptrdiff_t>(y) * w + x) * 2;
      p[0] = Byte(a.y);
      p[1] = Byte((a.u + b.u + 1) / 2);
      p[2] = Byte(b.y);
      p[3] = Byte((a.v + b.v + 1) / 2);
    }
  }
}

void WritePlanar(const Picture& card, std::int32_t w, std::int32_t h, bool vFirst, std::uint8_t* data) {
  std::uint8_t* u = data + static_cast<std::ptrdiff_t>(w) * h;
  std::uint8_t* v = u + static_cast<std::ptrdiff_t>(w / 2) * (h / 2);
  if (vFirst) std::swap(u, v);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x)
      data[static_cast<std::ptrdiff_t>(y) * w + x] = Byte(ToYuv(card.At(x, y)).y);
  }
  for (std::int32_t y = 0; y < h; y += 2) {
    for (std::int32_t x = 0; x < w; x += 2) {
      int su = 0, sv = 0;
      for (const std::uint32_t rgb :
           {card.At(x, y), card.At(x + 1, y), card.At(x, y + 1), card.At(x + 1, y + 1)}) {
        const Yuv c = ToYuv(rgb);
        su += c.u;
        sv += c.v;
      }
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y / 2) * (w / 2) + x / 2;
      u[at] = Byte((su + 2) / 4);
      v[at] = Byte((sv + 2) / 4);
    }
  }
}

}  // namespace

TestCardLayout LayoutOfTestCard(std::int32_t width, std::int32_t height) {
  const std::int32_t h = std::abs(height);
  const std::int32_t scale = std::max(1, std::min(h / 48, width / 64));
  const std::int32_t barsHeight = h * 2 / 3;
  return {barsHeight, scale, scale, barsHeight + scale};
}

bool DrawTestCard(const graph::Guid& subtype, std::int32_t width, std::int32_t height,
                  std::uint32_t frameNumber, std::uint8_t* data, std::int32_t size) {
  const std::int32_t h = std::abs(height);
  if (!Drawable(subtype) || width < 16 || h < 16 || width % 2 != 0 || h % 2 != 0 ||
      NeededBytes(subtype, width, h) > size) {
    return false;
  }
  const Picture card = Card(width, h, frameNumber);
  if (subtype == graph::kSubtypeRGB24 || subtype == graph::kSubtypeRGB32) {
    WriteRgb(card, width, h, height > 0, subtype == graph::kSubtypeRGB24 ? 3 : 4, data);
  } else if (subtype == graph::kSubtypeYUY2 || subtype == graph::kSubtypeYUYV) {
    WritePacked(card, width, h, data);
  } else {
    WritePlanar(card, width, h, subtype == graph::kSubtypeYV12, data);
  }
  return true;
}

}  // namespace capture::sim
