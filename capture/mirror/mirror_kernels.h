// Kernel sets behind the mirror entry points, and the hooks tests and benchmarks
// use to run one set on purpose.
#pragma once

#include <cstddef>
#include <cstdint>

namespace capture::mirror {

enum class KernelLevel { Plain, Sse2, Ssse3, Avx2, Avx512 };

// One kernel per layout. The arguments are already checked: the row length or
// width and the row count are positive and the rows fit in the address space.
// copyOut copies `n` bytes to a buffer that is not read again soon (the grab
// copy made beside a mirror): with stores that bypass the caches where the set has
// them, so the copy does not push the frame being mirrored out of them. The bytes
// are visible to other threads once it returns and the caller publishes them.
struct KernelSet {
  const char* name;
  void (*reverseRowBytes)(std::uint8_t* start, std::size_t rowLength, std::size_t rowCount);
  void (*exchangeMacropixels)(std::uint8_t* start, std::size_t width, std::size_t rowCount);
  void (*reversePixels24)(std::uint8_t* start, std::size_t width, std::size_t rowCount);
  void (*reversePixels32)(std::uint8_t* start, std::size_t width, std::size_t rowCount);
  void (*copyOut)(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
};

// The set for `level`, or nullptr when this build or this processor lacks it.
const KernelSet* KernelsFor(KernelLevel level);

// The set the entry points use (the best one available), chosen on first use.
const KernelSet& ActiveKernels();

// Runs the entry point's argument checks and then `kernels`; the entry points are
// these with ActiveKernels(), the plain functions these with the plain set.
void ReverseRowBytesWith(const KernelSet& kernels, std::uint8_t* start, std::int32_t rowLength,
                         std::int32_t rowCount);
void ExchangeMacropixelsWith(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                             std::int32_t rowCount);
void ReversePixels24With(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                         std::int32_t rowCount);
void ReversePixels32With(const KernelSet& kernels, std::uint8_t* start, std::int32_t width,
                         std::int32_t rowCount);

namespace detail {
// Byte j of n mirrored RGB24 pixels comes from byte Rgb24Source(n, j) of the
// originals; the vector kernels compute their shuffle tables from it.
constexpr unsigned Rgb24Source(unsigned pixels, unsigned j) { return 3 * (pixels - 1 - j / 3) + j % 3; }

extern const KernelSet kPlainKernels;
// The x86 sets exist only in x86 builds; ask for them through KernelsFor, which
// also checks the processor.
#if defined(__i386__) || defined(__x86_64__)
#define CAPTURE_MIRROR_X86 1
extern const KernelSet kSse2Kernels;
extern const KernelSet kSsse3Kernels;
extern const KernelSet kAvx2Kernels;
// AVX2's kernels, but for RGB24 a kernel of AVX-512 F, BW and VBMI.
extern const KernelSet kAvx512Kernels;
void Avx512ReversePixels24(std::uint8_t* start, std::size_t width, std::size_t rowCount);
// SSE2's streaming stores, which every x86 set has.
void StreamingCopyOut(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
#endif
}  // namespace detail

}  // namespace capture::mirror
