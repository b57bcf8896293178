#include "capture/core/capabilities.h"

#include <utility>

namespace capture::core {

const graph::VideoInfoHeader* VideoInfoOf(const graph::MediaType* type) {
  if (type->formattype != graph::kFormatVideoInfo || type->pbFormat == nullptr ||
      type->cbFormat < sizeof(graph::VideoInfoHeader)) {
    return nullptr;
  }
  return reinterpret_cast<const graph::VideoInfoHeader*>(type->pbFormat);
}

namespace detail {

OpenedConfig OpenConfig(graph::Builder* builder, graph::Filter* source) {
  graph::Ref<graph::StreamConfig> config;
  const graph::HResult hr = graph::FindStreamConfig(builder, &graph::kPinCategoryCapture,
                                                    &graph::kMediaTypeVideo, source, config.receive());
  if (graph::Failed(hr) || !config) return {nullptr, 0, {WalkEnd::kNoConfig, hr}};
  std::int32_t count = 0;
  std::int32_t size = 0;
  graph::GetNumberOfCapabilities(config.get(), &count, &size);
  if (size != graph::kStreamCapsSize) return {nullptr, 0, {WalkEnd::kBadCapsSize, graph::kFail}};
  return {std::move(config), count, {WalkEnd::kDone, graph::kOk}};
}

}  // namespace detail

}  // namespace capture::core
