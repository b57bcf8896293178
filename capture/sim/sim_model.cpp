#include "capture/sim/sim_model.h"

#include <cstring>
#include <new>

#include "capture/sim/sim_x11.h"
#include "capture/sim/tv_test_card.h"

namespace capture::sim {

std::atomic<int> g_liveObjects{0};
std::atomic<bool> g_paused{false};

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

}  // namespace capture::sim

namespace capture::graph {

void Filter::Receive(const std::uint8_t* data, std::int32_t size) {
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

void Filter::Repaint(NativeWindow window) {
  std::lock_guard<std::mutex> lock(frameMutex);
  if (lastFrame.empty()) {
    sim::x11::FillBlack(window);
    return;
  }
  sim::x11::DrawFrame(window, destination, connected.subtype, connected.width, connected.height,
                      lastFrame.data(), static_cast<std::int32_t>(lastFrame.size()));
}

Graph::~Graph() {
  StopStreaming();
  for (Filter* f : filters) {
    f->graph = nullptr;
    f->downstream = nullptr;
    f->inputConnected = false;
    f->Release();
  }
}

bool Graph::Contains(const Filter* f) const {
  return std::find(filters.begin(), filters.end(), f) != filters.end();
}

Filter* Graph::SourceFeedingVideo() const {
  for (Filter* f : filters) {
    if (f->kind == Filter::Kind::kSource && f->downstream != nullptr) {
      return f;
    }
  }
  return nullptr;
}

void Graph::StartStreaming() {
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

void Graph::StopStreaming() {
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

void Graph::Stream(Filter* source) {
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
    if (!source->camera->testCard ||
        !sim::DrawTestCard(cap.subtype, cap.width, cap.height, frameNumber, sample.data(), size)) {
      for (std::int32_t i = 0; i < size; ++i) {
        sample[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(frameNumber + static_cast<std::uint32_t>(i));
      }
    }
    ++frameNumber;
    video->work->Transform(sample.data(), size);
    if (video->downstream != nullptr) {
      video->downstream->Receive(sample.data(), size);
    }
    lock.lock();
  }
}

void AddRef(Filter* filter) { filter->AddRef(); }
void AddRef(WindowlessControl* control) { control->AddRef(); }
#define CAPTURE_GRAPH_RELEASE(Handle, Interface) \
  void Release(Handle* handle) { handle->Release(); }
CAPTURE_GRAPH_HANDLES(CAPTURE_GRAPH_RELEASE)
#undef CAPTURE_GRAPH_RELEASE

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
  front.testCard = true;
  Camera second;
  second.testCard = true;
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
