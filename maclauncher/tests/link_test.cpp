#include "link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace maclauncher {
namespace {

using Pieces = std::vector<std::string>;

TEST(MaclauncherReadLinkTest, ExampleLinkGivesScriptAndWholeLink) {
  const auto command = ReadLink("nvzav:///Applications/client#p1$x");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "/Applications/client");
  EXPECT_EQ(command->scriptPath, "/Applications/client/bin/clientStartup.sh");
  EXPECT_EQ(command->arguments,
            (Pieces{"/Applications/client/bin/clientStartup.sh", "nvzav:///Applications/client#p1$x"}));
}

TEST(MaclauncherReadLinkTest, FirstPieceWithoutHashStartsNothing) {
  // The "#" after the first "$" does not count.
  EXPECT_FALSE(ReadLink("nvzav://a$b#x"));
  EXPECT_FALSE(ReadLink("nvzav:///Applications/client"));
  EXPECT_FALSE(ReadLink("nvzav://"));
  EXPECT_FALSE(ReadLink(""));
  EXPECT_FALSE(ReadLink("$#"));
}

TEST(MaclauncherReadLinkTest, EmptyDirectoryGivesRootScript) {
  const auto command = ReadLink("nvzav://#x");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "");
  EXPECT_EQ(command->scriptPath, "/bin/clientStartup.sh");

  const auto bare = ReadLink("#");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->clientDirectory, "");
}

TEST(MaclauncherReadLinkTest, OnlyTextBeforeFirstDollarAndFirstHashIsRead) {
  const auto command = ReadLink("nvzav:///opt/zav#a#b$/other#c$$d#");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "/opt/zav");
  EXPECT_EQ(command->arguments[1], "nvzav:///opt/zav#a#b$/other#c$$d#");

  // An empty first piece holds no "#", whatever follows.
  EXPECT_FALSE(ReadLink("nvzav://$/opt/zav#x"));
  EXPECT_FALSE(ReadLink("$$/opt/zav#x"));
}

TEST(MaclauncherReadLinkTest, SchemeIsRemovedEverywhereButLinkReachesScriptUnchanged) {
  const std::string link = "nvzav:///opt/nvzav://zav#nvzav://x$nvzav://y";
  const auto command = ReadLink(link);
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "/opt/zav");
  EXPECT_EQ(command->scriptPath, "/opt/zav/bin/clientStartup.sh");
  EXPECT_EQ(command->arguments[1], link);

  // Scheme text between the directory and the "#" goes too.
  const auto inner = ReadLink("/opt/anvzav://#x");
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->clientDirectory, "/opt/a");
}

TEST(MaclauncherReadLinkTest, LinkIsNotPercentDecoded) {
  const auto command = ReadLink("nvzav:///Applications/My%20Client#x%24y$z");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "/Applications/My%20Client");
  // An escaped "#" or "$" is no separator.
  EXPECT_FALSE(ReadLink("nvzav:///opt/zav%23x"));
  const auto escapedDollar = ReadLink("nvzav:///opt/a%24b#x");
  ASSERT_TRUE(escapedDollar);
  EXPECT_EQ(escapedDollar->clientDirectory, "/opt/a%24b");
}

TEST(MaclauncherReadLinkTest, TextThatIsNoUrlStartsNothing) {
  for (const char* text : {
           "nvzav:///Applications/My Client#x",  // space
           "nvzav:///opt/zav#x y",               // space after the "#"
           "nvzav:///opt/a|b#x", "nvzav:///opt/<a>#x", "nvzav:///opt/a{b}#x", "nvzav:///opt/a\tb#x",
           "nvzav:///opt/\xc3\xa9#x",  // é, not escaped
           "nvzav:///opt/a%zzb#x",     // bad escape
           "nvzav:///opt/a%2#x",       // short escape
           "nvzav:///opt/a#x%",        // "%" at the very end
       }) {
    EXPECT_FALSE(IsUrlText(text)) << text;
    EXPECT_FALSE(ReadLink(text)) << text;
  }
  EXPECT_FALSE(ReadLink(std::string("nvzav:///opt/a\0b#x", 18)));
}

TEST(MaclauncherReadLinkTest, UrlTextAcceptsWhatUrlsHold) {
  EXPECT_TRUE(IsUrlText(""));
  EXPECT_TRUE(IsUrlText("nvzav:///opt/zav-1.2_x~y#p1$x$log"));
  EXPECT_TRUE(IsUrlText("nvzav:///opt/a%20b%2Fc%aF#x?y=1&z=(2)!*+,;'@[::1]"));
  EXPECT_TRUE(IsUrlText("%41"));
}

TEST(MaclauncherRemoveSchemeTest, RemovesEveryOccurrenceInOnePass) {
  EXPECT_EQ(RemoveScheme("nvzav://a$nvzav://b"), "a$b");
  EXPECT_EQ(RemoveScheme("nvzav://nvzav://"), "");
  EXPECT_EQ(RemoveScheme("xnvzav://"), "x");
  EXPECT_EQ(RemoveScheme("nvzav:/"), "nvzav:/");
  EXPECT_EQ(RemoveScheme("NVZAV://a"), "NVZAV://a");  // case matters
  // Removing the inner occurrence forms a new one, which stays.
  EXPECT_EQ(RemoveScheme("nvnvzav://zav:///d#x"), "nvzav:///d#x");
  const auto command = ReadLink("nvnvzav://zav:///d#x");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->clientDirectory, "nvzav:///d");
}

}  // namespace
}  // namespace maclauncher
