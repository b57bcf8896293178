// The frame work on its own: the mirrors against references written from the
// picture, media types, and the grab hand-over with a streaming thread.
#include "capture/frame/frame_work.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <numeric>
#include <thread>
#include <vector>

#include "capture/mirror/mirror.h"
#include "capture/mirror/mirror_kernels.h"

namespace {

using capture::frame::CopyAndMirrorFrameWith;
using capture::frame::FrameWork;
using capture::frame::MirrorFrame;
using capture::frame::MirrorLayoutSize;
namespace graph = capture::graph;

std::vector<std::uint8_t> Sequence(std::size_t size, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::vector<std::uint8_t> Pseudorandom(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

// ---------------------------------------------------------------- references
// Written from what the picture must look like, not from the swap loops.
std::vector<std::uint8_t> ReferencePlanar(const std::vector<std::uint8_t>& in, int w, int h) {
  std::vector<std::uint8_t> out = in;
  auto plane = [&](std::size_t offset, int rowLength, int rows) {
    for (int r = 0; r < rows; ++r) {
      for (int i = 0; i < rowLength; ++i) {
        out[offset + r * rowLength + i] = in[offset + r * rowLength + (rowLength - 1 - i)];
      }
    }
  };
  plane(0, w, h);
  plane(static_cast<std::size_t>(w * h), w / 2, h / 2);
  plane(static_cast<std::size_t>(w * h * 5 / 4), w / 2, h / 2);
  return out;
}

std::vector<std::uint8_t> ReferencePixels(const std::vector<std::uint8_t>& in, int w, int h, int pixelBytes) {
  std::vector<std::uint8_t> out = in;
  for (int r = 0; r < h; ++r) {
    for (int j = 0; j < w; ++j) {
      for (int b = 0; b < pixelBytes; ++b) {
        out[(r * w + j) * pixelBytes + b] = in[(r * w + (w - 1 - j)) * pixelBytes + b];
      }
    }
  }
  return out;
}

// Even widths: macropixel m takes macropixel M-1-m with its two luma samples
// swapped; a middle macropixel (odd M) stays as it is.
std::vector<std::uint8_t> ReferencePacked(const std::vector<std::uint8_t>& in, int w, int h) {
  std::vector<std::uint8_t> out = in;
  const int macropixels = w / 2;
  for (int r = 0; r < h; ++r) {
    const std::size_t row = static_cast<std::size_t>(r) * 2 * w;
    for (int m = 0; m < macropixels; ++m) {
      const int other = macropixels - 1 - m;
      if (other == m) {
        continue;
      }
      const std::uint8_t* src = &in[row + 4 * other];
      std::uint8_t* dst = &out[row + 4 * m];
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = src[3];
    }
  }
  return out;
}

// ---------------------------------------------------------------- mirrors
TEST(MirrorFrame, WorkedExamples) {
  // I420 4x2: Y rows 0 1 2 3 / 4 5 6 7, U row 8 9, V row 10 11.
  auto i420 = Sequence(12);
  ASSERT_TRUE(MirrorFrame(graph::kSubtypeI420, 4, 2, i420.data(), 12));
  EXPECT_EQ(i420, (std::vector<std::uint8_t>{3, 2, 1, 0, 7, 6, 5, 4, 9, 8, 11, 10}));

  // YUY2 row of width 4: Y0 U0 Y1 V0 Y2 U1 Y3 V1 -> Y3 U1 Y2 V1 Y1 U0 Y0 V0.
  enum : std::uint8_t { Y0 = 10, U0, Y1, V0, Y2, U1, Y3, V1 };
  std::vector<std::uint8_t> yuy2 = {Y0, U0, Y1, V0, Y2, U1, Y3, V1};
  ASSERT_TRUE(MirrorFrame(graph::kSubtypeYUY2, 4, 1, yuy2.data(), 8));
  EXPECT_EQ(yuy2, (std::vector<std::uint8_t>{Y3, U1, Y2, V1, Y1, U0, Y0, V0}));

  std::vector<std::uint8_t> rgb24 = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(MirrorFrame(graph::kSubtypeRGB24, 2, 1, rgb24.data(), 6));
  EXPECT_EQ(rgb24, (std::vector<std::uint8_t>{4, 5, 6, 1, 2, 3}));
}

TEST(MirrorFrame, PlanarSubtypesMatchReferenceOnOddAndEvenSizes) {
  for (const graph::Guid& subtype : {graph::kSubtypeI420, graph::kSubtypeIYUV, graph::kSubtypeYV12}) {
    for (auto [w, h] : {std::pair{4, 2}, {5, 3}, {6, 4}, {7, 5}, {33, 9}, {64, 48}, {1, 1}, {2, 1}}) {
      const auto size = static_cast<std::size_t>(MirrorLayoutSize(subtype, w, h));
      const auto in = Pseudorandom(size, static_cast<std::uint32_t>(w * 131 + h));
      auto frame = in;
      ASSERT_TRUE(MirrorFrame(subtype, w, h, frame.data(), static_cast<std::int32_t>(size)));
      EXPECT_EQ(frame, ReferencePlanar(in, w, h)) << w << "x" << h;
    }
  }
}

TEST(MirrorFrame, RgbSubtypesMatchReferenceOnOddAndEvenWidths) {
  for (int w : {1, 2, 3, 4, 5, 8, 17, 640}) {
    for (int h : {1, 3}) {
      auto in24 = Pseudorandom(static_cast<std::size_t>(3 * w * h), static_cast<std::uint32_t>(w));
      auto frame24 = in24;
      ASSERT_TRUE(MirrorFrame(graph::kSubtypeRGB24, w, h, frame24.data(), 3 * w * h));
      EXPECT_EQ(frame24, ReferencePixels(in24, w, h, 3)) << "RGB24 " << w << "x" << h;

      auto in32 = Pseudorandom(static_cast<std::size_t>(4 * w * h), static_cast<std::uint32_t>(w + 7));
      auto frame32 = in32;
      ASSERT_TRUE(MirrorFrame(graph::kSubtypeRGB32, w, h, frame32.data(), 4 * w * h));
      EXPECT_EQ(frame32, ReferencePixels(in32, w, h, 4)) << "RGB32 " << w << "x" << h;
    }
  }
}

TEST(MirrorFrame, PackedSubtypesMatchReferenceAndPlainCode) {
  for (const graph::Guid& subtype : {graph::kSubtypeYUY2, graph::kSubtypeYUYV}) {
    // Even widths, odd and even macropixel counts, against the picture reference.
    for (int w : {2, 4, 6, 8, 10, 12, 14, 16, 18, 640}) {
      const int h = 3;
      const auto in = Pseudorandom(static_cast<std::size_t>(2 * w * h), static_cast<std::uint32_t>(w));
      auto frame = in;
      ASSERT_TRUE(MirrorFrame(subtype, w, h, frame.data(), 2 * w * h));
      EXPECT_EQ(frame, ReferencePacked(in, w, h)) << "width " << w;
    }
    // Odd widths have no picture meaning; they follow the exchange rule exactly.
    for (int w : {3, 5, 7, 9, 11, 13}) {
      const int h = 2;
      const auto in = Pseudorandom(static_cast<std::size_t>(2 * w * h), static_cast<std::uint32_t>(w));
      auto frame = in;
      auto expected = in;
      capture::mirror::plain::ExchangeMacropixels(expected.data(), w, h);
      ASSERT_TRUE(MirrorFrame(subtype, w, h, frame.data(), 2 * w * h));
      EXPECT_EQ(frame, expected) << "width " << w;
    }
  }
}

TEST(MirrorFrame, LeavesFramesAloneWhenItMustNot) {
  const auto original = Sequence(64);
  auto frame = original;
  // Zero and negative widths, a zero height (a negative one is a top-down frame).
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeI420, -4, -2, frame.data(), 64));
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeRGB32, 4, 0, frame.data(), 64));
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeRGB32, 1, INT32_MIN, frame.data(), 64));
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeRGB24, 0, 4, frame.data(), 64));
  // Unknown and compressed subtypes.
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeMJPG, 4, 2, frame.data(), 64));
  EXPECT_FALSE(MirrorFrame(graph::kFormatVideoInfo, 4, 2, frame.data(), 64));
  // A one-pixel YUY2 row has no macropixel: nothing may be touched around it.
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeYUY2, 1, 4, frame.data() + 8, 8));
  EXPECT_EQ(frame, original);
}

