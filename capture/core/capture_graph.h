// The capture graph of a device: every counted reference a start builds (builder,
// filter graph, media control, renderer and its two controls, frame filter), owned
// together. A start builds one into a local value and moves it into the device's
// record to publish it; stop and destroy take it out and drop it. Dropping a graph
// stops it first; nothing of it throws.
#pragma once

#include "capture/graph/graph_ref.h"

namespace capture::core {

class CaptureGraph {
 public:
  CaptureGraph() = default;
  CaptureGraph(CaptureGraph&&) noexcept = default;
  CaptureGraph& operator=(CaptureGraph&&) = delete;
  CaptureGraph(const CaptureGraph&) = delete;
  ~CaptureGraph();

  void Swap(CaptureGraph& other) noexcept;
  // Whether a graph was built into it: its media control is there (its renderer
  // too, once it has a window to draw into).
  bool Running() const { return static_cast<bool>(mediaControl); }

  graph::Ref<graph::Builder> builder;
  graph::Ref<graph::Graph> filterGraph;
  graph::Ref<graph::MediaControl> mediaControl;
  graph::Ref<graph::Filter> renderer;
  graph::Ref<graph::WindowlessControl> windowlessControl;
  graph::Ref<graph::RendererConfig> rendererConfig;
  graph::Ref<graph::Filter> frameFilter;
};

// COM on the calling thread, for every call that creates COM objects: the client
// calls from its own threads, and AWT paints and lays out from the event thread
// (where the renderer of a camera started before its canvas showed is made). Each
// thread enters an apartment once and keeps it for its life; one already in an
// apartment uses that.
void EnterCom();

}  // namespace capture::core
