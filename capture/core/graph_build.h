// The graph that start builds: source -> frame filter -> renderer, the capture
// format chosen on the way to match the client's VideoFormat.
#pragma once

#include <jni.h>

#include <cstdint>
#include <optional>

#include "capture/core/capture_graph.h"
#include "capture/core/sites.h"
#include "capture/graph/graph_api.h"

namespace capture::core {

// A graph step that failed: the site the user is shown it at and its result, or
// kNotReported for a failure no box reports.
struct GraphFailure {
  static constexpr int kNotReported = 0;
  int site;
  graph::HResult hr;
};

// Whether the client's `format` (null: any) asks for frames of `subtype` at
// width x height, as start matches a capability. False with an exception pending
// when a method of the client's format threw.
bool AsksFor(JNIEnv* env, jobject format, const graph::Guid& subtype, std::int32_t width, std::int32_t height,
             bool* same);

// The builder and the filter graph with `source` in it, into the empty `built`:
// the first steps of start's graph and of queryFormats' temporary one, reported
// at `sites`.
std::optional<GraphFailure> BuildSourceGraph(CaptureGraph& built, graph::Filter* source,
                                             const site::SourceGraphSites& sites);

// Builds the graph of `source`, drawing into `window`, into the empty `built` and
// runs it; with no window (0) it runs without a renderer, to the frame filter
// (grab has its frames), until AttachRenderer. Nothing when it runs; otherwise the failing step, or
// kNotReported for a format that could not be chosen (no capability matches, or a method of the client's
// format threw: its exception is pending). What was built stays in `built` for the caller to drop.
std::optional<GraphFailure> BuildGraph(JNIEnv* env, CaptureGraph& built, graph::Filter* source,
                                       graph::NativeWindow window, jobject format, bool mirror);

// The renderer of a graph and its two controls.
struct RendererParts {
  graph::Ref<graph::Filter> renderer;
  graph::Ref<graph::WindowlessControl> windowlessControl;
  graph::Ref<graph::RendererConfig> rendererConfig;
};

// Gives the graph `running`, built without a window, a renderer drawing into
// `window`, built into the empty `parts`: stops it, adds the renderer, connects it
// and runs it again. Nothing when that worked; otherwise the failing step (the
// graph then runs on without a renderer, or not at all when it could not be run
// again). Called during the device's turn, so nothing drops `running` meanwhile.
std::optional<GraphFailure> AttachRenderer(const CaptureGraph& running, graph::NativeWindow window,
                                           RendererParts& parts);

}  // namespace capture::core
