// The plain mirrors against independent formulations and the worked examples, and
// every kernel set the processor has against the plain code on random frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "capture/mirror/mirror.h"
#include "capture/mirror/mirror_kernels.h"

namespace capture::mirror {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A layout's mirror: its name, the bytes of one unit, its entry point for a set.
struct Op {
  const char* name;
  std::size_t unitBytes;
  void (*mirror)(const KernelSet& k, std::uint8_t* start, std::int32_t width, std::int32_t rows);
};
const Op kRowBytes = {"row bytes", 1, &ReverseRowBytesWith};
const Op kMacropixels = {"macropixels", 2, &ExchangeMacropixelsWith};
const Op kPixels24 = {"rgb24", 3, &ReversePixels24With};
const Op kPixels32 = {"rgb32", 4, &ReversePixels32With};
const Op kEveryOp[] = {kRowBytes, kMacropixels, kPixels24, kPixels32};

std::size_t RowBytesOf(const Op& op, std::size_t width) { return op.unitBytes * width; }

void Mirror(const KernelSet& k, const Op& op, std::uint8_t* p, std::int32_t width, std::int32_t rows) {
  op.mirror(k, p, width, rows);
}

// Guard bytes on both sides of every frame catch writes outside the rows.
constexpr std::size_t kGuard = 64;

Bytes RandomFrame(std::mt19937& rng, std::size_t frameBytes) {
  Bytes b(frameBytes + 2 * kGuard);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

std::vector<KernelLevel> AllLevels() {
  return {KernelLevel::Plain, KernelLevel::Sse2, KernelLevel::Ssse3, KernelLevel::Avx2, KernelLevel::Avx512};
}

// ---------------------------------------------------------------- plain code

// The plain mirrors of whole units, against a reversal built a different way.
TEST(PlainMirror, ReversesUnitsOfEveryRowAndNothingElse) {
  std::mt19937 rng(7);
  for (const Op& op : {kRowBytes, kPixels24, kPixels32}) {
    const std::size_t unit = RowBytesOf(op, 1);
    for (std::int32_t width : {1, 2, 3, 4, 5, 16, 17, 33}) {
      const std::int32_t rows = 3;
      const std::size_t rowBytes = RowBytesOf(op, width);
      Bytes before = RandomFrame(rng, rowBytes * rows);
      Bytes after = before;
      Mirror(detail::kPlainKernels, op, after.data() + kGuard, width, rows);
      Bytes expected = before;
      for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t j = 0; j < width; ++j) {
          for (std::size_t b = 0; b < unit; ++b) {
            expected[kGuard + r * rowBytes + j * unit + b] =
                before[kGuard + r * rowBytes + (width - 1 - j) * unit + b];
          }
        }
      }
      EXPECT_EQ(after, expected) << op.name << " width " << width;
    }
  }
}

// For even widths the exchange mirrors the pixels: macropixel j takes the one at
// M - 1 - j with its lumas swapped; a middle macropixel is left as it is.
TEST(PlainMirror, MacropixelExchangeOfEvenWidthsMirrorsPixels) {
  std::mt19937 rng(11);
  for (std::int32_t width = 2; width <= 40; width += 2) {
    const std::int32_t rows = 2;
    const std::size_t rowBytes = 2 * width;
    const std::int32_t m = width / 2;
    Bytes before = RandomFrame(rng, rowBytes * rows);
    Bytes after = before;
    plain::ExchangeMacropixels(after.data() + kGuard, width, rows);
    Bytes expected = before;
    for (std::int32_t r = 0; r < rows; ++r) {
      for (std::int32_t j = 0; j < m; ++j) {
        if (m % 2 == 1 && j == m / 2) continue;
        const std::uint8_t* src = &before[kGuard + r * rowBytes + 4 * (m - 1 - j)];
        std::uint8_t* dst = &expected[kGuard + r * rowBytes + 4 * j];
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = src[3];
      }
    }
    EXPECT_EQ(after, expected) << "width " << width;
  }
}