TEST(MirrorFrame, NeverMirrorsPastTheSample) {
  // The layouts need exactly these many bytes; one less and the frame passes as it is.
  // A top-down frame (negative height) is mirrored as its rows are, whichever way up.
  struct Case {
    graph::Guid subtype;
    int w, h;
    std::int64_t needed;
  } cases[] = {
      {graph::kSubtypeI420, 4, 2, 12},  {graph::kSubtypeI420, 5, 3, 20},   {graph::kSubtypeYV12, 6, 4, 36},
      {graph::kSubtypeYUY2, 4, 3, 24},  {graph::kSubtypeYUYV, 6, 1, 12},   {graph::kSubtypeRGB24, 5, 2, 30},
      {graph::kSubtypeRGB32, 3, 3, 36}, {graph::kSubtypeRGB24, 5, -2, 30}, {graph::kSubtypeRGB32, 3, -3, 36},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MirrorLayoutSize(c.subtype, c.w, c.h), c.needed);
    // Guard bytes after the short buffer must survive.
    std::vector<std::uint8_t> buffer = Sequence(static_cast<std::size_t>(c.needed) + 8);
    const auto original = buffer;
    EXPECT_FALSE(MirrorFrame(c.subtype, c.w, c.h, buffer.data(), static_cast<std::int32_t>(c.needed - 1)));
    EXPECT_EQ(buffer, original);
    EXPECT_TRUE(MirrorFrame(c.subtype, c.w, c.h, buffer.data(), static_cast<std::int32_t>(c.needed)));
    EXPECT_TRUE(std::equal(buffer.begin() + c.needed, buffer.end(), original.begin() + c.needed));
    std::vector<std::uint8_t> upright = original;
    MirrorFrame(c.subtype, c.w, c.h < 0 ? -c.h : c.h, upright.data(), static_cast<std::int32_t>(c.needed));
    EXPECT_EQ(buffer, upright);
  }
  // Sizes whose product overflows 32 bits are refused, not wrapped.
  std::vector<std::uint8_t> small(16);
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeRGB32, 65536, 65536, small.data(), 16));
  EXPECT_FALSE(MirrorFrame(graph::kSubtypeI420, 0x40000000, 4, small.data(), 16));
}

