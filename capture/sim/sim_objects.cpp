// The simulated platform's objects and the graph layer's operations over them.
// One file on purpose: each operation of graph_api.h sits beside the object it
// works on, and the streaming thread, renderer and failure injection share the
// same object model, so the whole simulated platform reads top to bottom.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "frame/frame_work.h"
#include "graph/graph_api.h"
#include "sim/sim_platform.h"
#include "sim/sim_x11.h"

namespace capture::sim {
namespace {

std::atomic<int> g_liveObjects{0};

struct Object {
  Object() { g_liveObjects.fetch_add(1); }
  virtual ~Object() { g_liveObjects.fetch_sub(1); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  void AddRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
  void Release() {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete this;
    }
  }

 private:
  std::atomic<int> refs_{1};
};

// Global settings of the platform, under one lock.
struct Settings {
  std::mutex mutex;
  std::vector<std::shared_ptr<const Camera>> cameras;
  std::map<std::string, std::pair<int, graph::HResult>> failures;  // operation -> (calls left, code)
  std::vector<ErrorReport> reports;
  RendererView view;
};

Settings& TheSettings() {
  static auto* settings = [] {
    auto* s = new Settings();  // lives as long as the process
    for (auto& camera : DefaultCameras()) {
      s->cameras.push_back(std::make_shared<const Camera>(std::move(camera)));
    }
    return s;
  }();
  return *settings;
}

std::atomic<bool> g_paused{false};

// The injected result of this call of `operation`, or S_OK.
graph::HResult Injected(const char* operation) {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.failures.find(operation);
  if (it == s.failures.end()) {
    return graph::kOk;
  }
  if (--it->second.first > 0) {
    return graph::kOk;
  }
  const graph::HResult hr = it->second.second;
  s.failures.erase(it);
  if (hr == kThrowsBadAlloc) throw std::bad_alloc();
  return hr;
}

namespace {
// COM apartments as Windows keeps them: per thread, entered by InitializeCom.
thread_local bool t_comInitialized = false;
constexpr graph::HResult kComNotInitialized = static_cast<graph::HResult>(0x800401F0);  // CO_E_NOTINITIALIZED
}  // namespace

graph::HResult ComCreation(const char* operation) {
  if (!t_comInitialized) return kComNotInitialized;
  return Injected(operation);
}

std::atomic<int> g_comInitializations{0};

void EnterComApartment() {
  g_comInitializations.fetch_add(1);
  t_comInitialized = true;
}

// A new media type for a capability, with its format block.
graph::MediaType* NewMediaType(const Capability& cap) {
  auto* type = new graph::MediaType{};
  type->majortype = graph::kMediaTypeVideo;
  type->subtype = cap.subtype;
  type->bFixedSizeSamples = 1;
  type->lSampleSize = static_cast<std::uint32_t>(SampleSize(cap));
  graph::BitmapInfoHeader bmi{};
  bmi.biSize = sizeof bmi;
  bmi.biWidth = cap.width;
  bmi.biHeight = cap.height;
  bmi.biPlanes = 1;
  bmi.biCompression = cap.subtype.data1;
  bmi.biSizeImage = type->lSampleSize;
  switch (cap.kind) {
    case FormatKind::kVideoInfo: {
      graph::VideoInfoHeader info{};
      info.AvgTimePerFrame = 333333;
      info.bmiHeader = bmi;
      type->formattype = graph::kFormatVideoInfo;
      type->cbFormat = sizeof info;
      type->pbFormat = new std::uint8_t[sizeof info];
      std::memcpy(type->pbFormat, &info, sizeof info);
      break;
    }
    case FormatKind::kVideoInfo2: {
      // VIDEOINFOHEADER2: 72 bytes of rectangles, rates and flags, then the bitmap header.
      type->formattype = graph::kFormatVideoInfo2;
      type->cbFormat = 72 + sizeof bmi;
      type->pbFormat = new std::uint8_t[type->cbFormat]();
      std::memcpy(type->pbFormat + 72, &bmi, sizeof bmi);
      break;
    }
    case FormatKind::kNone:
      type->formattype = graph::Guid{};
      break;
  }
  return type;
}

}  // namespace
}  // namespace capture::sim

namespace capture::graph {

using sim::Object;

struct Filter : Object {
  enum class Kind { kSource, kRenderer, kVideo };
  explicit Filter(Kind k) : kind(k) {}

  const Kind kind;
  Graph* graph = nullptr;  // the graph it is in (not counted)
  Filter* downstream = nullptr;
  bool inputConnected = false;

  // Source
  std::shared_ptr<const sim::Camera> camera;
  std::size_t currentCapability = 0;

