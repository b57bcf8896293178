// Windows test of camgrip's device layer over real DirectShow (one program, run
// once per Wine prefix, hence long: its groups share one registered camera): the graph layer,
// the VideoFilter and the device record operations, driven directly (there is no
// Windows JVM here) against the test capture source in test_camera.dll.
//
//   device_layer_test <path of test_camera.dll>
//
// Prints one line per failed check and a summary; exit code 0 when all passed.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture/core/canvas_video.h"
#include "capture/core/capabilities.h"
#include "capture/core/device.h"
#include "capture/core/graph_build.h"
#include "capture/core/sites.h"
#include "capture/frame/frame_work.h"
#include "capture/graph/graph_api.h"
#include "capture/tests/win32/canvas_thread.h"
#include "tests/windows/checks.h"
#include "capture/tests/test_camera/test_camera.h"

namespace graph = capture::graph;
namespace core = capture::core;
namespace site = capture::core::site;
namespace tc = zav_test_camera;

namespace {

#define CHECK_HR(expr) ::win_checks::Check(SUCCEEDED(expr), #expr, __LINE__)

void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::printf("  [%s] ", win_checks::group);
  std::vprintf(format, args);
  std::printf("\n");
  std::fflush(stdout);
  va_end(args);
}

// ------------------------------------------------------------------ helpers

const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

IBaseFilter* F(graph::Filter* f) { return reinterpret_cast<IBaseFilter*>(f); }
graph::Filter* H(IBaseFilter* f) { return reinterpret_cast<graph::Filter*>(f); }

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

tc::StatsFunction g_stats = nullptr;
LONG LiveCameraFilters() {
  LONG live = -1;
  g_stats(&live, nullptr);
  return live;
}
LONG FramesDelivered() {
  LONG frames = -1;
  g_stats(nullptr, &frames);
  return frames;
}

bool RecordIdle(const core::DeviceRecord& r) {
  const core::CaptureGraph& g = r.graph;
  return !g.builder && !g.filterGraph && !g.mediaControl && !g.renderer && !g.windowlessControl &&
         !g.rendererConfig && !g.frameFilter;
}

graph::Guid SubtypeOf(tc::Subtype s) {
  switch (s) {
    case tc::Subtype::kRGB24:
      return graph::kSubtypeRGB24;
    case tc::Subtype::kRGB32:
      return graph::kSubtypeRGB32;
    case tc::Subtype::kYUY2:
      return graph::kSubtypeYUY2;
    case tc::Subtype::kI420:
      return graph::kSubtypeI420;
  }
  return graph::Guid{};
}

// The pattern frame of capability `c` and its left-right mirror image, the latter
// computed pixel by pixel (independent of the filter's row routines).
std::vector<std::uint8_t> PatternFrame(const tc::Capability& c) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(tc::ImageSize(c)));
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = tc::PatternByte(static_cast<std::int32_t>(i));
  return frame;
}

std::vector<std::uint8_t> MirroredFrame(const tc::Capability& c) {
  const std::vector<std::uint8_t> in = PatternFrame(c);
  std::vector<std::uint8_t> out(in.size());
  const int w = c.width, h = c.height;
  switch (c.subtype) {
    case tc::Subtype::kRGB24:
    case tc::Subtype::kRGB32: {
      const int bpp = c.subtype == tc::Subtype::kRGB24 ? 3 : 4;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int b = 0; b < bpp; ++b) out[(y * w + x) * bpp + b] = in[(y * w + (w - 1 - x)) * bpp + b];
      break;
    }
    case tc::Subtype::kYUY2: {
      // Pixel x takes the luma of pixel w-1-x; each macropixel keeps its chroma.
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = &in[static_cast<std::size_t>(y * w * 2)];
        std::uint8_t* dst = &out[static_cast<std::size_t>(y * w * 2)];
        for (int m = 0; m < w / 2; ++m) {
          const std::uint8_t* s = src + 4 * (w / 2 - 1 - m);
          std::uint8_t* d = dst + 4 * m;
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          d[3] = s[3];
        }
      }
      break;
    }
    case tc::Subtype::kI420: {
      auto plane = [&](std::size_t offset, int pw, int ph) {
        for (int y = 0; y < ph; ++y)
          for (int x = 0; x < pw; ++x) out[offset + y * pw + x] = in[offset + y * pw + (pw - 1 - x)];
      };
      plane(0, w, h);
      plane(static_cast<std::size_t>(w * h), w / 2, h / 2);
      plane(static_cast<std::size_t>(w * h * 5 / 4), w / 2, h / 2);
      break;
    }
  }
  return out;
}