// The grab copy and the mirror in one pass, with every kernel set the processor
// has: the copy is the frame as it came, the frame mirrored as MirrorFrame
// mirrors it, nothing written outside either (guard bytes on both sides), on
// random frames of every layout, with bytes past the layout and frames too short.
TEST(CopyAndMirrorFrame, CopiesAndMirrorsAsTheTwoPassesDoWithEveryKernelSet) {
  namespace mirror = capture::mirror;
  constexpr std::size_t kGuard = 64;
  const graph::Guid subtypes[] = {graph::kSubtypeI420,  graph::kSubtypeYV12,  graph::kSubtypeYUY2,
                                  graph::kSubtypeRGB24, graph::kSubtypeRGB32, graph::kSubtypeMJPG};
  std::uint32_t seed = 7;
  auto next = [&](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  for (mirror::KernelLevel level :
       {mirror::KernelLevel::Plain, mirror::KernelLevel::Sse2, mirror::KernelLevel::Ssse3,
        mirror::KernelLevel::Avx2, mirror::KernelLevel::Avx512}) {
    const mirror::KernelSet* kernels = mirror::KernelsFor(level);
    if (kernels == nullptr) continue;
    for (int round = 0; round < 120; ++round) {
      const graph::Guid& subtype = subtypes[round % 6];
      const int w = 1 + static_cast<int>(next(round < 60 ? 40 : 2100));
      const int h = 1 + static_cast<int>(next(round < 60 ? 9 : 40));
      const std::int64_t layout = MirrorLayoutSize(subtype, w, h);
      const std::int64_t base = layout > 0 ? layout : 4 * w * h;
      const auto size = static_cast<std::int32_t>(round % 7 == 6 ? base - 1 : base + next(40));
      const std::vector<std::uint8_t> original = Pseudorandom(size + 2 * kGuard, seed);
      std::vector<std::uint8_t> frame = original;
      // The copy starts at every offset from a 16-byte boundary.
      const std::size_t at = kGuard + round % 16;
      std::vector<std::uint8_t> copy = Pseudorandom(size + 2 * kGuard + 16, seed + 1);
      const std::vector<std::uint8_t> copyBefore = copy;
      std::vector<std::uint8_t> want = original;
      const bool mirrors = MirrorFrame(subtype, w, h, want.data() + kGuard, size);
      EXPECT_EQ(
          CopyAndMirrorFrameWith(*kernels, subtype, w, h, frame.data() + kGuard, size, copy.data() + at),
          mirrors);
      EXPECT_EQ(frame, want) << kernels->name << " round " << round << " " << w << "x" << h;
      EXPECT_TRUE(std::equal(copy.begin() + at, copy.begin() + at + size, original.begin() + kGuard))
          << kernels->name << " round " << round;
      EXPECT_TRUE(std::equal(copy.begin(), copy.begin() + at, copyBefore.begin()));
      EXPECT_TRUE(std::equal(copy.begin() + at + size, copy.end(), copyBefore.begin() + at + size));
    }
  }
}

// ---------------------------------------------------------------- media type
graph::MediaType VideoInfoType(const graph::Guid& subtype, int w, int h, graph::VideoInfoHeader* block) {
  *block = graph::VideoInfoHeader{};
  block->bmiHeader.biSize = sizeof(graph::BitmapInfoHeader);
  block->bmiHeader.biWidth = w;
  block->bmiHeader.biHeight = h;
  graph::MediaType type{};
  type.majortype = graph::kMediaTypeVideo;
  type.subtype = subtype;
  type.formattype = graph::kFormatVideoInfo;
  type.cbFormat = sizeof *block;
  type.pbFormat = reinterpret_cast<std::uint8_t*>(block);
  return type;
}

TEST(FrameWorkMediaType, RecordsSubtypeAndSizeOfVideoInfoOnly) {
  FrameWork work(true);
  EXPECT_EQ(work.width(), 0);
  EXPECT_EQ(work.height(), 0);
  graph::VideoInfoHeader block;
  graph::MediaType type = VideoInfoType(graph::kSubtypeRGB24, 320, -240, &block);
  work.SetMediaType(type);
  EXPECT_EQ(work.subtype(), graph::kSubtypeRGB24);
  EXPECT_EQ(work.width(), 320);
  EXPECT_EQ(work.height(), -240);

  // A VIDEOINFOHEADER2 block (bitmap header at another offset) is not read as a
  // VIDEOINFOHEADER: the size becomes unknown, the subtype is still recorded.
  std::array<std::uint8_t, 112> info2{};
  graph::MediaType other = type;
  other.subtype = graph::kSubtypeYUY2;
  other.formattype = graph::kFormatVideoInfo2;
  other.cbFormat = info2.size();
  other.pbFormat = info2.data();
  std::memset(info2.data(), 0x7F, info2.size());
  work.SetMediaType(other);
  EXPECT_EQ(work.subtype(), graph::kSubtypeYUY2);
  EXPECT_EQ(work.width(), 0);
  EXPECT_EQ(work.height(), 0);

  // No block, or one too short to hold a VIDEOINFOHEADER.
  graph::MediaType none = type;
  none.pbFormat = nullptr;
  none.cbFormat = 0;
  work.SetMediaType(type);
  work.SetMediaType(none);
  EXPECT_EQ(work.width(), 0);
  graph::MediaType shortBlock = type;
  shortBlock.cbFormat = sizeof(graph::VideoInfoHeader) - 1;
  work.SetMediaType(type);
  work.SetMediaType(shortBlock);
  EXPECT_EQ(work.height(), 0);
}

// ---------------------------------------------------------------- transform and grab
// Runs a grab on another thread and feeds frames until it returns.
FrameWork::GrabResult GrabWhileStreaming(FrameWork& work, std::uint8_t* buffer, std::int32_t capacity,
                                         std::vector<std::uint8_t>& frame,
                                         std::vector<std::uint8_t>* passedOn = nullptr) {
  auto pending = std::async(std::launch::async, [&] { return work.Grab(buffer, capacity); });
  while (pending.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    auto sample = frame;
    work.Transform(sample.data(), static_cast<std::int32_t>(sample.size()));
    if (passedOn != nullptr) {
      *passedOn = sample;
    }
  }
  return pending.get();
}

// A grab while `frame` streams copies it whole into `buffer`, as large as it.
void ExpectGrabbedWhole(FrameWork& work, std::vector<std::uint8_t>& buffer,
                        std::vector<std::uint8_t>& frame) {
  const auto result =
      GrabWhileStreaming(work, buffer.data(), static_cast<std::int32_t>(buffer.size()), frame);
  ASSERT_EQ(result.outcome, FrameWork::GrabResult::kCopied);
  EXPECT_EQ(buffer, frame);
}

class FrameWorkGrab : public ::testing::Test {
 protected:
  void Connect(FrameWork& work, const graph::Guid& subtype, int w, int h) {
    graph::MediaType type = VideoInfoType(subtype, w, h, &block_);
    work.SetMediaType(type);
  }
  graph::VideoInfoHeader block_;
};

TEST_F(FrameWorkGrab, CopiesIntoALargeEnoughBufferAndKeepsItsCapacity) {
  FrameWork work(false);
  Connect(work, graph::kSubtypeRGB32, 4, 2);
  auto frame = Sequence(32, 100);
  std::vector<std::uint8_t> buffer(40, 0xEE);
  const auto result = GrabWhileStreaming(work, buffer.data(), 40, frame);
  ASSERT_EQ(result.outcome, FrameWork::GrabResult::kCopied);
  EXPECT_EQ(result.size, 32);
  EXPECT_EQ(work.lastSampleSize(), 32);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), buffer.begin()));
  // Only the frame's bytes are written.
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 32, buffer.end()), std::vector<std::uint8_t>(8, 0xEE));

  // Exactly the frame size is large enough too.
  std::vector<std::uint8_t> exact(32, 0);
  ExpectGrabbedWhole(work, exact, frame);
}

