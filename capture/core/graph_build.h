// The graph that start builds: source -> frame filter -> renderer, the capture
// format chosen on the way to match the client's VideoFormat.
#pragma once

#include <jni.h>

#include "core/capture_graph.h"
#include "graph/graph_api.h"

namespace capture::core {

// Builds the graph of `source`, drawing into `window`, into the empty `built` and
// runs it. 0 when it runs; otherwise the site of the failing step with *hr, or -1
// for a format that could not be chosen (no capability matches, or a method of the
// client's format threw: its exception is pending). What was built stays in
// `built` for the caller to drop.
int BuildGraph(JNIEnv* env, CaptureGraph& built, graph::Filter* source, graph::NativeWindow window,
               jobject format, bool mirror, graph::HResult* hr);

}  // namespace capture::core
