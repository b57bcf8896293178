// The simulated camera platform under the graph layer on Linux: cameras the
// caller configures, a streaming thread per running graph that delivers frames
// of a known pattern at a steady rate, failure injection at any graph operation,
// error reports recorded (and printed to standard error) instead of message
// boxes, and a renderer that draws the frames it receives into the X11 window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/graph/graph_api.h"

namespace capture::sim {

enum class FormatKind {
  kVideoInfo,   // FORMAT_VideoInfo with a VIDEOINFOHEADER block
  kVideoInfo2,  // FORMAT_VideoInfo2 with a VIDEOINFOHEADER2 block
  kNone,        // no format block at all
};

struct Capability {
  graph::Guid subtype{};
  std::int32_t width = 0;
  std::int32_t height = 0;  // biHeight as the format states it (negative: top-down)
  FormatKind kind = FormatKind::kVideoInfo;
  bool refuseSetFormat = false;  // SetFormat rejects this capability
  std::int32_t sampleSize = 0;   // the sample buffers' size; 0: what the layout needs
};

struct Camera {
  std::u16string friendlyName;
  std::optional<std::u16string> description;
  std::u16string devicePath;
  std::vector<Capability> capabilities;                  // the first one is the current format at first
  std::int32_t capabilitySize = graph::kStreamCapsSize;  // what GetNumberOfCapabilities reports
  std::int32_t framePeriodMs = 20;
  // Frames show the test card (tv_test_card.h) where its layout can be made; else,
  // and by default, the byte pattern below.
  bool testCard = false;
};

// The cameras a listing finds from now on (the default set at load is two cameras,
// which show the test card).
void SetCameras(std::vector<Camera> cameras);
std::vector<Camera> DefaultCameras();

// The `nth` call (1 = the next one) of the graph operation named like its
// function in graph_api.h ("AddFilter", "Run", ...) fails with `hr`. Creating
// operations leave their output empty, except CreateVideoFilter, whose filter
// exists anyway (as a constructor that reports failure).
// kThrowsBadAlloc in place of a result makes that call throw std::bad_alloc, as an
// allocation that fails would.
void FailCall(const std::string& operation, int nth, graph::HResult hr);
void ClearFailures();
inline constexpr graph::HResult kThrowsBadAlloc = 0x7E0000AA;

// Halts (true) or resumes frame delivery of every streaming graph.
void PauseFrames(bool paused);

struct ErrorReport {
  graph::NativeWindow owner;
  std::string caption;
  std::string text;
};
std::vector<ErrorReport> TakeErrorReports();

// Platform objects currently alive (filters, graphs, builders, pins, ...).
int LiveObjects();
// How often a thread entered COM through the graph layer.
int ComInitializations();

// What the renderers last received and were told.
struct RendererView {
  graph::Rect source{};
  graph::Rect destination{};
  std::vector<std::uint8_t> lastFrame;  // the last sample a renderer received
  std::uint64_t framesDrawn = 0;        // frames drawn into a window, all renderers
};
RendererView LastRendererView();

// The sample pattern: byte i of frame number n is (n + i) mod 256.
std::int32_t SampleSize(const Capability& capability);

}  // namespace capture::sim
