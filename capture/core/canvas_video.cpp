#include "capture/core/canvas_video.h"

#include <cstdio>

#include "capture/graph/awt_api.h"

namespace capture::core {

graph::NativeWindow getCanvasWindow(JNIEnv* env, jobject canvas) {
  JAWT awt;
  awt.version = JAWT_VERSION_1_3;
  if (graph::GetAwt(env, &awt) == JNI_FALSE) {
    return 0;
  }
  JAWT_DrawingSurface* surface = awt.GetDrawingSurface(env, canvas);
  if (surface == nullptr) {
    return 0;
  }
  graph::NativeWindow window = 0;
  const jint lock = surface->Lock(surface);
  if ((lock & JAWT_LOCK_ERROR) == 0) {
    JAWT_DrawingSurfaceInfo* info = surface->GetDrawingSurfaceInfo(surface);
    if (info != nullptr) {
      window = graph::WindowOfSurface(info);
      surface->FreeDrawingSurfaceInfo(info);
    }
    surface->Unlock(surface);
  }
  awt.FreeDrawingSurface(surface);
  return window;
}

void showGraphError(graph::HResult resultCode, graph::NativeWindow window, int siteNumber) {
  char text[160] = {0};
  char caption[50] = {0};
  const std::uint32_t length = graph::GetErrorText(resultCode, text, sizeof text);
  std::snprintf(caption, sizeof caption, "DirectShow Error(line:%d)", siteNumber);
  const char* shown = (length == 0) ? "Unkown error" : text;
  text[sizeof text - 1] = '\0';
  graph::ShowErrorBox(window, shown, caption);
}

void fitVideoToCanvas(graph::WindowlessControl* control, std::int32_t width, std::int32_t height) {
  if (control == nullptr) {
    return;
  }
  std::int32_t nativeWidth = 0;
  std::int32_t nativeHeight = 0;
  graph::GetNativeVideoSize(control, &nativeWidth, &nativeHeight);
  const graph::Rect source{0, 0, nativeWidth, nativeHeight};
  const graph::Rect destination{0, 0, width, height};
  graph::SetVideoPosition(control, &source, &destination);
}

void paintCanvas(graph::WindowlessControl* control, graph::NativeWindow window) {
  if (control != nullptr) {
    graph::RepaintVideo(control, window);
  } else {
    graph::PaintBlack(window);
  }
}

}  // namespace capture::core
