// The Chinese texts of both Windows programs are GBK bytes written as escapes,
// each beside the text it stands for in one table: each must be its text's GBK
// form.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace {

std::string ToGbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no GBK converter>";
  std::string in = utf8;
  std::string out(in.size() * 2 + 8, '\0');
  char* src = &in[0];
  char* dst = &out[0];
  size_t srcLeft = in.size(), dstLeft = out.size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<not convertible>";
  out.resize(out.size() - dstLeft);
  return out;
}

struct Text {
  const char* name;
  const char* bytes;
  const char* utf8;
};

#define ZAV_TEXT(name, bytes, text) {#name, bytes, text},
constexpr Text kTexts[] = {
#include "common/runlog/record_texts.inc"
#include "installer/texts.inc"
#include "launcher/messages.inc"
};
#undef ZAV_TEXT

TEST(GbkTexts, AreTheGbkFormsOfTheirTexts) {
  for (const Text& text : kTexts) {
    EXPECT_EQ(std::string(text.bytes), ToGbk(text.utf8)) << text.name << ": " << text.utf8;
  }
}

}  // namespace