// Odd widths: the exchanges overlap and run swap by swap. Width 3 (6 bytes) has a
// single exchange between offsets 0 and 2; width 5 (10 bytes) has 0<->6 then 4<->2.
TEST(PlainMirror, MacropixelExchangeOfOddWidthsRunsSwapsInOrder) {
  Bytes row = {10, 11, 12, 13, 14, 15};
  plain::ExchangeMacropixels(row.data(), 3, 1);
  // swaps 0<->4, 1<->3, 2<->2, 3<->5 one after the other
  EXPECT_EQ(row, (Bytes{14, 13, 12, 15, 10, 11}));

  Bytes row5 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  plain::ExchangeMacropixels(row5.data(), 5, 1);
  // 0<->8 1<->7 2<->6 3<->9 gives 8 7 6 9 4 5 2 1 0 3; then 4<->4 5<->3 6<->2 7<->5
  EXPECT_EQ(row5, (Bytes{8, 7, 2, 5, 4, 1, 6, 9, 0, 3}));
}

// A one-pixel YUY2 row holds half a macropixel; its exchange would reach outside
// the row, so it is left alone and nothing around it is touched.
TEST(PlainMirror, OnePixelYuy2RowsAreLeftAlone) {
  std::mt19937 rng(3);
  Bytes before = RandomFrame(rng, 2 * 4);
  for (KernelLevel level : AllLevels()) {
    const KernelSet* k = KernelsFor(level);
    if (!k) continue;
    Bytes after = before;
    ExchangeMacropixelsWith(*k, after.data() + kGuard, 1, 4);
    EXPECT_EQ(after, before) << k->name;
  }
}

TEST(PlainMirror, NonPositiveSizesDoNothing) {
  Bytes buf(64, 0);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<std::uint8_t>(i);
  const Bytes original = buf;
  std::uint8_t* p = buf.data() + 16;
  for (auto [a, b] : {std::pair{0, 4}, {4, 0}, {-4, 2}, {4, -2}, {-4, -2}}) {
    ReverseRowBytes(p, a, b);
    ExchangeMacropixels(p, a, b);
    ReversePixels24(p, a, b);
    ReversePixels32(p, a, b);
    plain::ReverseRowBytes(p, a, b);
    plain::ExchangeMacropixels(p, a, b);
    plain::ReversePixels24(p, a, b);
    plain::ReversePixels32(p, a, b);
    EXPECT_EQ(buf, original) << a << " x " << b;
  }
  ReverseRowBytes(nullptr, 4, 4);
  ExchangeMacropixels(nullptr, 4, 4);
  ReversePixels24(nullptr, 4, 4);
  ReversePixels32(nullptr, 4, 4);
}

// ---------------------------------------------------------------- worked examples, every set

class EveryKernelSet : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    kernels_ = KernelsFor(GetParam());
    if (!kernels_) GTEST_SKIP() << "this processor lacks the kernel set";
  }
  const KernelSet* kernels_ = nullptr;
};

TEST_P(EveryKernelSet, MirrorsI420FrameOfWidth4Height2) {
  Bytes frame = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const std::int32_t w = 4, h = 2;
  ReverseRowBytesWith(*kernels_, frame.data(), w, h);
  ReverseRowBytesWith(*kernels_, frame.data() + w * h, w / 2, h / 2);
  ReverseRowBytesWith(*kernels_, frame.data() + (w * h * 5) / 4, w / 2, h / 2);
  EXPECT_EQ(frame, (Bytes{3, 2, 1, 0, 7, 6, 5, 4, 9, 8, 11, 10}));
}

TEST_P(EveryKernelSet, MirrorsYuy2RowOfWidth4) {
  enum : std::uint8_t { Y0 = 1, U0, Y1, V0, Y2, U1, Y3, V1 };
  Bytes row = {Y0, U0, Y1, V0, Y2, U1, Y3, V1};
  ExchangeMacropixelsWith(*kernels_, row.data(), 4, 1);
  EXPECT_EQ(row, (Bytes{Y3, U1, Y2, V1, Y1, U0, Y0, V0}));
}

