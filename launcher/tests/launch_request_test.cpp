#include "launcher/launch_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace launcher {
namespace {

using Fields = std::vector<std::string>;

Fields Split(const std::string& argument, Request expected) {
  Fields fields;
  EXPECT_EQ(SplitRequest(argument.c_str(), fields), expected) << argument;
  return fields;
}

TEST(SplitRequest, FieldsAreRunsBetweenDollarsAndEmptyOnesDoNotCount) {
  EXPECT_EQ(Split("nvzav://a$b", Request::kUsable), (Fields{"nvzav://a", "b"}));
  EXPECT_EQ(Split("nvzav://a$$b$", Request::kUsable), (Fields{"nvzav://a", "b"}));
  EXPECT_EQ(Split("$$nvzav://srv-a$srv-b$log$x$", Request::kUsable),
            (Fields{"nvzav://srv-a", "srv-b", "log", "x"}));
  EXPECT_EQ(Split("x$srv", Request::kUsable), (Fields{"x", "srv"}));
}

TEST(SplitRequest, OneTrailingSlashIsDroppedBeforeSplitting) {
  EXPECT_EQ(Split("nvzav://srv-a$srv-b$log/", Request::kUsable), (Fields{"nvzav://srv-a", "srv-b", "log"}));
  EXPECT_EQ(Split("nvzav://a$b//", Request::kUsable), (Fields{"nvzav://a", "b/"}));
  // The slash goes before the split, so "$/" leaves nothing behind it.
  EXPECT_EQ(Split("nvzav://a$b$/", Request::kUsable), (Fields{"nvzav://a", "b"}));
}

TEST(SplitRequest, FewerThanTwoFieldsIsUnusable) {
  EXPECT_EQ(Split("nvzav://a", Request::kUnusable), (Fields{"nvzav://a"}));
  EXPECT_TRUE(Split("$$$", Request::kUnusable).empty());
  EXPECT_TRUE(Split("", Request::kUnusable).empty());
  EXPECT_TRUE(Split("/", Request::kUnusable).empty());
}

TEST(SplitRequest, ArgumentsThatDoNotFitTheWorkingCopyAreRefusedNotCut) {
  std::string fits = "nvzav://a$" + std::string(499 - 10, 'b');
  EXPECT_EQ(Split(fits, Request::kUsable).size(), 2u);
  std::string tooLong = fits + "c";
  Fields fields;
  EXPECT_EQ(SplitRequest(tooLong.c_str(), fields), Request::kUnusable);
}

bool Refused(const char* argument) { return HasRefusedByte(argument, &ansi::Gbk936CharNext); }

TEST(RefusedBytes, ShellMetacharactersPercentAndControlBytesAreRefused) {
  for (const char* bad :
       {"nvzav://a$b&echo INJECTED>C:\\x.txt", "nvzav://a$b|x", "nvzav://a$b<x", "nvzav://a$b>x",
        "nvzav://a$b^x", "nvzav://a$\"b\"", "nvzav://a$b\r\nx", "nvzav://a$b\tx", "nvzav://a$b\x1f",
        "nvzav://a$b%PATH%$log/", "%nvzav://a$b", "nvzav://%$b", "nvzav://a$b$%", "nvzav://a$b$%%",
        "nvzav://c1$x$%E4%B8%AD%20a", "nvzav://a$b$100%"}) {
    EXPECT_TRUE(Refused(bad)) << bad;
  }
  for (const char* good :
       {"nvzav://a$b", "nvzav://C:/x y$b 1", "nvzav://\xd6\xd0\xce\xc4$b", "nvzav://a$b!c(d)e;f,g=h'i"}) {
    EXPECT_FALSE(Refused(good)) << good;
  }
}

// In code page 936 the second byte of a double-byte character may be 0x7C or 0x5E;
// cmd.exe reads characters, so such a byte is no pipe or caret. A lead byte followed
// by a byte that is no trail byte does not hide that byte.
TEST(RefusedBytes, SecondBytesOfDoubleByteCharactersAreNotRefused) {
  for (const char* good : {"nvzav://\x85\x5e$x", "nvzav://\x83\x7c$x", "nvzav://\x81\x7c$x",
                           "nvzav://x$\xbf\xcd\xbb\xa7\x85\x5e\xb6\xcb"}) {
    EXPECT_FALSE(Refused(good)) << good;
  }
  for (const char* bad : {"nvzav://\x81&$x", "nvzav://\x81\"$x", "nvzav://\x81%$x", "nvzav://\x81\n$x",
                          "nvzav://\x85\x5e^$x", "nvzav://a|\x85\x5e$x"}) {
    EXPECT_TRUE(Refused(bad)) << bad;
  }
  // Read byte by byte (a single-byte code page), the same bytes are a caret and a pipe.
  EXPECT_TRUE(HasRefusedByte("nvzav://\x85\x5e$x", &ansi::SystemCharNext));
  EXPECT_TRUE(HasRefusedByte("nvzav://\x83\x7c$x", &ansi::SystemCharNext));
}

// The start script's parameters for `argument`, or "<refused>".
std::string Params(const char* argument) {
  char params[ansi::kBufferSize];
  return ComposeParameters(argument, params) ? std::string(params) : "<refused>";
}

TEST(ComposeParameters, PayloadIsTakenFromTheArgumentAsWritten) {
  EXPECT_EQ(Params("nvzav://a$b"), "isPortal a$b");
  EXPECT_EQ(Params("nvzav://srv-a$srv-b$log/"), "isPortal srv-a$srv-b$log");
  EXPECT_EQ(Params("nvzav://a$$b$"), "isPortal a$$b$");
  EXPECT_EQ(Params("nvzav://a$b//"), "isPortal a$b/");
  // The prefix is dropped by length, not by comparison.
  EXPECT_EQ(Params("abcdefghi$j"), "isPortal i$j");
}

TEST(ComposeParameters, ShortArgumentsGiveAnEmptyPayload) {
  EXPECT_EQ(Params("x$srv"), "isPortal ");
  EXPECT_EQ(Params("nvzav:/$"), "isPortal ");
}

TEST(ComposeParameters, RefusesWhatWouldNotFitTheBuffer) {
  char params[ansi::kBufferSize];
  std::string payload(499 - 9, 'p');
  ASSERT_TRUE(ComposeParameters(("nvzav://" + payload).c_str(), params));
  EXPECT_EQ(std::string(params), "isPortal " + payload);
  EXPECT_FALSE(ComposeParameters(("nvzav://" + payload + "q").c_str(), params));
  // A trailing slash does not count against the room.
  EXPECT_TRUE(ComposeParameters(("nvzav://" + payload + "/").c_str(), params));
}

TEST(VerboseRequested, OnlyAThirdFieldOfExactlyLog) {
  EXPECT_TRUE(VerboseRequested({"nvzav://a", "b", "log"}));
  EXPECT_TRUE(VerboseRequested({"nvzav://a", "b", "log", "more"}));
  EXPECT_FALSE(VerboseRequested({"nvzav://a", "b"}));
  EXPECT_FALSE(VerboseRequested({"nvzav://a", "b", "LOG"}));
  EXPECT_FALSE(VerboseRequested({"nvzav://a", "b", "log2"}));
  EXPECT_FALSE(VerboseRequested({"nvzav://a", "log", "x"}));
}

}  // namespace
}  // namespace launcher