TEST_F(FrameWorkGrab, TellsTheSizeNeededForASmallOrMissingBufferAndWritesNothing) {
  FrameWork work(true);
  Connect(work, graph::kSubtypeRGB24, 4, 2);
  auto frame = Sequence(24, 7);
  std::vector<std::uint8_t> small(23, 0xEE);
  for (std::uint8_t* offered : {small.data(), static_cast<std::uint8_t*>(nullptr)}) {
    const auto result = GrabWhileStreaming(work, offered, offered ? 23 : 0, frame);
    EXPECT_EQ(result.outcome, FrameWork::GrabResult::kTooSmall);
    EXPECT_EQ(result.size, 24);
  }
  EXPECT_EQ(small, std::vector<std::uint8_t>(23, 0xEE));
}

TEST_F(FrameWorkGrab, GrabbedCopyIsUnmirroredWhileThePassedFrameIsMirrored) {
  FrameWork work(true);
  Connect(work, graph::kSubtypeRGB24, 3, 2);
  auto frame = Sequence(18);
  std::vector<std::uint8_t> passedOn;
  std::vector<std::uint8_t> buffer(18, 0);
  const auto result = GrabWhileStreaming(work, buffer.data(), 18, frame, &passedOn);
  ASSERT_EQ(result.outcome, FrameWork::GrabResult::kCopied);
  EXPECT_EQ(buffer, frame);
  EXPECT_EQ(passedOn, ReferencePixels(frame, 3, 2, 3));
}