  // VideoFilter
  std::unique_ptr<frame::FrameWork> work;
  sim::Capability connected{};  // the connected type as a capability

  // Renderer
  std::uint32_t mode = 0;
  NativeWindow clippingWindow = 0;
  Rect source{};
  Rect destination{};
  std::int32_t nativeWidth = 0;
  std::int32_t nativeHeight = 0;
  std::mutex frameMutex;
  std::vector<std::uint8_t> lastFrame;

  void Receive(const std::uint8_t* data, std::int32_t size) {
    NativeWindow window;
    Rect dst;
    {
      std::lock_guard<std::mutex> lock(frameMutex);
      lastFrame.assign(data, data + size);
      window = clippingWindow;
      dst = destination;
    }
    const bool drawn = window != 0 && sim::x11::DrawFrame(window, dst, connected.subtype, connected.width,
                                                          connected.height, data, size);
    sim::Settings& s = sim::TheSettings();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.view.lastFrame.assign(data, data + size);
    if (drawn) {
      ++s.view.framesDrawn;
    }
  }

  void Repaint(NativeWindow window) {
    std::lock_guard<std::mutex> lock(frameMutex);
    if (lastFrame.empty()) {
      sim::x11::FillBlack(window);
      return;
    }
    sim::x11::DrawFrame(window, destination, connected.subtype, connected.width, connected.height,
                        lastFrame.data(), static_cast<std::int32_t>(lastFrame.size()));
  }
};

struct Graph : Object {
  std::vector<Filter*> filters;  // counted
  std::mutex streamMutex;
  std::condition_variable streamWake;
  bool stopRequested = false;
  std::thread streamer;

  ~Graph() override {
    StopStreaming();
    for (Filter* f : filters) {
      f->graph = nullptr;
      f->downstream = nullptr;
      f->inputConnected = false;
      f->Release();
    }
  }

  bool Contains(const Filter* f) const {
    return std::find(filters.begin(), filters.end(), f) != filters.end();
  }

  Filter* SourceFeedingVideo() const {
    for (Filter* f : filters) {
      if (f->kind == Filter::Kind::kSource && f->downstream != nullptr) {
        return f;
      }
    }
    return nullptr;
  }

  void StartStreaming() {
    if (streamer.joinable()) {
      return;
    }
    Filter* source = SourceFeedingVideo();
    if (source == nullptr) {
      return;
    }
    stopRequested = false;
    streamer = std::thread([this, source] { Stream(source); });
  }

  void StopStreaming() {
    if (!streamer.joinable()) {
      return;
    }
    {
      std::lock_guard<std::mutex> lock(streamMutex);
      stopRequested = true;
    }
    streamWake.notify_all();
    streamer.join();
  }

