// The plain mirrors: byte-at-a-time loops that follow the definitions literally.
// The fast kernels are tested against these.
#include <cstring>
#include <utility>

#include "capture/mirror/mirror_kernels.h"

namespace capture::mirror {
namespace {

void PlainReverseRowBytes(std::uint8_t* start, std::size_t rowLength, std::size_t rowCount) {
  for (std::size_t row = 0; row < rowCount; ++row, start += rowLength) {
    for (std::size_t i = 0; i < rowLength / 2; ++i) {
      std::swap(start[i], start[rowLength - 1 - i]);
    }
  }
}

void PlainExchangeMacropixels(std::uint8_t* start, std::size_t width, std::size_t rowCount) {
  const std::size_t rowBytes = 2 * width;
  // A one-pixel row holds no whole macropixel: its exchange would reach two bytes
  // before and two bytes after the row, so such rows are left as they are.
  if (width < 2) {
    return;
  }
  const std::size_t exchanges = (width - 1) / 4 + 1;
  for (std::size_t row = 0; row < rowCount; ++row, start += rowBytes) {
    for (std::size_t k = 0; k < exchanges; ++k) {
      // For odd widths the two macropixels of an exchange may overlap; the
      // four swaps then happen one after the other, in this order.
      std::uint8_t* front = start + 4 * k;
      std::uint8_t* back = start + rowBytes - 4 - 4 * k;
      std::swap(front[0], back[2]);
      std::swap(front[1], back[1]);
      std::swap(front[2], back[0]);
      std::swap(front[3], back[3]);
    }
  }
}

template <std::size_t PixelBytes>
void PlainReversePixels(std::uint8_t* start, std::size_t width, std::size_t rowCount) {
  const std::size_t rowBytes = PixelBytes * width;
  for (std::size_t row = 0; row < rowCount; ++row, start += rowBytes) {
    for (std::size_t j = 0; j < width / 2; ++j) {
      std::uint8_t* left = start + PixelBytes * j;
      std::uint8_t* right = start + PixelBytes * (width - 1 - j);
      for (std::size_t b = 0; b < PixelBytes; ++b) {
        std::swap(left[b], right[b]);
      }
    }
  }
}

void PlainCopyOut(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) { std::memcpy(dst, src, n); }

}  // namespace

namespace detail {
const KernelSet kPlainKernels = {
    "plain",
    PlainReverseRowBytes,
    PlainExchangeMacropixels,
    PlainReversePixels<3>,
    PlainReversePixels<4>,
    PlainCopyOut,
};
}  // namespace detail

namespace plain {
void ReverseRowBytes(std::uint8_t* start, std::int32_t rowLength, std::int32_t rowCount) {
  ReverseRowBytesWith(detail::kPlainKernels, start, rowLength, rowCount);
}
void ExchangeMacropixels(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
  ExchangeMacropixelsWith(detail::kPlainKernels, start, width, rowCount);
}
void ReversePixels24(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
  ReversePixels24With(detail::kPlainKernels, start, width, rowCount);
}
void ReversePixels32(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
  ReversePixels32With(detail::kPlainKernels, start, width, rowCount);
}
}  // namespace plain

}  // namespace capture::mirror