bool SameBytes(const std::uint8_t* a, const std::vector<std::uint8_t>& b) {
  return a != nullptr && std::memcmp(a, b.data(), b.size()) == 0;
}

// The next frame as a grab from Java gets it: asked with no buffer, told its
// size, asked again with a buffer of that size. Empty when no frame came.
std::vector<std::uint8_t> GrabFrame(capture::frame::FrameWork* work) {
  const auto asked = work->Grab(nullptr, 0);
  if (asked.outcome != capture::frame::FrameWork::GrabResult::kTooSmall) return {};
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(asked.size));
  const auto got = work->Grab(frame.data(), asked.size);
  if (got.outcome != capture::frame::FrameWork::GrabResult::kCopied) return {};
  return frame;
}

// ------------------------------------------------------------------ message boxes

// Watches for the modal error report with `caption`, reads its text and closes it.
class BoxWatcher {
 public:
  explicit BoxWatcher(std::string caption) : caption_(std::move(caption)) {
    thread_ = std::thread([this] { Watch(); });
  }
  ~BoxWatcher() { Join(); }
  void Join() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool seen() const { return seen_; }
  const std::string& text() const { return text_; }
  HWND owner() const { return owner_; }

 private:
  void Watch() {
    for (int i = 0; i < 1500 && !stop_; ++i) {
      HWND box = FindWindowA(nullptr, caption_.c_str());
      if (box != nullptr) {
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        text_ = text;
        owner_ = GetWindow(box, GW_OWNER);
        seen_ = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(20);
    }
  }
  std::string caption_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  std::string text_;
  HWND owner_ = nullptr;
};

// showGraphError as the binding calls it, with the report answered by a watcher.
struct Report {
  bool seen;
  std::string text;
  HWND owner;
};
Report ReportError(graph::HResult hr, HWND window, int site) {
  char caption[64];
  std::snprintf(caption, sizeof caption, "DirectShow Error(line:%d)", site);
  BoxWatcher watcher(caption);
  core::showGraphError(hr, reinterpret_cast<graph::NativeWindow>(window), site);
  watcher.Join();
  return Report{watcher.seen(), watcher.text(), watcher.owner()};
}

// ------------------------------------------------------------------ the canvas stand-in

// ------------------------------------------------------------------ listing

struct Listed {
  std::u16string name, description, path;
  bool hasDescription = false;
  graph::Filter* filter = nullptr;
};

std::u16string ReadProperty(graph::PropertyBag* bag, const char16_t* name, bool* ok) {
  char16_t* value = nullptr;
  std::size_t length = 0;
  *ok = SUCCEEDED(graph::ReadStringProperty(bag, name, &value, &length));
  std::u16string result;
  if (*ok) {
    result.assign(value, length);
    graph::FreePropertyString(value);
  }
  return result;
}

// The listing walk of enumDevices over the graph layer.
std::vector<Listed> ListDevices() {
  std::vector<Listed> devices;
  graph::DeviceEnum* devEnum = nullptr;
  if (FAILED(graph::CreateSystemDeviceEnum(&devEnum))) return devices;
  graph::MonikerEnum* monikers = nullptr;
  if (FAILED(graph::CreateVideoInputEnum(devEnum, &monikers)) || monikers == nullptr) {
    graph::Release(devEnum);
    return devices;
  }
  graph::Moniker* moniker = nullptr;
  while (graph::NextMoniker(monikers, &moniker) == graph::kOk) {
    graph::PropertyBag* bag = nullptr;
    if (SUCCEEDED(graph::BindToPropertyBag(moniker, &bag))) {
      Listed d;
      bool ok;
      d.description = ReadProperty(bag, u"Description", &d.hasDescription);
      d.name = ReadProperty(bag, u"FriendlyName", &ok);
      d.path = ReadProperty(bag, u"DevicePath", &ok);
      if (SUCCEEDED(graph::BindToFilter(moniker, &d.filter))) devices.push_back(d);
      graph::Release(bag);
    }
    graph::Release(moniker);
  }
  graph::Release(monikers);
  graph::Release(devEnum);
  return devices;
}

std::u16string U16(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

const Listed* Find(const std::vector<Listed>& devices, const wchar_t* name) {
  for (const Listed& d : devices)
    if (d.name == U16(name)) return &d;
  return nullptr;
}

graph::Filter* g_camera = nullptr;    // "ZAV Test Camera", listed once and kept
graph::Filter* g_cameraV2 = nullptr;  // "ZAV Test Camera VIH2"

void TestListing() {
  win_checks::group = "listing";
  const LONG liveBefore = LiveCameraFilters();
  std::vector<Listed> first = ListDevices();
  std::vector<Listed> second = ListDevices();
  const Listed* cam = Find(first, tc::kCameraName);
  const Listed* camV2 = Find(first, tc::kCameraV2Name);
  CHECK(cam != nullptr);
  CHECK(camV2 != nullptr);
  if (cam == nullptr || camV2 == nullptr) return;
  CHECK(cam->hasDescription && cam->description == U16(tc::kCameraDescription));
  CHECK(cam->path == U16(tc::kCameraPath));
  CHECK(!camV2->hasDescription);
  CHECK(camV2->path == U16(tc::kCameraV2Path));
  // Each listing binds its own filter object: different handles for one camera.
  const Listed* again = Find(second, tc::kCameraName);
  CHECK(again != nullptr && again->filter != cam->filter);
  CHECK(LiveCameraFilters() == liveBefore + 4);
  CLSID id{};
  CHECK(SUCCEEDED(F(cam->filter)->GetClassID(&id)) && id == tc::kCameraClsid);
  // The filter reference is the only one left: releasing the second listing's
  // objects destroys them.
  for (const Listed& d : second) {
    if (d.name == U16(tc::kCameraName) || d.name == U16(tc::kCameraV2Name)) CHECK(RefCount(F(d.filter)) == 1);
    graph::Release(d.filter);
  }
  CHECK(LiveCameraFilters() == liveBefore + 2);
  // A handle that works: the key the device record is found by.
  const std::int32_t handle = core::RegisterSourceFilter(graph::Ref<graph::Filter>::Share(cam->filter));
  CHECK(handle != 0 && core::SourceFilterOf(handle) == cam->filter);
  CHECK(core::UnregisterSourceFilter(handle).get() == cam->filter);
  for (const Listed& d : first) {
    if (d.filter == cam->filter) {
      g_camera = d.filter;
    } else if (d.filter == camV2->filter) {
      g_cameraV2 = d.filter;
    } else {
      graph::Release(d.filter);
    }
  }
  Note("%d devices listed", static_cast<int>(first.size()));
}

// ------------------------------------------------------------------ formats

struct Format {
  graph::Guid subtype;
  std::int32_t width, height;
};

// queryFormats' steps, as the binding takes them: its temporary graph in `record`
// and the walk of the capabilities; false on a failed step.
bool QueryFormats(core::DeviceRecord& record, std::vector<Format>* formats) {
  if (core::BuildSourceGraph(record.graph, record.sourceFilter, site::kQuerySourceGraph)) {
    core::CaptureGraph().Swap(record.graph);
    return false;
  }
  const core::WalkEnd end = core::WalkCapabilities(
      record.graph.builder.get(), record.sourceFilter,
      [&](graph::StreamConfig*, graph::MediaType* type, const graph::VideoInfoHeader* info) {
        formats->push_back(Format{type->subtype, info->bmiHeader.biWidth, info->bmiHeader.biHeight});
        return core::Visit::kNext;
      });
  core::CaptureGraph().Swap(record.graph);
  return end.kind == core::WalkEnd::kDone;
}

void TestFormats() {
  win_checks::group = "formats";
  if (g_camera == nullptr || g_cameraV2 == nullptr) return;
  const ULONG refs = RefCount(F(g_camera));
  core::DeviceRecord record;
  record.sourceFilter = g_camera;
  std::vector<Format> formats;
  CHECK(QueryFormats(record, &formats));
  // Every VideoInfo capability, in capability order; the VideoInfo2 one is left out.
  std::vector<Format> expected;
  for (const tc::Capability& c : tc::kCameraCaps)
    if (c.block == tc::Block::kVideoInfo) expected.push_back(Format{SubtypeOf(c.subtype), c.width, c.height});
  CHECK(formats.size() == expected.size());
  for (std::size_t i = 0; i < formats.size() && i < expected.size(); ++i) {
    CHECK(formats[i].subtype == expected[i].subtype);
    CHECK(formats[i].width == expected[i].width && formats[i].height == expected[i].height);
  }
  CHECK(RecordIdle(record));
  CHECK(RefCount(F(g_camera)) == refs);

  // A camera with VideoInfo2 capabilities only: an empty list, not a failure.
  core::DeviceRecord recordV2;
  recordV2.sourceFilter = g_cameraV2;
  std::vector<Format> none;
  CHECK(QueryFormats(recordV2, &none));
  CHECK(none.empty());
  CHECK(RecordIdle(recordV2));
}

// ------------------------------------------------------------------ start with the renderer

// The rest of start's steps (VideoFilter in, pins, connection, render, run) into a
// sink of the test's own, through `intermediate` when there is one: the frames as
// a renderer receives them. Returns the failing step's site (0 when all succeeded).
int BuildFilterPart(core::DeviceRecord& r, bool mirror, graph::Filter* sink, graph::Filter* intermediate,
                    graph::HResult* failed) {
  graph::HResult hr = graph::CreateVideoFilter(mirror, r.graph.frameFilter.receive());
  if (FAILED(hr)) return *failed = hr, site::kStartVideoFilter;
  if (FAILED(hr = graph::AddFilter(r.graph.filterGraph.get(), r.graph.frameFilter.get(), u"VideoFilter")))
    return *failed = hr, site::kStartAddVideoFilter;
  graph::Pin* capturePin = nullptr;
  graph::Pin* inputPin = nullptr;
  if (FAILED(hr = graph::FindPin(r.graph.builder.get(), r.sourceFilter, graph::PinDirection::kOutput,
                                 &graph::kPinCategoryCapture, nullptr, false, 0, &capturePin)))
    return *failed = hr, site::kStartCapturePin;
  if (FAILED(hr = graph::FindPin(r.graph.builder.get(), r.graph.frameFilter.get(),
                                 graph::PinDirection::kInput, nullptr, nullptr, false, 0, &inputPin))) {
    graph::Release(capturePin);
    return *failed = hr, site::kStartFilterInputPin;
  }
  hr = graph::ConnectDirect(r.graph.filterGraph.get(), capturePin, inputPin, nullptr);
  graph::Release(capturePin);
  graph::Release(inputPin);
  if (FAILED(hr)) return *failed = hr, site::kStartConnect;
  if (FAILED(hr = graph::RenderStream(r.graph.builder.get(), nullptr, &graph::kMediaTypeVideo,
                                      r.graph.frameFilter.get(), intermediate, sink)))
    return *failed = hr, site::kStartRenderStream;
  if (FAILED(hr = graph::QueryMediaControl(r.graph.filterGraph.get(), r.graph.mediaControl.receive())))
    return *failed = hr, site::kStartMediaControl;
  if (FAILED(hr = graph::Run(r.graph.mediaControl.get()))) return *failed = hr, site::kStartRun;
  return 0;
}

graph::HResult ChooseFormat(core::DeviceRecord& r, int index);

// Makes capability `index` the one the camera's pin offers first, through a graph of
// its own: start with no wanted format connects with it.
graph::HResult PreferCapability(int index) {
  core::DeviceRecord r;
  r.sourceFilter = g_camera;
  if (auto failure = core::BuildSourceGraph(r.graph, r.sourceFilter, site::kStartSourceGraph))
    return failure->hr;
  const graph::HResult hr = ChooseFormat(r, index);
  core::CaptureGraph().Swap(r.graph);
  return hr;
}

// start with the Video Mixing Renderer in windowless mode, clipped to `canvas`,
// with capability `index`. Where the renderer refuses the mode or the VideoFilter's
// output and `mayRefuse` allows it, the failure must be reported at that step's
// site and leave the device idle.
void RendererRun(HWND canvas, int index, bool mayRefuse) {
  const tc::Capability& cap = tc::kCameraCaps[index];
  const ULONG refs = RefCount(F(g_camera));
  core::DeviceRecord r;
  r.sourceFilter = g_camera;
  r.window = reinterpret_cast<graph::NativeWindow>(canvas);
  CHECK(PreferCapability(index) == S_OK);
  // start's own build, with no wanted format: the pin's first capability.
  const std::optional<core::GraphFailure> failure =
      core::BuildGraph(nullptr, r.graph, r.sourceFilter, r.window, nullptr, true);
  if (failure) {
    const int failedSite = failure->site;
    const graph::HResult hr = failure->hr;
    Note("site %d failed with 0x%08lx", failedSite, static_cast<unsigned long>(hr));
    CHECK(mayRefuse && (failedSite == site::kStartRenderingMode || failedSite == site::kStartRenderStream));
    char expectedText[160] = {};
    const std::uint32_t n = graph::GetErrorText(hr, expectedText, sizeof expectedText);
    const Report report = ReportError(hr, canvas, failedSite);
    CHECK(report.seen);
    CHECK(report.text == (n != 0 ? std::string(expectedText, n) : std::string("Unkown error")));
    CHECK(report.owner == canvas);
    core::CaptureGraph().Swap(r.graph);
    CHECK(RecordIdle(r));
    CHECK(RefCount(F(g_camera)) == refs);
    return;
  }
  Note("the whole graph runs with capability %d", index);
  // Running: fit the video to the canvas, paint, grab.
  core::fitVideoToCanvas(r.graph.windowlessControl.get(), 320, 240);
  std::int32_t w = 0, h = 0;
  CHECK(SUCCEEDED(graph::GetNativeVideoSize(r.graph.windowlessControl.get(), &w, &h)));
  CHECK(w == cap.width && h == cap.height);
  RECT source{}, destination{};
  if (SUCCEEDED(reinterpret_cast<IVMRWindowlessControl*>(r.graph.windowlessControl.get())
                    ->GetVideoPosition(&source, &destination))) {
    CHECK(source.right == cap.width && source.bottom == cap.height);
    CHECK(destination.left == 0 && destination.top == 0 && destination.right == 320 &&
          destination.bottom == 240);
  }
  core::paintCanvas(r.graph.windowlessControl.get(), r.window);
  capture::frame::FrameWork* work = graph::FrameWorkOf(r.graph.frameFilter.get());
  CHECK(work != nullptr && work->subtype() == SubtypeOf(cap.subtype) && work->width() == cap.width);
  if (work != nullptr) {
    const std::vector<std::uint8_t> grabbed = GrabFrame(work);
    CHECK(!grabbed.empty() && SameBytes(grabbed.data(), PatternFrame(cap)));
  }
  IBaseFilter* videoFilter = F(r.graph.frameFilter.get());
  videoFilter->AddRef();
  core::CaptureGraph().Swap(r.graph);
  CHECK(RecordIdle(r));
  CHECK(videoFilter->Release() == 0);
  CHECK(RefCount(F(g_camera)) == refs);
}

void TestRendererStart(HWND canvas) {
  if (g_camera == nullptr) return;
  win_checks::group = "start with the video mixing renderer, RGB24";
  RendererRun(canvas, 0, true);
  win_checks::group = "start with the video mixing renderer, RGB32";
  RendererRun(canvas, 5, false);
}

// ------------------------------------------------------------------ streaming

// Chooses capability `index` through the stream configuration, as start does.
graph::HResult ChooseFormat(core::DeviceRecord& r, int index) {
  graph::StreamConfig* config = nullptr;
  graph::HResult hr = graph::FindStreamConfig(r.graph.builder.get(), &graph::kPinCategoryCapture,
                                              &graph::kMediaTypeVideo, r.sourceFilter, &config);
  if (FAILED(hr)) return hr;
  graph::MediaType* type = nullptr;
  std::uint8_t caps[graph::kStreamCapsSize];
  hr = graph::GetStreamCaps(config, index, &type, caps);
  if (SUCCEEDED(hr)) {
    hr = graph::SetFormat(config, type);
    graph::DeleteMediaType(type);
  }
  graph::Release(config);
  return hr;
}

// The graph, builder and camera of `r`, with capability `index` chosen: the part
// of start before the frame filter.
void BuildSourcePart(core::DeviceRecord& r, int index) {
  CHECK(!core::BuildSourceGraph(r.graph, r.sourceFilter, site::kStartSourceGraph));
  CHECK_HR(ChooseFormat(r, index));
}

struct Sink {
  IBaseFilter* grabber = nullptr;
  IBaseFilter* renderer = nullptr;
  ISampleGrabber* control = nullptr;
  bool Make() {
    if (FAILED(CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&grabber))))
      return false;
    if (FAILED(CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&renderer))))
      return false;
    if (FAILED(grabber->QueryInterface(__uuidof(ISampleGrabber), reinterpret_cast<void**>(&control))))
      return false;
    control->SetBufferSamples(TRUE);
    return true;
  }
  ~Sink() {
    if (control) control->Release();
    if (grabber) grabber->Release();
    if (renderer) renderer->Release();
  }
  // The last frame that passed the VideoFilter, as the renderer got it.
  std::vector<std::uint8_t> Rendered() {
    long size = 0;
    if (FAILED(control->GetCurrentBuffer(&size, nullptr)) || size <= 0) return {};
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(size));
    if (FAILED(control->GetCurrentBuffer(&size, reinterpret_cast<long*>(frame.data())))) return {};
    return frame;
  }
};