  // The streaming thread: one sample per frame period through the VideoFilter
  // and on to the renderer.
  void Stream(Filter* source) {
    Filter* video = source->downstream;
    const sim::Capability cap = video->connected;
    const std::int32_t size = sim::SampleSize(cap);
    std::vector<std::uint8_t> sample(static_cast<std::size_t>(size > 0 ? size : 1));
    const auto period = std::chrono::milliseconds(std::max(1, source->camera->framePeriodMs));
    std::uint32_t frameNumber = 0;
    std::unique_lock<std::mutex> lock(streamMutex);
    while (!stopRequested) {
      streamWake.wait_for(lock, period, [this] { return stopRequested; });
      if (stopRequested) {
        break;
      }
      if (sim::g_paused.load()) {
        continue;
      }
      lock.unlock();
      for (std::int32_t i = 0; i < size; ++i) {
        sample[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(frameNumber + static_cast<std::uint32_t>(i));
      }
      ++frameNumber;
      video->work->Transform(sample.data(), size);
      if (video->downstream != nullptr) {
        video->downstream->Receive(sample.data(), size);
      }
      lock.lock();
    }
  }
};

struct Builder : Object {
  Graph* graph = nullptr;  // counted
  ~Builder() override {
    if (graph != nullptr) {
      graph->Release();
    }
  }
};

struct MediaControl : Object {
  Graph* graph;
  explicit MediaControl(Graph* g) : graph(g) { graph->AddRef(); }
  ~MediaControl() override { graph->Release(); }
};

struct RendererConfig : Object {
  Filter* renderer;
  explicit RendererConfig(Filter* r) : renderer(r) { renderer->AddRef(); }
  ~RendererConfig() override { renderer->Release(); }
};

struct WindowlessControl : Object {
  Filter* renderer;
  explicit WindowlessControl(Filter* r) : renderer(r) { renderer->AddRef(); }
  ~WindowlessControl() override { renderer->Release(); }
};

struct StreamConfig : Object {
  Filter* source;
  explicit StreamConfig(Filter* s) : source(s) { source->AddRef(); }
  ~StreamConfig() override { source->Release(); }
};

struct Pin : Object {
  Filter* filter;
  PinDirection direction;
  Pin(Filter* f, PinDirection d) : filter(f), direction(d) { filter->AddRef(); }
  ~Pin() override { filter->Release(); }
};

struct DeviceEnum : Object {};

struct MonikerEnum : Object {
  std::vector<std::shared_ptr<const sim::Camera>> cameras;
  std::size_t next = 0;
};

struct Moniker : Object {
  std::shared_ptr<const sim::Camera> camera;
};

struct PropertyBag : Object {
  std::shared_ptr<const sim::Camera> camera;
};

void AddRef(Filter* filter) { filter->AddRef(); }
void AddRef(WindowlessControl* control) { control->AddRef(); }
void Release(Filter* filter) { filter->Release(); }
void Release(Builder* builder) { builder->Release(); }
void Release(Graph* graph) { graph->Release(); }
void Release(MediaControl* control) { control->Release(); }
void Release(RendererConfig* config) { config->Release(); }
void Release(WindowlessControl* control) { control->Release(); }
void Release(StreamConfig* config) { config->Release(); }
void Release(Pin* pin) { pin->Release(); }
void Release(DeviceEnum* devEnum) { devEnum->Release(); }
void Release(MonikerEnum* monikers) { monikers->Release(); }
void Release(Moniker* moniker) { moniker->Release(); }
void Release(PropertyBag* bag) { bag->Release(); }

// ---------------------------------------------------------------- listing
void InitializeCom() { sim::EnterComApartment(); }

HResult CreateSystemDeviceEnum(DeviceEnum** out) {
  *out = nullptr;
  if (HResult hr = sim::ComCreation("CreateSystemDeviceEnum"); Failed(hr)) return hr;
  *out = new DeviceEnum();
  return kOk;
}

HResult CreateVideoInputEnum(DeviceEnum*, MonikerEnum** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("CreateVideoInputEnum"); Failed(hr)) return hr;
  sim::Settings& s = sim::TheSettings();
  std::vector<std::shared_ptr<const sim::Camera>> cameras;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    cameras = s.cameras;
  }
  if (cameras.empty()) {
    return kFalse;  // an empty category yields no enumerator
  }
  auto* monikers = new MonikerEnum();
  monikers->cameras = std::move(cameras);
  *out = monikers;
  return kOk;
}

HResult NextMoniker(MonikerEnum* monikers, Moniker** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("NextMoniker"); Failed(hr)) return hr;
  if (monikers->next >= monikers->cameras.size()) {
    return kFalse;
  }
  auto* moniker = new Moniker();
  moniker->camera = monikers->cameras[monikers->next++];
  *out = moniker;
  return kOk;
}

HResult BindToPropertyBag(Moniker* moniker, PropertyBag** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("BindToPropertyBag"); Failed(hr)) return hr;
  auto* bag = new PropertyBag();
  bag->camera = moniker->camera;
  *out = bag;
  return kOk;
}

HResult ReadStringProperty(PropertyBag* bag, const char16_t* name, char16_t** value, std::size_t* length) {
  *value = nullptr;
  *length = 0;
  if (HResult hr = sim::Injected("ReadStringProperty"); Failed(hr)) return hr;
  const std::u16string key(name);
  const std::u16string* text = nullptr;
  if (key == u"FriendlyName") {
    text = &bag->camera->friendlyName;
  } else if (key == u"DevicePath") {
    text = &bag->camera->devicePath;
  } else if (key == u"Description" && bag->camera->description.has_value()) {
    text = &*bag->camera->description;
  }
  if (text == nullptr) {
    return kInvalidArg;  // no such property
  }
  auto* copy = new char16_t[text->size() + 1];
  std::copy(text->begin(), text->end(), copy);
  copy[text->size()] = u'\0';
  *value = copy;
  *length = text->size();
  return kOk;
}

void FreePropertyString(char16_t* value) { delete[] value; }

HResult BindToFilter(Moniker* moniker, Filter** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("BindToFilter"); Failed(hr)) return hr;
  auto* source = new Filter(Filter::Kind::kSource);
  source->camera = moniker->camera;
  *out = source;
  return kOk;
}

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
  config->renderer->mode = mode;
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
  std::lock_guard<std::mutex> lock(control->renderer->frameMutex);
  control->renderer->clippingWindow = window;
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
  *count = static_cast<std::int32_t>(config->source->camera->capabilities.size());
  *size = config->source->camera->capabilitySize;
  return kOk;
}

