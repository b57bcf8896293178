// The capture pin's capabilities, walked one way for start (the wanted format)
// and queryFormats (the list): the stream configuration, the count and size check,
// then each capability whose format block is a VIDEOINFOHEADER.
#pragma once

#include <memory>

#include "capture/graph/graph_api.h"
#include "capture/graph/graph_ref.h"

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
  graph::Ref<graph::StreamConfig> config;
  std::int32_t count;
  WalkEnd end;  // kDone when the walk can go on
};
OpenedConfig OpenConfig(graph::Builder* builder, graph::Filter* source);

// One media type of a capability, freed when the owner goes.
struct MediaTypeDeleter {
  void operator()(graph::MediaType* type) const { graph::DeleteMediaType(type); }
};
using OwnedMediaType = std::unique_ptr<graph::MediaType, MediaTypeDeleter>;
}  // namespace detail

template <typename Visitor>
WalkEnd WalkCapabilities(graph::Builder* builder, graph::Filter* source, Visitor&& visit) {
  detail::OpenedConfig opened = detail::OpenConfig(builder, source);
  if (opened.end.kind != WalkEnd::kDone) return opened.end;
  const graph::Ref<graph::StreamConfig>& config = opened.config;
  for (std::int32_t index = 0; index < opened.count; ++index) {
    std::uint8_t caps[graph::kStreamCapsSize];
    graph::MediaType* received = nullptr;
    const graph::HResult hr = graph::GetStreamCaps(config.get(), index, &received, caps);
    const detail::OwnedMediaType type(received);  // freed whatever the result
    if (graph::Failed(hr) || !type) continue;
    const graph::VideoInfoHeader* info = VideoInfoOf(type.get());
    if (info != nullptr && visit(config.get(), type.get(), info) == Visit::kStop) {
      return WalkEnd{WalkEnd::kStopped, graph::kOk};
    }
  }
  return WalkEnd{WalkEnd::kDone, graph::kOk};
}

}  // namespace capture::core
