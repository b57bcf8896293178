// The graph layer's graph building, video window and user operations over the
// simulated platform: each as the one DirectShow call it stands for would behave.
#include <cstdio>
#include <cstring>

#include "capture/sim/sim_model.h"
#include "capture/sim/sim_x11.h"

namespace capture::graph {

// ---------------------------------------------------------------- graph building
HResult CreateCaptureGraphBuilder(Builder** out) {
  *out = nullptr;
  if (HResult hr = sim::ComCreation("CreateCaptureGraphBuilder"); Failed(hr)) return hr;
  *out = new Builder();
  return kOk;
}

HResult CreateFilterGraph(Graph** out) {
  *out = nullptr;
  if (HResult hr = sim::ComCreation("CreateFilterGraph"); Failed(hr)) return hr;
  *out = new Graph();
  return kOk;
}

HResult CreateVideoRenderer(Filter** out) {
  *out = nullptr;
  if (HResult hr = sim::ComCreation("CreateVideoRenderer"); Failed(hr)) return hr;
  *out = new Filter(Filter::Kind::kRenderer);
  return kOk;
}

HResult CreateVideoFilter(bool mirror, Filter** out) {
  auto* filter = new Filter(Filter::Kind::kVideo);
  filter->work = std::make_unique<frame::FrameWork>(mirror);
  *out = filter;
  return sim::Injected("CreateVideoFilter");
}

frame::FrameWork* FrameWorkOf(Filter* videoFilter) {
  return (videoFilter != nullptr && videoFilter->kind == Filter::Kind::kVideo) ? videoFilter->work.get()
                                                                               : nullptr;
}

HResult AddFilter(Graph* graph, Filter* filter, const char16_t*) {
  if (HResult hr = sim::Injected("AddFilter"); Failed(hr)) return hr;
  if (graph == nullptr || filter == nullptr) return kPointer;
  if (filter->graph != nullptr) return kVfwWrongState;  // already in a graph
  filter->AddRef();
  filter->graph = graph;
  graph->filters.push_back(filter);
  return kOk;
}

HResult SetFiltergraph(Builder* builder, Graph* graph) {
  if (HResult hr = sim::Injected("SetFiltergraph"); Failed(hr)) return hr;
  if (graph == nullptr) return kPointer;
  if (builder->graph != nullptr) return kVfwWrongState;
  graph->AddRef();
  builder->graph = graph;
  return kOk;
}

HResult QueryRendererConfig(Filter* renderer, RendererConfig** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("QueryRendererConfig"); Failed(hr)) return hr;
  if (renderer->kind != Filter::Kind::kRenderer) return kNoInterface;
  *out = new RendererConfig(renderer);
  return kOk;
}

HResult SetRenderingMode(RendererConfig* config, std::uint32_t mode) {
  if (HResult hr = sim::Injected("SetRenderingMode"); Failed(hr)) return hr;
  if (mode != kVmrModeWindowless) return kInvalidArg;
  config->filter->mode = mode;
  return kOk;
}

HResult QueryWindowlessControl(Filter* renderer, WindowlessControl** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("QueryWindowlessControl"); Failed(hr)) return hr;
  if (renderer->kind != Filter::Kind::kRenderer || renderer->mode != kVmrModeWindowless) return kNoInterface;
  *out = new WindowlessControl(renderer);
  return kOk;
}

HResult SetVideoClippingWindow(WindowlessControl* control, NativeWindow window) {
  if (HResult hr = sim::Injected("SetVideoClippingWindow"); Failed(hr)) return hr;
  if (window == 0) return kInvalidArg;
  std::lock_guard<std::mutex> lock(control->filter->frameMutex);
  control->filter->clippingWindow = window;
  return kOk;
}

HResult FindStreamConfig(Builder* builder, const Guid* category, const Guid* majorType, Filter* source,
                         StreamConfig** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("FindStreamConfig"); Failed(hr)) return hr;
  if (builder->graph == nullptr || source == nullptr || source->graph != builder->graph) return kFail;
  if (source->kind != Filter::Kind::kSource) return kNoInterface;
  if (category != nullptr && *category != kPinCategoryCapture) return kNoInterface;
  if (majorType != nullptr && *majorType != kMediaTypeVideo) return kNoInterface;
  *out = new StreamConfig(source);
  return kOk;
}

HResult GetNumberOfCapabilities(StreamConfig* config, std::int32_t* count, std::int32_t* size) {
  if (HResult hr = sim::Injected("GetNumberOfCapabilities"); Failed(hr)) return hr;
  *count = static_cast<std::int32_t>(config->filter->camera->capabilities.size());
  *size = config->filter->camera->capabilitySize;
  return kOk;
}