TEST_F(FrameWorkGrab, MirrorsEveryFrameOfAMirroringFilterOnly) {
  FrameWork mirroring(true);
  FrameWork plain(false);
  Connect(mirroring, graph::kSubtypeI420, 4, 2);
  Connect(plain, graph::kSubtypeI420, 4, 2);
  auto frame = Sequence(12);
  auto passed = Sequence(12);
  mirroring.Transform(frame.data(), 12);
  plain.Transform(passed.data(), 12);
  EXPECT_EQ(frame, (std::vector<std::uint8_t>{3, 2, 1, 0, 7, 6, 5, 4, 9, 8, 11, 10}));
  EXPECT_EQ(passed, Sequence(12)) << "no mirror and no grab: passed on untouched";
  // A connection whose block is not a VIDEOINFOHEADER has no size: no mirror.
  graph::MediaType noBlock{};
  noBlock.subtype = graph::kSubtypeI420;
  mirroring.SetMediaType(noBlock);
  auto untouched = Sequence(12);
  mirroring.Transform(untouched.data(), 12);
  EXPECT_EQ(untouched, Sequence(12));
}

TEST_F(FrameWorkGrab, ExpiredGrabIsWithdrawnAndNeverServedLater) {
  FrameWork work(false);
  Connect(work, graph::kSubtypeRGB32, 2, 2);
  std::vector<std::uint8_t> buffer(16, 0xEE);
  const auto result = work.Grab(buffer.data(), 16, std::chrono::milliseconds(30));
  EXPECT_EQ(result.outcome, FrameWork::GrabResult::kNone);
  auto frame = Sequence(16);
  work.Transform(frame.data(), 16);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(16, 0xEE));

  // The next grab works as usual.
  ExpectGrabbedWhole(work, buffer, frame);
}

