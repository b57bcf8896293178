// The Java AWT native interface on Windows. jawt.dll is looked up at run time in
// the Java runtime that loaded us, so no import library of a Windows JDK is needed.
#include <windows.h>

#include <cstring>

#include <jawt_md.h>

#include "graph/awt_api.h"

namespace capture::graph {

namespace {

using GetAwtFunction = jboolean(JNICALL*)(JNIEnv*, JAWT*);

HMODULE FindJawt() {
  if (HMODULE module = GetModuleHandleA("jawt.dll")) return module;
  if (HMODULE module = LoadLibraryA("jawt.dll")) return module;
  // Beside the AWT library of the running Java, which is loaded already.
  HMODULE awt = GetModuleHandleA("awt.dll");
  if (awt == nullptr) return nullptr;
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(awt, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr || static_cast<std::size_t>(slash + 1 - path) + sizeof "jawt.dll" > MAX_PATH)
    return nullptr;
  std::memcpy(slash + 1, "jawt.dll", sizeof "jawt.dll");
  return LoadLibraryA(path);
}

GetAwtFunction FindGetAwt() {
  HMODULE jawt = FindJawt();
  if (jawt == nullptr) return nullptr;
  // The stdcall name of the 32-bit runtime first, then the plain one.
  FARPROC f = GetProcAddress(jawt, "_JAWT_GetAWT@8");
  if (f == nullptr) f = GetProcAddress(jawt, "JAWT_GetAWT");
  return reinterpret_cast<GetAwtFunction>(reinterpret_cast<void*>(f));
}

}  // namespace

jboolean GetAwt(JNIEnv* env, JAWT* awt) {
  GetAwtFunction getAwt = FindGetAwt();
  if (getAwt == nullptr) return JNI_FALSE;
  return getAwt(env, awt);
}

NativeWindow WindowOfSurface(const JAWT_DrawingSurfaceInfo* info) {
  if (info == nullptr || info->platformInfo == nullptr) return 0;
  const auto* win32 = static_cast<const JAWT_Win32DrawingSurfaceInfo*>(info->platformInfo);
  return reinterpret_cast<NativeWindow>(win32->hwnd);
}

}  // namespace capture::graph
