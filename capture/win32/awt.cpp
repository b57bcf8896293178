// The Java AWT native interface on Windows. jawt.dll is looked up at run time in
// the Java runtime that loaded us, so no import library of a Windows JDK is needed.
#include <windows.h>

#include <cstring>

#include <jawt_md.h>

#include "capture/graph/awt_api.h"

namespace capture::graph {

namespace {

using GetAwtFunction = jboolean(JNICALL*)(JNIEnv*, JAWT*);

// jawt.dll beside `module` (a library of the running Java), or in the directory
// above it; null when `module` is not loaded or jawt.dll is not there.
HMODULE LoadBeside(const char* module, bool above) {
  HMODULE loaded = GetModuleHandleA(module);
  if (loaded == nullptr) return nullptr;
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(loaded, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return nullptr;
  *slash = '\0';
  std::size_t length = static_cast<std::size_t>(slash - path);
  if (above) {
    // jvm.dll lies in bin\server or bin\client; jawt.dll in bin.
    char* parent = std::strrchr(path, '\\');
    if (parent == nullptr) return nullptr;
    *parent = '\0';
    length = static_cast<std::size_t>(parent - path);
  }
  if (length + sizeof "\\jawt.dll" > MAX_PATH) return nullptr;
  std::memcpy(path + length, "\\jawt.dll", sizeof "\\jawt.dll");
  return LoadLibraryA(path);
}

// The Java runtime's own jawt.dll: beside its awt.dll, which is loaded already,
// or in the bin directory above its jvm.dll. Only a runtime that has neither
// loaded is asked for it by name, where the DLL search path decides.
HMODULE FindJawt() {
  if (HMODULE module = LoadBeside("awt.dll", false)) return module;
  if (HMODULE module = LoadBeside("jvm.dll", true)) return module;
  if (HMODULE module = GetModuleHandleA("jawt.dll")) return module;
  return LoadLibraryA("jawt.dll");
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
