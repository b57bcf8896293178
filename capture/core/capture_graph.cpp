#include "capture/core/capture_graph.h"

#include <utility>

#include "capture/frame/frame_work.h"
#include "capture/graph/graph_api.h"

namespace capture::core {

CaptureGraph::~CaptureGraph() {
  // A waiting grab returns at once rather than wait for frames that will not come.
  if (frameFilter) {
    if (frame::FrameWork* work = graph::FrameWorkOf(frameFilter.get())) work->Cancel();
  }
  try {
    if (mediaControl) graph::Stop(mediaControl.get());
  } catch (...) {
    // A graph that cannot be stopped is released all the same.
  }
  // In the order the graph was built, its builder first.
  builder.reset();
  filterGraph.reset();
  mediaControl.reset();
  renderer.reset();
  windowlessControl.reset();
  rendererConfig.reset();
  frameFilter.reset();
}

void CaptureGraph::Swap(CaptureGraph& other) noexcept {
  std::swap(builder, other.builder);
  std::swap(filterGraph, other.filterGraph);
  std::swap(mediaControl, other.mediaControl);
  std::swap(renderer, other.renderer);
  std::swap(windowlessControl, other.windowlessControl);
  std::swap(rendererConfig, other.rendererConfig);
  std::swap(frameFilter, other.frameFilter);
}

void EnterCom() {
  thread_local bool entered = false;
  if (!entered) entered = graph::EnterComApartment();
}

}  // namespace capture::core
