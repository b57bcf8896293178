// The two platform pieces of reading a Java canvas's native window through the
// Java AWT native interface. The drawing-surface walk itself is portable (core).
//
// Shared with the Windows backend: keep it stable.
#pragma once

#include <jawt.h>
#include <jni.h>

#include "capture/graph/graph_api.h"

namespace capture::graph {

// JAWT_GetAWT(env, awt) of the Java runtime's jawt library: linked directly on
// Linux, looked up in jawt.dll at run time on Windows. awt->version is already set.
jboolean GetAwt(JNIEnv* env, JAWT* awt);

// The window in a locked drawing surface's platform info: the X11 drawable of a
// JAWT_X11DrawingSurfaceInfo, the hwnd of a JAWT_Win32DrawingSurfaceInfo.
NativeWindow WindowOfSurface(const JAWT_DrawingSurfaceInfo* info);

}  // namespace capture::graph
