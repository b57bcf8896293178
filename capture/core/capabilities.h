// The capture pin's capabilities, walked one way for start (the wanted format)
// and queryFormats (the list): the stream configuration, the count and size check,
// then each capability whose format block is a VIDEOINFOHEADER.
#pragma once

#include "graph/graph_api.h"

namespace capture::core {

// What a visit makes of one capability.
enum class Visit { kNext, kStop };

// How a walk ended. kNoConfig: no stream configuration could be had; kBadCapsSize:
// its capabilities are not stream caps. `hr` says why; the caller reports each at
// its own site.
struct WalkEnd {
  enum Kind { kDone, kStopped, kNoConfig, kBadCapsSize } kind;
  graph::HResult hr;
};

// The VIDEOINFOHEADER format block of a type that really has one, or null.
const graph::VideoInfoHeader* VideoInfoOf(const graph::MediaType* type);

// Calls visit(config, type, info) for each capability of the source's capture
// pin that has a VIDEOINFOHEADER, in their order, until it returns kStop. The
// media type is freed after each visit.
template <typename Visitor>
WalkEnd WalkCapabilities(graph::Builder* builder, graph::Filter* source, Visitor&& visit);

// ---- the template's body

namespace detail {
struct OpenedConfig {
  graph::StreamConfig* config;
  std::int32_t count;
  WalkEnd end;  // kDone when the walk can go on
};
OpenedConfig OpenConfig(graph::Builder* builder, graph::Filter* source);
}  // namespace detail

template <typename Visitor>
WalkEnd WalkCapabilities(graph::Builder* builder, graph::Filter* source, Visitor&& visit) {
  detail::OpenedConfig opened = detail::OpenConfig(builder, source);
  if (opened.end.kind != WalkEnd::kDone) return opened.end;
  WalkEnd end{WalkEnd::kDone, graph::kOk};
  for (std::int32_t index = 0; index < opened.count && end.kind == WalkEnd::kDone; ++index) {
    graph::MediaType* type = nullptr;
    std::uint8_t caps[graph::kStreamCapsSize];
    if (graph::Failed(graph::GetStreamCaps(opened.config, index, &type, caps)) || type == nullptr) continue;
    const graph::VideoInfoHeader* info = VideoInfoOf(type);
    if (info != nullptr) {
      try {
        if (visit(opened.config, type, info) == Visit::kStop) end.kind = WalkEnd::kStopped;
      } catch (...) {
        graph::DeleteMediaType(type);
        graph::Release(opened.config);
        throw;
      }
    }
    graph::DeleteMediaType(type);
  }
  graph::Release(opened.config);
  return end;
}

}  // namespace capture::core
