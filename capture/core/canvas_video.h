// What the binding does to a canvas and the video in it: the canvas's native
// window, a failed graph step's report to the user, the video fitted to the canvas
// and painted again.
#pragma once

#include <jni.h>

#include <cstdint>

#include "capture/graph/graph_api.h"

namespace capture::core {

// The native window of the canvas through the AWT native interface, or 0.
graph::NativeWindow getCanvasWindow(JNIEnv* env, jobject canvas);

// The modal report of a failed graph step at `siteNumber`.
void showGraphError(graph::HResult resultCode, graph::NativeWindow window, int siteNumber);

// Makes the renderer show the whole video frame over (0, 0, width, height).
void fitVideoToCanvas(graph::WindowlessControl* control, std::int32_t width, std::int32_t height);

// Paints the running video again (`control`), or black when none runs.
void paintCanvas(graph::WindowlessControl* control, graph::NativeWindow window);

}  // namespace capture::core