HResult GetStreamCaps(StreamConfig* config, std::int32_t index, MediaType** type, std::uint8_t* caps) {
  *type = nullptr;
  if (HResult hr = sim::Injected("GetStreamCaps"); Failed(hr)) return hr;
  const auto& capabilities = config->filter->camera->capabilities;
  if (index < 0 || static_cast<std::size_t>(index) >= capabilities.size()) return kFalse;
  const sim::Capability& cap = capabilities[static_cast<std::size_t>(index)];
  std::memset(caps, 0, kStreamCapsSize);
  std::memcpy(caps, &kFormatVideoInfo, sizeof(Guid));
  *type = sim::NewMediaType(cap);
  return kOk;
}

HResult SetFormat(StreamConfig* config, const MediaType* type) {
  if (HResult hr = sim::Injected("SetFormat"); Failed(hr)) return hr;
  Filter* source = config->filter;
  if (source->downstream != nullptr) return kVfwWrongState;
  const auto& capabilities = source->camera->capabilities;
  for (std::size_t i = 0; i < capabilities.size(); ++i) {
    const sim::Capability& cap = capabilities[i];
    if (cap.kind != sim::FormatKind::kVideoInfo || type->formattype != kFormatVideoInfo ||
        type->subtype != cap.subtype || type->pbFormat == nullptr ||
        type->cbFormat < sizeof(VideoInfoHeader)) {
      continue;
    }
    VideoInfoHeader info;
    std::memcpy(&info, type->pbFormat, sizeof info);
    if (info.bmiHeader.biWidth != cap.width || info.bmiHeader.biHeight != cap.height ||
        type->lSampleSize != static_cast<std::uint32_t>(sim::SampleSize(cap))) {
      continue;
    }
    if (cap.refuseSetFormat) {
      return kVfwInvalidMediaType;
    }
    source->currentCapability = i;
    return kOk;
  }
  return kVfwInvalidMediaType;
}

void DeleteMediaType(MediaType* type) {
  if (type == nullptr) {
    return;
  }
  delete[] type->pbFormat;
  delete type;
}

HResult FindPin(Builder*, Filter* filter, PinDirection direction, const Guid* category, const Guid*,
                bool unconnected, std::int32_t index, Pin** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("FindPin"); Failed(hr)) return hr;
  if (filter == nullptr) return kPointer;
  if (index != 0) return kFail;
  bool exists = false;
  bool connected = false;
  switch (filter->kind) {
    case Filter::Kind::kSource:
      exists =
          direction == PinDirection::kOutput && (category == nullptr || *category == kPinCategoryCapture);
      connected = filter->downstream != nullptr;
      break;
    case Filter::Kind::kVideo:
      exists = category == nullptr;
      connected = direction == PinDirection::kInput ? filter->inputConnected : filter->downstream != nullptr;
      break;
    case Filter::Kind::kRenderer:
      exists = direction == PinDirection::kInput && category == nullptr;
      connected = filter->inputConnected;
      break;
  }
  if (!exists || (unconnected && connected)) return kFail;
  *out = new Pin(filter, direction);
  return kOk;
}

HResult ConnectDirect(Graph* graph, Pin* output, Pin* input, const MediaType*) {
  if (HResult hr = sim::Injected("ConnectDirect"); Failed(hr)) return hr;
  Filter* source = output->filter;
  Filter* video = input->filter;
  if (output->direction != PinDirection::kOutput || input->direction != PinDirection::kInput)
    return kInvalidArg;
  if (!graph->Contains(source) || !graph->Contains(video)) return kVfwNotConnected;
  if (source->kind != Filter::Kind::kSource || video->kind != Filter::Kind::kVideo)
    return kVfwNoAcceptableTypes;
  if (source->downstream != nullptr || video->inputConnected) return kVfwAlreadyConnected;
  const auto& capabilities = source->camera->capabilities;
  if (source->currentCapability >= capabilities.size()) return kVfwNoAcceptableTypes;
  const sim::Capability& cap = capabilities[source->currentCapability];
  // The VideoFilter accepts whatever the capture pin offers and records it.
  MediaType* type = sim::NewMediaType(cap);
  video->work->SetMediaType(*type);
  DeleteMediaType(type);
  video->connected = cap;
  video->inputConnected = true;
  source->downstream = video;
  return kOk;
}

