// A stand-in for the Java runtime's jawt.dll in the binding test: every canvas
// has the one window the test sets, so the binding's own JAWT walk (load jawt.dll,
// JAWT_GetAWT, surface, lock, info, window) runs without a Windows JVM.
#include <windows.h>

// This library is the one that defines JAWT_GetAWT.
#define _JNI_IMPLEMENTATION_
#include <jawt_md.h>

namespace {

HWND g_window = nullptr;
jint g_lockResult = 0;
LONG g_surfacesOut = 0;  // drawing surfaces and infos handed out and not freed

JAWT_Win32DrawingSurfaceInfo g_win32{};
JAWT_DrawingSurfaceInfo g_info{};

jint JNICALL Lock(JAWT_DrawingSurface*) { return g_lockResult; }
void JNICALL Unlock(JAWT_DrawingSurface*) {}

JAWT_DrawingSurfaceInfo* JNICALL GetInfo(JAWT_DrawingSurface* ds) {
  g_win32.hwnd = g_window;
  g_info.platformInfo = &g_win32;
  g_info.ds = ds;
  ++g_surfacesOut;
  return &g_info;
}
void JNICALL FreeInfo(JAWT_DrawingSurfaceInfo*) { --g_surfacesOut; }

JAWT_DrawingSurface* JNICALL GetSurface(JNIEnv* env, jobject target) {
  auto* ds = new JAWT_DrawingSurface{};
  ds->env = env;
  ds->target = target;
  ds->Lock = Lock;
  ds->GetDrawingSurfaceInfo = GetInfo;
  ds->FreeDrawingSurfaceInfo = FreeInfo;
  ds->Unlock = Unlock;
  ++g_surfacesOut;
  return ds;
}
void JNICALL FreeSurface(JAWT_DrawingSurface* ds) {
  delete ds;
  --g_surfacesOut;
}

}  // namespace

extern "C" {

__declspec(dllexport) jboolean JNICALL JAWT_GetAWT(JNIEnv*, JAWT* awt) {
  if (awt == nullptr || awt->version != JAWT_VERSION_1_3) return JNI_FALSE;
  awt->GetDrawingSurface = GetSurface;
  awt->FreeDrawingSurface = FreeSurface;
  awt->Lock = nullptr;
  awt->Unlock = nullptr;
  awt->GetComponent = nullptr;
  return JNI_TRUE;
}

// Test control: the canvas window (null: the canvas is not displayable), the
// result of Lock, and the surfaces not given back.
__declspec(dllexport) void FakeJawtSetWindow(HWND window, jint lockResult) {
  g_window = window;
  g_lockResult = lockResult;
}
__declspec(dllexport) LONG FakeJawtSurfacesOut() { return g_surfacesOut; }

}  // extern "C"
