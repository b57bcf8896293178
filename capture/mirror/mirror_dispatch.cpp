// Argument checks shared by every kernel set, the choice of the set, and the
// public entry points.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "capture/mirror/mirror.h"
#include "capture/mirror/mirror_kernels.h"

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

namespace {

// The checks, then the kernel of `kernels` at `kernel`, for rows of `units` units of
// UnitBytes bytes.
using RowKernel = void (*KernelSet::*)(std::uint8_t*, std::size_t, std::size_t);
template <RowKernel kernel, std::size_t UnitBytes>
void RunChecked(const KernelSet& kernels, std::uint8_t* start, std::int32_t units, std::int32_t rowCount) {
  if (start == nullptr || !RowsUsable(units, UnitBytes, rowCount)) {
    return;
  }
  (kernels.*kernel)(start, static_cast<std::size_t>(units), static_cast<std::size_t>(rowCount));
}

}  // namespace

// clang-format off
void ReverseRowBytesWith(const KernelSet& k, std::uint8_t* s, std::int32_t n, std::int32_t rows) { RunChecked<&KernelSet::reverseRowBytes, 1>(k, s, n, rows); }
void ExchangeMacropixelsWith(const KernelSet& k, std::uint8_t* s, std::int32_t n, std::int32_t rows) { RunChecked<&KernelSet::exchangeMacropixels, 2>(k, s, n, rows); }
void ReversePixels24With(const KernelSet& k, std::uint8_t* s, std::int32_t n, std::int32_t rows) { RunChecked<&KernelSet::reversePixels24, 3>(k, s, n, rows); }
void ReversePixels32With(const KernelSet& k, std::uint8_t* s, std::int32_t n, std::int32_t rows) { RunChecked<&KernelSet::reversePixels32, 4>(k, s, n, rows); }
// clang-format on

const KernelSet* KernelsFor(KernelLevel level) {
  switch (level) {
    case KernelLevel::Plain:
      return &detail::kPlainKernels;
#if defined(CAPTURE_MIRROR_X86)
    case KernelLevel::Sse2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("sse2") ? &detail::kSse2Kernels : nullptr;
    case KernelLevel::Ssse3:
      __builtin_cpu_init();
      return __builtin_cpu_supports("ssse3") ? &detail::kSsse3Kernels : nullptr;
    case KernelLevel::Avx2:
      // The compiler's check also requires the system to save the AVX state.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") ? &detail::kAvx2Kernels : nullptr;
    case KernelLevel::Avx512:
      // As for AVX2, the checks include the system's saving of the 512-bit state.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                     __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")
                 ? &detail::kAvx512Kernels
                 : nullptr;
#endif
    default:
      return nullptr;
  }
}

namespace {
const KernelSet& ChooseKernels() {
  for (KernelLevel level : {KernelLevel::Avx512, KernelLevel::Avx2, KernelLevel::Ssse3, KernelLevel::Sse2}) {
    if (const KernelSet* kernels = KernelsFor(level)) {
      return *kernels;
    }
  }
  return detail::kPlainKernels;
}
}  // namespace

const KernelSet& ActiveKernels() {
  static const KernelSet& chosen = ChooseKernels();
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
