// The simulated platform's object model, shared by its operations: counted
// objects (filters, graphs and the rest, one per handle type of graph_api.h), the
// platform's settings, failure injection and COM apartments.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture/frame/frame_work.h"
#include "capture/graph/graph_api.h"
#include "capture/sim/sim_platform.h"

namespace capture::sim {

extern std::atomic<int> g_liveObjects;
extern std::atomic<bool> g_paused;

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

Settings& TheSettings();

// The injected result of this call of `operation`, or S_OK (or a throw of
// std::bad_alloc, when that was injected).
graph::HResult Injected(const char* operation);

// A creation through COM: CO_E_NOTINITIALIZED on a thread that never entered COM,
// else the injected result.
graph::HResult ComCreation(const char* operation);
void EnterComApartment();

// A new media type for a capability, with its format block.
graph::MediaType* NewMediaType(const Capability& cap);

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

  // A sample reached the renderer: kept, and drawn into the clipping window.
  void Receive(const std::uint8_t* data, std::int32_t size);
  // The last sample drawn again, or black when none came.
  void Repaint(NativeWindow window);
};

struct Graph : Object {
  std::vector<Filter*> filters;  // counted
  std::mutex streamMutex;
  std::condition_variable streamWake;
  bool stopRequested = false;
  std::thread streamer;

  ~Graph() override;
  bool Contains(const Filter* f) const;
  Filter* SourceFeedingVideo() const;
  void StartStreaming();
  void StopStreaming();
  // The streaming thread: one sample per frame period through the VideoFilter
  // and on to the renderer.
  void Stream(Filter* source);
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

// A part of a filter (a control of the renderer, the source's stream
// configuration, a pin): it holds a reference to its filter.
struct FilterPart : Object {
  Filter* const filter;
  explicit FilterPart(Filter* f) : filter(f) { filter->AddRef(); }
  ~FilterPart() override { filter->Release(); }
};

struct RendererConfig : FilterPart {
  using FilterPart::FilterPart;
};

struct WindowlessControl : FilterPart {
  using FilterPart::FilterPart;
};

struct StreamConfig : FilterPart {
  using FilterPart::FilterPart;
};

struct Pin : FilterPart {
  PinDirection direction;
  Pin(Filter* f, PinDirection d) : FilterPart(f), direction(d) {}
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

}  // namespace capture::graph