HResult GetStreamCaps(StreamConfig* config, std::int32_t index, MediaType** type, std::uint8_t* caps) {
  *type = nullptr;
  if (HResult hr = sim::Injected("GetStreamCaps"); Failed(hr)) return hr;
  const auto& capabilities = config->source->camera->capabilities;
  if (index < 0 || static_cast<std::size_t>(index) >= capabilities.size()) return kFalse;
  const sim::Capability& cap = capabilities[static_cast<std::size_t>(index)];
  std::memset(caps, 0, kStreamCapsSize);
  std::memcpy(caps, &kFormatVideoInfo, sizeof(Guid));
  *type = sim::NewMediaType(cap);
  return kOk;
}

HResult SetFormat(StreamConfig* config, const MediaType* type) {
  if (HResult hr = sim::Injected("SetFormat"); Failed(hr)) return hr;
  Filter* source = config->source;
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
  std::lock_guard<std::mutex> lock(control->renderer->frameMutex);
  *width = control->renderer->nativeWidth;
  *height = control->renderer->nativeHeight;
  return kOk;
}

HResult SetVideoPosition(WindowlessControl* control, const Rect* source, const Rect* destination) {
  if (HResult hr = sim::Injected("SetVideoPosition"); Failed(hr)) return hr;
  {
    std::lock_guard<std::mutex> lock(control->renderer->frameMutex);
    if (source != nullptr) control->renderer->source = *source;
    if (destination != nullptr) control->renderer->destination = *destination;
  }
  sim::Settings& s = sim::TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (source != nullptr) s.view.source = *source;
  if (destination != nullptr) s.view.destination = *destination;
  return kOk;
}

HResult RepaintVideo(WindowlessControl* control, NativeWindow window) {
  if (HResult hr = sim::Injected("RepaintVideo"); Failed(hr)) return hr;
  control->renderer->Repaint(window);
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

namespace capture::sim {

std::int32_t SampleSize(const Capability& cap) {
  if (cap.sampleSize > 0) {
    return cap.sampleSize;
  }
  const std::int64_t w = cap.width < 0 ? -static_cast<std::int64_t>(cap.width) : cap.width;
  const std::int64_t h = cap.height < 0 ? -static_cast<std::int64_t>(cap.height) : cap.height;
  std::int64_t bytes = w * h;  // compressed and unknown subtypes: one byte per pixel
  if (cap.subtype == graph::kSubtypeI420 || cap.subtype == graph::kSubtypeIYUV ||
      cap.subtype == graph::kSubtypeYV12) {
    bytes = std::max(
        frame::MirrorLayoutSize(cap.subtype, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)),
        w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2));
  } else if (cap.subtype == graph::kSubtypeYUY2 || cap.subtype == graph::kSubtypeYUYV) {
    bytes = 2 * w * h;
  } else if (cap.subtype == graph::kSubtypeRGB24) {
    bytes = 3 * w * h;
  } else if (cap.subtype == graph::kSubtypeRGB32) {
    bytes = 4 * w * h;
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(bytes, 1, INT32_MAX));
}

std::vector<Camera> DefaultCameras() {
  Camera front;
  front.friendlyName = u"Simulated Camera";
  front.description = u"Simulated USB video device";
  front.devicePath = u"\\\\?\\sim#vid_0001&pid_0001#0";
  front.capabilities = {
      {graph::kSubtypeYUY2, 320, 240},
      {graph::kSubtypeI420, 320, 240},
      {graph::kSubtypeRGB24, 320, 240},
      {graph::kSubtypeRGB32, 640, 480},
  };
  Camera second;
  second.friendlyName = u"Simulated Document Camera";
  second.devicePath = u"\\\\?\\sim#vid_0002&pid_0002#0";
  second.capabilities = {
      {graph::kSubtypeRGB32, 160, 120},
      {graph::kSubtypeYV12, 160, 120},
  };
  return {front, second};
}

void SetCameras(std::vector<Camera> cameras) {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.cameras.clear();
  for (auto& camera : cameras) {
    s.cameras.push_back(std::make_shared<const Camera>(std::move(camera)));
  }
}

void FailCall(const std::string& operation, int nth, graph::HResult hr) {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.failures[operation] = {nth < 1 ? 1 : nth, hr};
}

void ClearFailures() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.failures.clear();
}

void PauseFrames(bool paused) { g_paused.store(paused); }

std::vector<ErrorReport> TakeErrorReports() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<ErrorReport> reports;
  reports.swap(s.reports);
  return reports;
}

int LiveObjects() { return g_liveObjects.load(); }

int ComInitializations() { return g_comInitializations.load(); }

RendererView LastRendererView() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.view;
}

}  // namespace capture::sim
