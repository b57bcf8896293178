// SSE2, SSSE3, AVX2 and AVX-512 kernel sets. Every function carries its own target
// attribute, so the file builds for the baseline processor of the toolchain and a
// set is only ever run after the processor has been checked for it.
#include "capture/mirror/mirror_kernels.h"
#include "capture/mirror/mirror_x86_prefetch.h"

#if defined(CAPTURE_MIRROR_X86)

#include <immintrin.h>

#include <array>
#include <cstring>
#include <utility>

namespace capture::mirror {
namespace {

enum class Layout { Bytes, Pixels24, Pixels32, Macropixels };

constexpr std::size_t UnitBytes(Layout l) { return l == Layout::Bytes ? 1 : l == Layout::Pixels24 ? 3 : 4; }

// One unit from src to dst, as the mirror places it.
template <Layout L>
inline void MirrorUnit(std::uint8_t* dst, const std::uint8_t* src) {
  if constexpr (L == Layout::Macropixels) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = src[3];
  } else {
    std::memcpy(dst, src, UnitBytes(L));
  }
}

// One macropixel exchange, swap by swap, for when front and back may overlap.
inline void ExchangeInOrder(std::uint8_t* front, std::uint8_t* back) {
  std::swap(front[0], back[2]);
  std::swap(front[1], back[1]);
  std::swap(front[2], back[0]);
  std::swap(front[3], back[3]);
}

// ---------------------------------------------------------------- SSE2
namespace sse2 {
#define MIRROR_TARGET __attribute__((target("sse2")))
#define MIRROR_PSHUFB 0
#include "capture/mirror/mirror_x86_vec128.inc"

// Bytes, macropixels and RGB32 pixels; RGB24 rows are staged in this set.
template <Layout L>
MIRROR_TARGET inline Vec MirrorVec(Vec v) {
  static_assert(L != Layout::Pixels24, "no 16-byte RGB24 shuffle without SSSE3");
  v = _mm_shuffle_epi32(v, 0x1B);  // dwords 3 2 1 0
  if constexpr (L == Layout::Bytes) {
    v = _mm_shufflelo_epi16(v, 0xB1);  // words within each dword
    v = _mm_shufflehi_epi16(v, 0xB1);
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // bytes within words
  } else if constexpr (L == Layout::Macropixels) {
    const Vec low = _mm_set1_epi32(0xFF);
    const Vec keep = _mm_andnot_si128(_mm_or_si128(low, _mm_slli_epi32(low, 16)), v);
    const Vec b0to2 = _mm_slli_epi32(_mm_and_si128(v, low), 16);
    const Vec b2to0 = _mm_and_si128(_mm_srli_epi32(v, 16), low);
    v = _mm_or_si128(keep, _mm_or_si128(b0to2, b2to0));
  }
  return v;
}

#include "capture/mirror/mirror_x86_rows.inc"
}  // namespace sse2

// ---------------------------------------------------------------- SSSE3
namespace ssse3 {
#define MIRROR_TARGET __attribute__((target("ssse3")))
#define MIRROR_PSHUFB 1
#include "capture/mirror/mirror_x86_vec128.inc"

template <Layout L>
MIRROR_TARGET inline Vec MirrorVec(Vec v) {
  if constexpr (L == Layout::Bytes) {
    return _mm_shuffle_epi8(v, _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
  } else if constexpr (L == Layout::Macropixels) {
    return _mm_shuffle_epi8(v, _mm_setr_epi8(14, 13, 12, 15, 10, 9, 8, 11, 6, 5, 4, 7, 2, 1, 0, 3));
  } else {
    return _mm_shuffle_epi32(v, 0x1B);
  }
}

#include "capture/mirror/mirror_x86_rows.inc"
}  // namespace ssse3

// ---------------------------------------------------------------- AVX2
namespace avx2 {
#define MIRROR_TARGET __attribute__((target("avx2")))
#define MIRROR_PSHUFB 1
#define MIRROR_WIDE_RGB24 1
constexpr std::size_t kWalkBatch = 4;
#include "capture/mirror/mirror_x86_vec256.inc"
#include "capture/mirror/mirror_x86_rgb24_avx2.inc"
#include "capture/mirror/mirror_x86_rows.inc"
#undef MIRROR_WIDE_RGB24
}  // namespace avx2

// ---------------------------------------------------------------- AVX-512
// The same 256-bit rows, built for AVX-512's 32 vector registers (64-bit code),
// which hold a walk step of twice the size without spilling. RGB24 has a kernel of
// its own (mirror_avx512.cpp).
namespace avx512 {
#define MIRROR_TARGET __attribute__((target("avx2,avx512f,avx512vl,avx512bw")))
#define MIRROR_PSHUFB 1
#define MIRROR_OWN_RGB24 1
// 32-bit code has only 8 vector registers, where a step of 8 vectors a side spills
// half of them to the stack (seen in the i686 build's code), so it keeps AVX2's step.
#if defined(__x86_64__)
constexpr std::size_t kWalkBatch = 8;
#else
constexpr std::size_t kWalkBatch = 4;
#endif
#include "capture/mirror/mirror_x86_vec256.inc"
#include "capture/mirror/mirror_x86_rows.inc"
#undef MIRROR_OWN_RGB24
}  // namespace avx512

}  // namespace

namespace detail {

// Byte by byte up to a 16-byte boundary of dst, then 64 bytes a step with
// streaming stores, the rest byte by byte; the fence orders the streaming stores
// before whatever publishes the copy.
__attribute__((target("sse2"))) void StreamingCopyOut(std::uint8_t* dst, const std::uint8_t* src,
                                                      std::size_t n) {
  std::size_t i = 0;
  for (; i < n && (reinterpret_cast<std::uintptr_t>(dst + i) & 15) != 0; ++i) dst[i] = src[i];
  for (; i + 64 <= n; i += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
  }
  for (; i < n; ++i) dst[i] = src[i];
  _mm_sfence();
}

const KernelSet kSse2Kernels = {"sse2",
                                sse2::ReverseRowBytes,
                                sse2::ExchangeMacropixels,
                                sse2::ReversePixels24,
                                sse2::ReversePixels32,
                                StreamingCopyOut};
const KernelSet kSsse3Kernels = {"ssse3",
                                 ssse3::ReverseRowBytes,
                                 ssse3::ExchangeMacropixels,
                                 ssse3::ReversePixels24,
                                 ssse3::ReversePixels32,
                                 StreamingCopyOut};
const KernelSet kAvx2Kernels = {"avx2",
                                avx2::ReverseRowBytes,
                                avx2::ExchangeMacropixels,
                                avx2::ReversePixels24,
                                avx2::ReversePixels32,
                                StreamingCopyOut};
const KernelSet kAvx512Kernels = {"avx512",
                                  avx512::ReverseRowBytes,
                                  avx512::ExchangeMacropixels,
                                  Avx512ReversePixels24,
                                  avx512::ReversePixels32,
                                  StreamingCopyOut};
}  // namespace detail

}  // namespace capture::mirror

#endif  // CAPTURE_MIRROR_X86