TEST_P(EveryKernelSet, MirrorsRgb24RowOfTwoPixels) {
  Bytes row = {1, 2, 3, 4, 5, 6};
  ReversePixels24With(*kernels_, row.data(), 2, 1);
  EXPECT_EQ(row, (Bytes{4, 5, 6, 1, 2, 3}));
}

// ---------------------------------------------------------------- property: same bytes as plain

class EveryVectorSet : public EveryKernelSet {};

void ExpectSameAsPlain(const KernelSet& k, const Op& op, std::int32_t width, std::int32_t rows,
                       std::mt19937& rng) {
  const std::size_t frameBytes = RowBytesOf(op, width) * rows;
  const Bytes before = RandomFrame(rng, frameBytes);
  Bytes want = before;
  Bytes got = before;
  Mirror(detail::kPlainKernels, op, want.data() + kGuard, width, rows);
  Mirror(k, op, got.data() + kGuard, width, rows);
  if (got != want) {
    std::size_t i = 0;
    while (got[i] == want[i]) ++i;
    ADD_FAILURE() << k.name << " " << op.name << " width " << width << " rows " << rows
                  << ": first difference at byte " << static_cast<long>(i) - long(kGuard) << " of the frame ("
                  << frameBytes << " bytes)";
  }
}

TEST_P(EveryVectorSet, GivesPlainBytesForWidths1To80) {
  std::mt19937 rng(1234);
  for (const Op& op : kEveryOp) {
    for (std::int32_t width = 1; width <= 80; ++width) {
      for (std::int32_t rows : {1, 2, 5}) {
        ExpectSameAsPlain(*kernels_, op, width, rows, rng);
      }
    }
  }
}

// Large rows, both parities, including rows longer than one staging chunk.
TEST_P(EveryVectorSet, GivesPlainBytesForLargeWidths) {
  std::mt19937 rng(99);
  for (const Op& op : kEveryOp) {
    for (std::int32_t width : {127, 320, 639, 640, 1279, 1280, 1919, 1920, 4095, 5461, 8193, 20001}) {
      for (std::int32_t rows : {1, 3}) {
        ExpectSameAsPlain(*kernels_, op, width, rows, rng);
      }
    }
  }
}

// Random widths and row counts.
TEST_P(EveryVectorSet, GivesPlainBytesOnRandomFrames) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::int32_t> width(1, 3000);
  std::uniform_int_distribution<std::int32_t> rows(1, 9);
  for (int i = 0; i < 60; ++i) {
    for (const Op& op : kEveryOp) {
      ExpectSameAsPlain(*kernels_, op, width(rng), rows(rng), rng);
    }
  }
}

std::string LevelName(const ::testing::TestParamInfo<KernelLevel>& info) {
  // In the order of KernelLevel.
  static const char* const kNames[] = {"Plain", "Sse2", "Ssse3", "Avx2", "Avx512"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryKernelSet,
                         ::testing::Values(KernelLevel::Plain, KernelLevel::Sse2, KernelLevel::Ssse3,
                                           KernelLevel::Avx2, KernelLevel::Avx512),
                         LevelName);
INSTANTIATE_TEST_SUITE_P(Levels, EveryVectorSet,
                         ::testing::Values(KernelLevel::Sse2, KernelLevel::Ssse3, KernelLevel::Avx2,
                                           KernelLevel::Avx512),
                         LevelName);

// ---------------------------------------------------------------- the choice

TEST(KernelChoice, EntryPointsUseTheBestSetAvailable) {
  const KernelSet* best = nullptr;
  for (KernelLevel level : AllLevels()) {
    if (const KernelSet* k = KernelsFor(level)) best = k;
  }
  ASSERT_NE(best, nullptr);
  EXPECT_EQ(&ActiveKernels(), best) << "active " << ActiveKernels().name << ", best " << best->name;
}

}  // namespace
}  // namespace capture::mirror
