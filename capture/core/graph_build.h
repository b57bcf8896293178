// The graph that start builds: source -> frame filter -> renderer, the capture
// format chosen on the way to match the client's VideoFormat.
#pragma once

#include <jni.h>

#include "core/device.h"
#include "graph/graph_api.h"

namespace capture::core {

// Builds the graph of the device into `built` (which holds the source filter and
// the window) and runs it. 0 when it runs; otherwise the site of the failing step
// with *hr, or -1 for a format that could not be chosen (no capability matches,
// or a method of the client's format threw: its exception is pending). What was
// built stays in `built` for the caller to release.
int BuildGraph(JNIEnv* env, DeviceRecord& built, jobject format, bool mirror, graph::HResult* hr);

}  // namespace capture::core
