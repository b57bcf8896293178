// Text cut at the buffer, between characters of code page 936.
#include "common/ansi/text_cut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using ansi::Buffer;
using ansi::Compose;

TEST(TextCut, CopyAndAppendCutAtTheBuffer) {
  Buffer buf;
  std::string big(700, 'a');
  ansi::CopyCut(buf, big.c_str());
  EXPECT_EQ(std::strlen(buf), 499u);
  ansi::CopyCut(buf, "abc");
  ansi::AppendCut(buf, big.c_str());
  EXPECT_EQ(std::string(buf), "abc" + std::string(496, 'a'));
  ansi::AppendCut(buf, "more");
  EXPECT_EQ(std::strlen(buf), 499u);
}

TEST(TextCut, CutsBetweenCharacters) {
  std::string zhong = "CC";
  for (int i = 0; i < 300; ++i) zhong += "\xd6\xd0";
  Buffer buffer;
  EXPECT_FALSE(ansi::CopyCut(buffer, zhong.c_str() + 2, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::string(buffer), zhong.substr(2, 498));
  EXPECT_FALSE(ansi::AppendCut(buffer, "xy"));
  EXPECT_EQ(std::string(buffer), zhong.substr(2, 498) + "x");
  EXPECT_TRUE(ansi::CopyCut(buffer, "CC"));
  EXPECT_FALSE(ansi::AppendCut(buffer, zhong.c_str() + 2, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::string(buffer), zhong.substr(0, 498));
}

TEST(TextCut, ComposeCutsAtTheBufferAndTellsWhetherEverythingFit) {
  Buffer out;
  std::string a(300, 'a'), b(199, 'b');
  EXPECT_TRUE(Compose(out, {a.c_str(), b.c_str()}, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::strlen(out), 499u);
  EXPECT_FALSE(Compose(out, {a.c_str(), b.c_str(), "c"}, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::strlen(out), 499u);
  EXPECT_EQ(std::string(out), a + b);
  std::string big(800, 'x');
  EXPECT_FALSE(Compose(out, {big.c_str(), "y"}, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::string(out), std::string(499, 'x'));
  // A double-byte character that does not fit whole is left out, and so is all after it.
  std::string zhong;
  for (int i = 0; i < 249; ++i) zhong += "\xd6\xd0";
  EXPECT_FALSE(Compose(out, {"CC", zhong.c_str(), "]"}, &ansi::Gbk936CharNext));
  EXPECT_EQ(std::string(out), "CC" + zhong.substr(0, 496));
}

}  // namespace
