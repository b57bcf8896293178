// Argument checks shared by every kernel set, the choice of the set, and the
// public entry points.
#include <cstddef>
#include <cstdint>

#include "mirror.h"
#include "mirror_kernels.h"

namespace capture::mirror {
namespace {

// True when rowCount rows of unitBytes * units bytes each are a real, addressable
// block: both counts positive and the total size representable. A size that cannot
// be addressed cannot describe a real frame and is left alone.
bool RowsUsable(std::int32_t units, std::size_t unitBytes, std::int32_t rowCount) {
    if (units <= 0 || rowCount <= 0) {
        return false;
    }
    const std::size_t limit = static_cast<std::size_t>(PTRDIFF_MAX);
    const std::size_t rowBytes = static_cast<std::size_t>(units);  // times unitBytes below
    return rowBytes <= limit / unitBytes / static_cast<std::size_t>(rowCount);
}

}  // namespace

void ReverseRowBytesWith(const KernelSet& kernels, std::uint8_t* start, std::int32_t rowLength,
                         std::int32_t rowCount) {
    if (start == nullptr || !RowsUsable(rowLength, 1, rowCount)) {
        return;
    }
    kernels.reverseRowBytes(start, static_cast<std::size_t>(rowLength),
                            static_cast<std::size_t>(rowCount));
}

void ExchangeMacropixelsWith(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                             std::int32_t rowCount) {
    if (start == nullptr || !RowsUsable(width, 2, rowCount)) {
        return;
    }
    kernels.exchangeMacropixels(start, static_cast<std::size_t>(width),
                                static_cast<std::size_t>(rowCount));
}

void ReversePixels24With(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                         std::int32_t rowCount) {
    if (start == nullptr || !RowsUsable(width, 3, rowCount)) {
        return;
    }
    kernels.reversePixels24(start, static_cast<std::size_t>(width),
                            static_cast<std::size_t>(rowCount));
}

void ReversePixels32With(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                         std::int32_t rowCount) {
    if (start == nullptr || !RowsUsable(width, 4, rowCount)) {
        return;
    }
    kernels.reversePixels32(start, static_cast<std::size_t>(width),
                            static_cast<std::size_t>(rowCount));
}

const KernelSet* KernelsFor(KernelLevel level) {
    switch (level) {
        case KernelLevel::Plain:
            return &detail::kPlainKernels;
        default:
            return nullptr;
    }
}

const KernelSet& ActiveKernels() {
    static const KernelSet& chosen = detail::kPlainKernels;
    return chosen;
}

void ReverseRowBytes(std::uint8_t* start, std::int32_t rowLength, std::int32_t rowCount) {
    ReverseRowBytesWith(ActiveKernels(), start, rowLength, rowCount);
}
void ExchangeMacropixels(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
    ExchangeMacropixelsWith(ActiveKernels(), start, width, rowCount);
}
void ReversePixels24(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
    ReversePixels24With(ActiveKernels(), start, width, rowCount);
}
void ReversePixels32(std::uint8_t* start, std::int32_t width, std::int32_t rowCount) {
    ReversePixels32With(ActiveKernels(), start, width, rowCount);
}

}  // namespace capture::mirror