// Waits until the camera has delivered `frames` more frames (bounded).
bool AwaitFrames(LONG frames) {
  const LONG target = FramesDelivered() + frames;
  for (int i = 0; i < 400; ++i) {
    if (FramesDelivered() >= target) return true;
    Sleep(10);
  }
  return false;
}

void StreamOnce(int index, bool mirror) {
  const tc::Capability& cap = tc::kCameraCaps[index];
  char group[96];
  std::snprintf(group, sizeof group, "streaming capability %d, mirror %s", index, mirror ? "on" : "off");
  win_checks::group = group;
  const ULONG refs = RefCount(F(g_camera));
  Sink sink;
  CHECK(sink.Make());
  if (sink.control == nullptr) return;

  core::DeviceRecord r;
  r.sourceFilter = g_camera;
  graph::HResult hr = 0;
  BuildSourcePart(r, index);
  CHECK_HR(hr = graph::AddFilter(r.graph.filterGraph.get(), H(sink.grabber), u"Grabber"));
  CHECK_HR(hr = graph::AddFilter(r.graph.filterGraph.get(), H(sink.renderer), u"Null"));
  const int site = BuildFilterPart(r, mirror, H(sink.renderer), H(sink.grabber), &hr);
  CHECK(site == 0);
  if (site != 0) Note("site %d failed with 0x%08lx", site, static_cast<unsigned long>(hr));

  capture::frame::FrameWork* work = graph::FrameWorkOf(r.graph.frameFilter.get());
  CHECK(work != nullptr);
  if (site == 0 && work != nullptr) {
    // The connected type as getFormat reports it.
    CHECK(work->subtype() == SubtypeOf(cap.subtype));
    CHECK(work->width() == cap.width && work->height() == cap.height);
    CHECK(work->mirror() == mirror);
    CHECK(AwaitFrames(3));

    const std::vector<std::uint8_t> pattern = PatternFrame(cap);
    const std::int32_t image = tc::ImageSize(cap);
    // No buffer: the size of one sample buffer; that much: the frame, unmirrored.
    std::vector<std::uint8_t> first = GrabFrame(work);
    CHECK(static_cast<std::int32_t>(first.size()) >= image && SameBytes(first.data(), pattern));
    // A larger buffer: used as it is, only the frame's bytes written.
    std::vector<std::uint8_t> large(first.size() + 64, 0xA5);
    const auto big = work->Grab(large.data(), static_cast<std::int32_t>(large.size()));
    CHECK(big.outcome == capture::frame::FrameWork::GrabResult::kCopied &&
          big.size == static_cast<std::int32_t>(first.size()));
    CHECK(SameBytes(large.data(), pattern));
    CHECK(large.back() == 0xA5);
    // A smaller one: left alone, the size needed told.
    std::vector<std::uint8_t> small(16, 0x5A);
    const auto other = work->Grab(small.data(), static_cast<std::int32_t>(small.size()));
    CHECK(other.outcome == capture::frame::FrameWork::GrabResult::kTooSmall &&
          other.size == static_cast<std::int32_t>(first.size()));
    CHECK(small[0] == 0x5A && small[15] == 0x5A);

    // What the renderer received: mirrored when asked, else the pattern itself.
    CHECK(AwaitFrames(2));
    const std::vector<std::uint8_t> rendered = sink.Rendered();
    CHECK(rendered.size() >= pattern.size());
    if (rendered.size() >= pattern.size()) {
      const std::vector<std::uint8_t> expected = mirror ? MirroredFrame(cap) : pattern;
      CHECK(SameBytes(rendered.data(), expected));
      if (mirror) CHECK(!SameBytes(rendered.data(), pattern));
    }
  }

  // stop: everything released, the VideoFilter destroyed with its last reference.
  IBaseFilter* videoFilter = F(r.graph.frameFilter.get());
  if (videoFilter != nullptr) videoFilter->AddRef();
  core::CaptureGraph().Swap(r.graph);
  CHECK(RecordIdle(r));
  if (videoFilter != nullptr) CHECK(videoFilter->Release() == 0);
  CHECK(RefCount(F(g_camera)) == refs);
  // The camera stopped streaming with the graph.
  const LONG frames = FramesDelivered();
  Sleep(5 * tc::kFramePeriodMs);
  CHECK(FramesDelivered() == frames);
}