// Grabs on one filter from two threads at once, one offering its buffer and one
// none: each gets its own answer, the frame in its own buffer or the size needed.
TEST_F(FrameWorkGrab, ConcurrentGrabsTakeTurnsAndNeverShareMemory) {
  FrameWork work(false);
  Connect(work, graph::kSubtypeRGB32, 2, 2);
  std::atomic<bool> stop{false};
  std::thread streamer([&] {
    std::vector<std::uint8_t> sample(16, 1);
    while (!stop.load()) {
      work.Transform(sample.data(), 16);
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 40; ++round) {
    std::vector<std::uint8_t> buffer(16);
    auto withBuffer = std::async(std::launch::async, [&] { return work.Grab(buffer.data(), 16); });
    auto without = std::async(std::launch::async, [&] { return work.Grab(nullptr, 0); });
    const auto own = withBuffer.get();
    const auto fresh = without.get();
    EXPECT_EQ(own.outcome, FrameWork::GrabResult::kCopied) << "round " << round;
    EXPECT_EQ(fresh.outcome, FrameWork::GrabResult::kTooSmall) << "round " << round;
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(16, 1)) << "round " << round;
  }
  stop.store(true);
  streamer.join();
}

TEST_F(FrameWorkGrab, GrabsFromAStreamingThreadAreWholeFrames) {
  // A streaming thread writes frame n as bytes (n + i) mod 256 and passes it
  // through; every grab must see one whole frame, never a torn or stale copy.
  FrameWork work(true);
  Connect(work, graph::kSubtypeYUY2, 8, 4);
  std::atomic<bool> stop{false};
  std::thread streamer([&] {
    std::vector<std::uint8_t> sample(64);
    for (std::uint32_t n = 0; !stop.load(); ++n) {
      for (std::size_t i = 0; i < sample.size(); ++i) {
        sample[i] = static_cast<std::uint8_t>(n + i);
      }
      work.Transform(sample.data(), 64);
      std::this_thread::yield();
    }
  });
  std::vector<std::uint8_t> buffer(64);
  for (int grab = 0; grab < 200; ++grab) {
    const auto result = work.Grab(buffer.data(), 64);
    ASSERT_EQ(result.outcome, FrameWork::GrabResult::kCopied);
    for (std::size_t i = 0; i < 64; ++i) {
      ASSERT_EQ(static_cast<std::uint8_t>(buffer[i] - buffer[0]), static_cast<std::uint8_t>(i))
          << "grab " << grab;
    }
  }
  stop.store(true);
  streamer.join();
}

}  // namespace
