// The installer's Chinese texts, and those both programs share, are GBK bytes
// written as escapes: each must be the GBK form of the text it stands for.
#include "installer/texts.h"

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

namespace t = zavinstaller::text;

TEST(InstallerTexts, AreTheGbkFormsOfTheirTexts) {
  struct Case {
    const char* bytes;
    const char* utf8;
  } cases[] = {
      {t::kPortTaken, "端口已占用."},
      {t::kPortFree, "端口未占用."},
      {t::kPortFreeTryInstall, "端口未占用,尝试注册服务并启动服务"},
      {t::kInstalledAndStarted, "成功注册服务并启动."},
      {t::kInstallFailedTryShortcut, "注册服务失败，尝试注册随机启动快捷方式"},
      {t::kAlreadyRunningBox, "检测到服务已经启动，不需要安装"},
      {t::kInstallSucceededBox, "安装成功"},
      {t::kCaptionInstall, " zavservice安装 "},
      {t::kCaptionDialog, " Dialog "},
      {t::kRegistryOpenFailed, "读取注册表失败"},
      {t::kNoRegistryEntry, "注册表没有该项:"},
      {t::kFileMissing, "文件不存在:"},
      {t::kStartFailed, "执行命令失败"},
      {t::kRunSucceeded, "执行命令成功:"},
      {t::kRunFailed, "执行命令失败:"},
      {t::kExitCode, "进程退出码:"},
      {t::kInstallFromClientOpen, "从ZAV客户端["},
      {t::kInstallFromClientClose, "]中安装zavservice服务"},
      {t::kScriptMissingOpen, "文件不存在["},
      {t::kScriptMissingClose, "]直接执行"},
      {t::kCommandCharsDirectOpen, "服务程序路径含有命令字符["},
      {t::kCommandCharsDirectClose, "]不交给脚本,直接执行"},
      {t::kShortcutSucceeded, "执行脚本生成快捷方式成功."},
      {t::kShortcutFailed, "执行脚本生成快捷方式失败."},
      {t::kServiceStarted, "服务启动成功."},
      {t::kServiceNotStarted, "服务启动失败."},
      {t::kNoUserProfile, "未找到用户目录,不创建标记文件"},
      {t::kMarkerPathTooLong, "标记文件路径过长:"},
      {t::kGreeting, "Hello, ZAV service installer start!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.bytes), ToGbk(c.utf8)) << c.utf8;
  }
}

}  // namespace