tc::SinkCreateFunction g_sinkCreate = nullptr;
tc::SinkFrameFunction g_sinkFrame = nullptr;

// A renderer that takes no foreign buffers: the VideoFilter copies each frame
// into the renderer's own buffers and mirrors the copy.
void StreamToOwnBuffers(int index) {
  const tc::Capability& cap = tc::kCameraCaps[index];
  win_checks::group = "streaming into a renderer's own buffers";
  const ULONG refs = RefCount(F(g_camera));
  IBaseFilter* sink = nullptr;
  CHECK(SUCCEEDED(g_sinkCreate(&sink)));
  if (sink == nullptr) return;
  core::DeviceRecord r;
  r.sourceFilter = g_camera;
  graph::HResult hr = 0;
  BuildSourcePart(r, index);
  CHECK_HR(hr = graph::AddFilter(r.graph.filterGraph.get(), H(sink), u"Sink"));
  const int site = BuildFilterPart(r, true, H(sink), nullptr, &hr);
  CHECK(site == 0);
  if (site != 0) Note("site %d failed with 0x%08lx", site, static_cast<unsigned long>(hr));
  if (site == 0) {
    CHECK(AwaitFrames(3));
    capture::frame::FrameWork* work = graph::FrameWorkOf(r.graph.frameFilter.get());
    const std::vector<std::uint8_t> grabbed = GrabFrame(work);
    CHECK(!grabbed.empty() && SameBytes(grabbed.data(), PatternFrame(cap)));
    CHECK(AwaitFrames(2));
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(tc::ImageSize(cap)) + 4096);
    LONG received = 0;
    const LONG n = g_sinkFrame(sink, frame.data(), static_cast<LONG>(frame.size()), &received);
    CHECK(received > 0);
    CHECK(n == tc::ImageSize(cap));
    CHECK(SameBytes(frame.data(), MirroredFrame(cap)));
  }
  core::CaptureGraph().Swap(r.graph);
  CHECK(RecordIdle(r));
  CHECK(sink->Release() == 0);
  CHECK(RefCount(F(g_camera)) == refs);
}

