// The AVX-512 RGB24 kernel, the one kernel of the AVX-512 set that is its own (the
// set is put together in mirror_x86.cpp). VBMI's byte permutes move three-byte
// pixels across a whole 64-byte register, which the 16-byte-lane shuffles of SSSE3
// and AVX2 cannot.
//
// Every function carries its own target attribute; the kernel is only used after
// the processor (and the system's saving of the 512-bit state) has been checked.
#include "capture/mirror/mirror_kernels.h"
#include "capture/mirror/mirror_x86_prefetch.h"

#if defined(CAPTURE_MIRROR_X86)

#include <immintrin.h>

#include <array>
#include <cstdint>

#define MIRROR_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace capture::mirror {
namespace {

using Table = std::array<std::uint8_t, 64>;

using detail::Rgb24Source;

// 64 pixels make three whole registers (192 bytes). Output register k of the
// mirrored block draws its bytes from at most three input registers; these tables
// give, for the two-register permute over inputs (first, first + 1), each byte's
// index into that pair (0..127). Out 0 draws on inputs 1 and 2, out 2 on inputs 0
// and 1, and out 1 on inputs 0 and 1 except for one byte from input 2, merged in
// afterwards.
constexpr Table BlockPairIndex(unsigned out, unsigned first) {
  Table t{};
  for (unsigned j = 0; j < 64; ++j) {
    const unsigned source = Rgb24Source(64, 64 * out + j);
    const unsigned inPair = source - 64 * first;
    t[j] = static_cast<std::uint8_t>(inPair < 128 ? inPair : 0);
  }
  return t;
}

// The bytes of output register 1 that come from input register 2, and their
// indices in it.
constexpr std::uint64_t BlockOut1FromThirdMask() {
  std::uint64_t mask = 0;
  for (unsigned j = 0; j < 64; ++j) {
    if (Rgb24Source(64, 64 + j) >= 128) mask |= std::uint64_t{1} << j;
  }
  return mask;
}
constexpr Table BlockOut1FromThirdIndex() {
  Table t{};
  for (unsigned j = 0; j < 64; ++j) {
    const unsigned source = Rgb24Source(64, 64 + j);
    t[j] = static_cast<std::uint8_t>(source >= 128 ? source - 128 : 0);
  }
  return t;
}

// 21 pixels (63 bytes) mirrored within one register. For n < 21 pixels the same
// table less 3 * (21 - n) is right for the n pixels' 3n bytes.
constexpr Table Mirror21Index() {
  Table t{};
  for (unsigned j = 0; j < 63; ++j) t[j] = static_cast<std::uint8_t>(Rgb24Source(21, j));
  t[63] = 63;
  return t;
}

// True when every byte of output register `out`, except those in `except`, comes
// from bytes lo..hi-1 of the block.
constexpr bool SourcesWithin(unsigned out, unsigned lo, unsigned hi, std::uint64_t except) {
  for (unsigned j = 0; j < 64; ++j) {
    const unsigned source = Rgb24Source(64, 64 * out + j);
    if (!(except >> j & 1) && (source < lo || source >= hi)) return false;
  }
  return true;
}
static_assert(SourcesWithin(0, 64, 192, 0), "out 0 draws on inputs 1 and 2");
static_assert(SourcesWithin(1, 0, 128, BlockOut1FromThirdMask()), "out 1 draws on inputs 0 and 1");
static_assert(SourcesWithin(2, 0, 128, 0), "out 2 draws on inputs 0 and 1");

alignas(64) constexpr Table kOut0 = BlockPairIndex(0, 1);
alignas(64) constexpr Table kOut1 = BlockPairIndex(1, 0);
alignas(64) constexpr Table kOut1Third = BlockOut1FromThirdIndex();
constexpr std::uint64_t kOut1ThirdMask = BlockOut1FromThirdMask();
alignas(64) constexpr Table kOut2 = BlockPairIndex(2, 0);
alignas(64) constexpr Table kMirror21 = Mirror21Index();

MIRROR_TARGET inline __m512i LoadTable(const Table& t) { return _mm512_load_si512(t.data()); }
MIRROR_TARGET inline __m512i Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
MIRROR_TARGET inline void Store(std::uint8_t* p, __m512i v) { _mm512_storeu_si512(p, v); }

struct BlockTables {
  __m512i out0, out1, out1Third, out2;
};

// The 64 pixels at `from` (already loaded as a, b, c) mirrored into `to`.
MIRROR_TARGET inline void StoreMirroredBlock(std::uint8_t* to, __m512i a, __m512i b, __m512i c,
                                             const BlockTables& t) {
  const __m512i out1 = _mm512_permutex2var_epi8(a, t.out1, b);
  Store(to, _mm512_permutex2var_epi8(b, t.out0, c));
  Store(to + 64, _mm512_mask_permutexvar_epi8(out1, kOut1ThirdMask, t.out1Third, c));
  Store(to + 128, _mm512_permutex2var_epi8(a, t.out2, b));
}

// The first `pairs` pixels of the row trade places, mirrored, with the last
// `pairs` pixels; the middle pixel of an odd row stays.
MIRROR_TARGET void SwapEnds24(std::uint8_t* row, std::size_t rowBytes, std::size_t pairs) {
  const std::size_t side = 3 * pairs;
  std::uint8_t* const end = row + rowBytes;
  const std::size_t ahead = PrefetchDistance(rowBytes);
  const BlockTables t = {LoadTable(kOut0), LoadTable(kOut1), LoadTable(kOut1Third), LoadTable(kOut2)};
  std::size_t d = 0;
  // Whole blocks of 64 pixels from both ends; each pair of blocks is loaded
  // whole before either is stored, and the two never overlap.
  for (; d + 192 <= side; d += 192) {
    std::uint8_t* front = row + d;
    std::uint8_t* back = end - d - 192;
    for (std::size_t line = 0; line < 192; line += 64) {
      Prefetch(front + line, ahead);
      Prefetch(back + line, ahead);
    }
    const __m512i f0 = Load(front), f1 = Load(front + 64), f2 = Load(front + 128);
    const __m512i b0 = Load(back), b1 = Load(back + 64), b2 = Load(back + 128);
    StoreMirroredBlock(front, b0, b1, b2, t);
    StoreMirroredBlock(back, f0, f1, f2, t);
  }
  // The rest, at most 21 pixels a side at a time, with masked loads and stores
  // of exactly the pixels concerned.
  const __m512i mirror21 = LoadTable(kMirror21);
  while (d < side) {
    const std::size_t left = (side - d) / 3;
    const std::size_t n = left < 21 ? left : 21;
    const __mmask64 mask = (std::uint64_t{1} << (3 * n)) - 1;
    const __m512i index = _mm512_sub_epi8(mirror21, _mm512_set1_epi8(static_cast<char>(3 * (21 - n))));
    std::uint8_t* front = row + d;
    std::uint8_t* back = end - d - 3 * n;
    const __m512i f = _mm512_maskz_loadu_epi8(mask, front);
    const __m512i b = _mm512_maskz_loadu_epi8(mask, back);
    _mm512_mask_storeu_epi8(front, mask, _mm512_maskz_permutexvar_epi8(mask, index, b));
    _mm512_mask_storeu_epi8(back, mask, _mm512_maskz_permutexvar_epi8(mask, index, f));
    d += 3 * n;
  }
}

}  // namespace

namespace detail {
MIRROR_TARGET void Avx512ReversePixels24(std::uint8_t* start, std::size_t width, std::size_t rowCount) {
  const std::size_t rowBytes = 3 * width;
  for (std::size_t r = 0; r < rowCount; ++r, start += rowBytes) {
    SwapEnds24(start, rowBytes, width / 2);
  }
}
}  // namespace detail

}  // namespace capture::mirror

#endif  // CAPTURE_MIRROR_X86
