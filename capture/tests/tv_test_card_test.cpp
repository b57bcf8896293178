// The simulated cameras' test card in every layout they offer, read back as the
// simulated renderer reads frames: the bars come back in their colours, the mark
// sits left and changes sides when the binding mirrors the frame, and the picture
// moves from frame to frame.
#include "capture/sim/tv_test_card.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>

#include "capture/frame/frame_work.h"
#include "capture/sim/frame_pixels.h"

namespace capture::sim {
namespace {

constexpr std::int32_t kWidth = 320, kHeight = 240;

bool Near(std::uint32_t got, std::uint32_t want) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>(got >> shift & 0xFF) - static_cast<int>(want >> shift & 0xFF)) > 6)
      return false;
  }
  return true;
}

struct Layout {
  const char* name;
  graph::Guid subtype;
  std::int32_t height;  // negative: a top-down RGB frame
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class TestCard : public ::testing::TestWithParam<Layout> {
 protected:
  std::vector<std::uint8_t> Frame(std::uint32_t number) {
    std::vector<std::uint8_t> frame(
        static_cast<std::size_t>(NeededBytes(GetParam().subtype, kWidth, kHeight)));
    EXPECT_TRUE(DrawTestCard(GetParam().subtype, kWidth, GetParam().height, number, frame.data(),
                             static_cast<std::int32_t>(frame.size())));
    return frame;
  }
  std::uint32_t Pixel(const std::vector<std::uint8_t>& frame, std::int32_t x, std::int32_t y) {
    return FrameReader{GetParam().subtype, kWidth, kHeight, GetParam().height > 0, frame.data()}.Pixel(x, y);
  }
};

TEST_P(TestCard, BarsMarkAndMotionSurviveTheLayoutAndTheMirror) {
  std::vector<std::uint8_t> frame = Frame(0);
  const TestCardLayout layout = LayoutOfTestCard(kWidth, kHeight);
  for (int bar = 0; bar < 8; ++bar) {
    const std::uint32_t got = Pixel(frame, bar * kWidth / 8 + kWidth / 16, layout.barsHeight / 2);
    EXPECT_TRUE(Near(got, kTestCardBars[bar])) << "bar " << bar << ": " << std::hex << got;
  }
  // The mark's stem, and where a mirrored picture has it.
  const std::int32_t stemX = layout.markLeft + layout.scale / 2, stemY = layout.markTop + 4 * layout.scale;
  EXPECT_TRUE(Near(Pixel(frame, stemX, stemY), kTestCardMark));
  EXPECT_TRUE(Near(Pixel(frame, kWidth - 1 - stemX, stemY), kTestCardGround));
  ASSERT_TRUE(frame::MirrorFrame(GetParam().subtype, kWidth, GetParam().height, frame.data(),
                                 static_cast<std::int32_t>(frame.size())));
  EXPECT_TRUE(Near(Pixel(frame, kWidth - 1 - stemX, stemY), kTestCardMark));
  EXPECT_TRUE(Near(Pixel(frame, stemX, stemY), kTestCardGround));
  EXPECT_TRUE(Near(Pixel(frame, kWidth / 16, layout.barsHeight / 2), kTestCardBars[7]));
  EXPECT_NE(Frame(1), Frame(0));
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, TestCard,
                         ::testing::Values(Layout{"YUY2", graph::kSubtypeYUY2, kHeight},
                                           Layout{"YUYV", graph::kSubtypeYUYV, kHeight},
                                           Layout{"I420", graph::kSubtypeI420, kHeight},
                                           Layout{"IYUV", graph::kSubtypeIYUV, kHeight},
                                           Layout{"YV12", graph::kSubtypeYV12, kHeight},
                                           Layout{"RGB24", graph::kSubtypeRGB24, kHeight},
                                           Layout{"RGB24TopDown", graph::kSubtypeRGB24, -kHeight},
                                           Layout{"RGB32", graph::kSubtypeRGB32, kHeight}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace capture::sim