void TestStreaming() {
  if (g_camera == nullptr) return;
  StreamOnce(0, true);    // RGB24
  StreamOnce(0, false);   // RGB24 untouched
  StreamOnce(1, true);    // YUY2
  StreamOnce(4, true);    // I420
  StreamOnce(5, true);    // RGB32
  StreamToOwnBuffers(1);  // YUY2
}

void TestFormatChoice() {
  win_checks::group = "format choice";
  if (g_camera == nullptr) return;
  core::DeviceRecord r;
  r.sourceFilter = g_camera;
  CHECK(!core::BuildSourceGraph(r.graph, r.sourceFilter, site::kStartSourceGraph));
  // A capability the pin refuses fails SetFormat; its twin after it is taken.
  CHECK(ChooseFormat(r, 3) == E_FAIL);
  CHECK(ChooseFormat(r, 5) == S_OK);
  core::CaptureGraph().Swap(r.graph);
  CHECK(RecordIdle(r));
}

// ------------------------------------------------------------------ reports and painting

void TestReports(HWND canvas) {
  win_checks::group = "error reports";
  // A code DirectShow has no text for: "Unkown error" where the platform gives
  // none (Wine's AMGetErrorTextA makes up "Error: 0x..." instead); the caption
  // carries the site number and the canvas owns the box.
  const graph::HResult unknown = static_cast<graph::HResult>(0x8004FFF7);
  char text[160] = {};
  const std::uint32_t unknownLength = graph::GetErrorText(unknown, text, sizeof text);
  Note("AMGetErrorTextA(0x8004FFF7) gave %u characters: \"%s\"", unknownLength, text);
  Report report = ReportError(unknown, canvas, 324);
  CHECK(report.seen);
  CHECK(report.text == (unknownLength != 0 ? std::string(text, unknownLength) : std::string("Unkown error")));
  CHECK(report.owner == canvas);
  // A DirectShow code with text: the platform's text.
  const graph::HResult notConnected = graph::kVfwNotConnected;
  const std::uint32_t n = graph::GetErrorText(notConnected, text, sizeof text);
  report = ReportError(notConnected, canvas, 542);
  CHECK(report.seen);
  CHECK(report.text == (n != 0 ? std::string(text, n) : std::string("Unkown error")));
  Note("text of 0x80040209: \"%s\"", report.text.c_str());
}