HResult RenderStream(Builder* builder, const Guid*, const Guid* type, Filter* source, Filter* intermediate,
                     Filter* sink) {
  if (HResult hr = sim::Injected("RenderStream"); Failed(hr)) return hr;
  Graph* graph = builder->graph;
  if (graph == nullptr || source == nullptr || sink == nullptr || intermediate != nullptr) return kInvalidArg;
  if (!graph->Contains(source) || !graph->Contains(sink)) return kInvalidArg;
  if (type != nullptr && *type != kMediaTypeVideo) return kVfwNoAcceptableTypes;
  if (source->kind != Filter::Kind::kVideo || sink->kind != Filter::Kind::kRenderer)
    return kVfwNoAcceptableTypes;
  if (!source->inputConnected) return kVfwNotConnected;
  if (source->downstream != nullptr || sink->inputConnected) return kVfwAlreadyConnected;
  // The output pin's connection type is set as well.
  MediaType* connected = sim::NewMediaType(source->connected);
  source->work->SetMediaType(*connected);
  DeleteMediaType(connected);
  {
    std::lock_guard<std::mutex> lock(sink->frameMutex);
    sink->connected = source->connected;
    sink->nativeWidth = source->connected.width;
    sink->nativeHeight = source->connected.height < 0 ? -source->connected.height : source->connected.height;
    sink->inputConnected = true;
  }
  source->downstream = sink;
  return kOk;
}

HResult QueryMediaControl(Graph* graph, MediaControl** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("QueryMediaControl"); Failed(hr)) return hr;
  *out = new MediaControl(graph);
  return kOk;
}

HResult Run(MediaControl* control) {
  if (HResult hr = sim::Injected("Run"); Failed(hr)) return hr;
  control->graph->StartStreaming();
  return kOk;
}

HResult Stop(MediaControl* control) {
  if (HResult hr = sim::Injected("Stop"); Failed(hr)) return hr;
  control->graph->StopStreaming();
  return kOk;
}

// ---------------------------------------------------------------- video window
HResult GetNativeVideoSize(WindowlessControl* control, std::int32_t* width, std::int32_t* height) {
  if (HResult hr = sim::Injected("GetNativeVideoSize"); Failed(hr)) return hr;
  std::lock_guard<std::mutex> lock(control->filter->frameMutex);
  *width = control->filter->nativeWidth;
  *height = control->filter->nativeHeight;
  return kOk;
}

HResult SetVideoPosition(WindowlessControl* control, const Rect* source, const Rect* destination) {
  if (HResult hr = sim::Injected("SetVideoPosition"); Failed(hr)) return hr;
  {
    std::lock_guard<std::mutex> lock(control->filter->frameMutex);
    if (source != nullptr) control->filter->source = *source;
    if (destination != nullptr) control->filter->destination = *destination;
  }
  sim::Settings& s = sim::TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (source != nullptr) s.view.source = *source;
  if (destination != nullptr) s.view.destination = *destination;
  return kOk;
}

HResult RepaintVideo(WindowlessControl* control, NativeWindow window) {
  if (HResult hr = sim::Injected("RepaintVideo"); Failed(hr)) return hr;
  control->filter->Repaint(window);
  return kOk;
}

// ---------------------------------------------------------------- window and user
bool GetClientRect(NativeWindow window, Rect* rect) { return sim::x11::ClientRect(window, rect); }

void PaintBlack(NativeWindow window) { sim::x11::FillBlack(window); }

std::uint32_t GetErrorText(HResult hr, char* buffer, std::uint32_t size) {
  static const std::map<HResult, const char*> texts = {
      {kNotImplemented, "Not implemented."},
      {kNoInterface, "No such interface supported."},
      {kPointer, "Invalid pointer."},
      {kFail, "Unspecified error."},
      {kOutOfMemory, "Not enough storage is available to complete this operation."},
      {kInvalidArg, "The parameter is incorrect."},
      {kClassNotRegistered, "Class not registered."},
      {kVfwNotConnected, "The operation cannot be performed because the pins are not connected."},
      {kVfwNoAcceptableTypes, "There is no common media type between these pins."},
      {kVfwAlreadyConnected, "The operation cannot be performed because the pins are already connected."},
      {kVfwInvalidMediaType, "The specified media type is invalid."},
      {kVfwWrongState, "The operation could not be performed because the filter is in the wrong state."},
  };
  auto it = texts.find(hr);
  if (it == texts.end() || buffer == nullptr || size == 0) {
    return 0;
  }
  const std::size_t length = std::min<std::size_t>(std::strlen(it->second), size - 1);
  std::memcpy(buffer, it->second, length);
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

void ShowErrorBox(NativeWindow owner, const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  sim::Settings& s = sim::TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.reports.push_back(sim::ErrorReport{owner, caption, text});
}

}  // namespace capture::graph