void TestPaintBlack(HWND canvas) {
  win_checks::group = "paint black";
  core::DeviceRecord r;
  r.window = reinterpret_cast<graph::NativeWindow>(canvas);
  graph::Rect rect{};
  CHECK(graph::GetClientRect(r.window, &rect));
  CHECK(rect.right > 20 && rect.bottom > 20);
  // Idle device: paint fills the canvas black.
  core::paintCanvas(r.graph.windowlessControl.get(), r.window);
  GdiFlush();
  HDC dc = GetDC(canvas);
  const COLORREF middle = GetPixel(dc, rect.right / 2, rect.bottom / 2);
  const COLORREF corner = GetPixel(dc, 2, 2);
  ReleaseDC(canvas, dc);
  CHECK(middle == RGB(0, 0, 0));
  CHECK(corner == RGB(0, 0, 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: device_layer_test <test_camera.dll>\n");
    return 2;
  }
  graph::EnterComApartment();
  HMODULE camera = LoadLibraryA(argv[1]);
  if (camera == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 2;
  }
  g_stats =
      reinterpret_cast<tc::StatsFunction>(reinterpret_cast<void*>(GetProcAddress(camera, tc::kStatsExport)));
  g_sinkCreate = reinterpret_cast<tc::SinkCreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(camera, tc::kSinkCreateExport)));
  g_sinkFrame = reinterpret_cast<tc::SinkFrameFunction>(
      reinterpret_cast<void*>(GetProcAddress(camera, tc::kSinkFrameExport)));
  using Register = HRESULT(WINAPI*)();
  auto reg = reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(camera, "DllRegisterServer")));
  const HRESULT registered = reg != nullptr ? reg() : E_FAIL;
  if (g_stats == nullptr || g_sinkCreate == nullptr || g_sinkFrame == nullptr || FAILED(registered)) {
    std::fprintf(stderr, "test camera not registered: 0x%08lx\n", static_cast<unsigned long>(registered));
    return 2;
  }
  CanvasThread canvasThread("ZavCanvas");
  HWND canvas = canvasThread.window();

  TestListing();
  TestFormats();
  TestFormatChoice();
  TestStreaming();
  TestRendererStart(canvas);
  TestReports(canvas);
  TestPaintBlack(canvas);

  win_checks::group = "teardown";
  if (g_camera != nullptr) CHECK(F(g_camera)->Release() == 0);
  if (g_cameraV2 != nullptr) CHECK(F(g_cameraV2)->Release() == 0);
  CHECK(LiveCameraFilters() == 0);

  return win_checks::Summary();
}
