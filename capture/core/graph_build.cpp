#include "capture/core/graph_build.h"

#include <cstring>

#include "capture/core/capabilities.h"
#include "capture/core/java_objects.h"
#include "capture/core/sites.h"
#include "common/jni/jni_frame.h"

namespace capture::core {

namespace {

using zav::jni::LocalRef;

enum class Choice { kChosen, kNoMatch, kFailedSite, kJavaException };

// The GUID of the client's format matches `subtype` (a null GUID matches any).
// False with an exception pending when a Java call threw.
bool SubtypeMatches(JNIEnv* env, jobject format, const FormatQuestions& ask, const graph::Guid& subtype,
                    bool* same) {
  LocalRef<jobject> guid(env, env->CallObjectMethod(format, ask.getSubType));
  if (env->ExceptionCheck()) return false;
  if (!guid) {
    *same = true;
    return true;
  }
  LocalRef<jobject> buffer(env, env->CallObjectMethod(guid.get(), ask.getBuf));
  if (env->ExceptionCheck()) return false;
  *same = false;
  if (buffer) {
    const void* address = env->GetDirectBufferAddress(buffer.get());
    // A buffer shorter than a GUID cannot hold one: never read past it.
    const jlong capacity = env->GetDirectBufferCapacity(buffer.get());
    *same = address != nullptr && capacity >= static_cast<jlong>(sizeof(graph::Guid)) &&
            std::memcmp(address, &subtype, sizeof(graph::Guid)) == 0;
  }
  return true;
}

// Whether `format` asks for a frame of `subtype`, width x height: its subtype (a
// null GUID matches any), then its width, then its height (0 matches any), asked
// in this order. False with an exception pending when a Java call threw.
bool Matches(JNIEnv* env, jobject format, const FormatQuestions& ask, const graph::Guid& subtype,
             std::int32_t width, std::int32_t height, bool* same) {
  if (!SubtypeMatches(env, format, ask, subtype, same)) return false;
  if (!*same) return true;
  const jint wanted = env->CallIntMethod(format, ask.getWidth);
  if (env->ExceptionCheck()) return false;
  *same = wanted == 0 || wanted == width;
  if (!*same) return true;
  const jint wantedHeight = env->CallIntMethod(format, ask.getHeight);
  if (env->ExceptionCheck()) return false;
  *same = wantedHeight == 0 || wantedHeight == height;
  return true;
}

// Picks the first capture capability that matches `format` and that the pin
// accepts; the client's format is asked anew for each candidate. kFailedSite
// reports *site and *hr to the caller.
Choice ChooseCaptureFormat(JNIEnv* env, CaptureGraph& built, graph::Filter* source, jobject format,
                           int* siteNumber, graph::HResult* hr) {
  FormatQuestions ask;
  if (!ask.LookUp(env)) return Choice::kJavaException;
  Choice choice = Choice::kNoMatch;
  const WalkEnd end = WalkCapabilities(
      built.builder.get(), source,
      [&](graph::StreamConfig* config, graph::MediaType* type, const graph::VideoInfoHeader* info) {
        bool same = false;
        if (!Matches(env, format, ask, type->subtype, info->bmiHeader.biWidth, info->bmiHeader.biHeight,
                     &same)) {
          choice = Choice::kJavaException;
          return Visit::kStop;
        }
        if (!same) return Visit::kNext;
        if (graph::Failed(graph::SetFormat(config, type))) return Visit::kNext;
        choice = Choice::kChosen;
        return Visit::kStop;
      });
  switch (end.kind) {
    case WalkEnd::kNoConfig:
      *hr = end.hr;
      *siteNumber = site::kStartStreamConfig;
      return Choice::kFailedSite;
    case WalkEnd::kBadCapsSize:
      *hr = end.hr;
      *siteNumber = site::kStartCapsSize;
      return Choice::kFailedSite;
    default:
      return choice;
  }
}

}  // namespace

bool AsksFor(JNIEnv* env, jobject format, const graph::Guid& subtype, std::int32_t width, std::int32_t height,
             bool* same) {
  *same = true;
  if (format == nullptr) return true;
  FormatQuestions ask;
  if (!ask.LookUp(env)) {
    *same = false;
    return true;
  }
  return Matches(env, format, ask, subtype, width, height, same);
}

std::optional<GraphFailure> BuildSourceGraph(CaptureGraph& b, graph::Filter* source,
                                             const site::SourceGraphSites& sites) {
  graph::HResult hr = graph::kOk;
  if (graph::Failed(hr = graph::CreateCaptureGraphBuilder(b.builder.receive()))) {
    return GraphFailure{sites.builder, hr};
  }
  if (graph::Failed(hr = graph::CreateFilterGraph(b.filterGraph.receive())))
    return GraphFailure{sites.graph, hr};
  if (graph::Failed(hr = graph::AddFilter(b.filterGraph.get(), source, nullptr))) {
    return GraphFailure{sites.addSource, hr};
  }
  if (graph::Failed(hr = graph::SetFiltergraph(b.builder.get(), b.filterGraph.get()))) {
    return GraphFailure{sites.setFiltergraph, hr};
  }
  return std::nullopt;
}

namespace {

// The step at `siteNumber` failed unless `hr` is a success.
std::optional<GraphFailure> Step(graph::HResult hr, int siteNumber) {
  if (graph::Failed(hr)) return GraphFailure{siteNumber, hr};
  return std::nullopt;
}

// The renderer in windowless mode, drawing into `window`, added to the graph.
std::optional<GraphFailure> AddRenderer(graph::Graph* filterGraph, graph::NativeWindow window,
                                        RendererParts& r) {
  if (auto failure = Step(graph::CreateVideoRenderer(r.renderer.receive()), site::kStartRenderer))
    return failure;
  if (auto failure =
          Step(graph::AddFilter(filterGraph, r.renderer.get(), nullptr), site::kStartAddRenderer)) {
    return failure;
  }
  if (auto failure = Step(graph::QueryRendererConfig(r.renderer.get(), r.rendererConfig.receive()),
                          site::kStartRendererConfig)) {
    return failure;
  }
  if (auto failure = Step(graph::SetRenderingMode(r.rendererConfig.get(), graph::kVmrModeWindowless),
                          site::kStartRenderingMode)) {
    return failure;
  }
  if (auto failure = Step(graph::QueryWindowlessControl(r.renderer.get(), r.windowlessControl.receive()),
                          site::kStartWindowlessControl)) {
    return failure;
  }
  return Step(graph::SetVideoClippingWindow(r.windowlessControl.get(), window), site::kStartClippingWindow);
}

std::optional<GraphFailure> RenderFrames(graph::Builder* builder, graph::Filter* frameFilter,
                                         graph::Filter* renderer) {
  return Step(graph::RenderStream(builder, nullptr, &graph::kMediaTypeVideo, frameFilter, nullptr, renderer),
              site::kStartRenderStream);
}

void Take(CaptureGraph& b, RendererParts& r) {
  std::swap(b.renderer, r.renderer);
  std::swap(b.windowlessControl, r.windowlessControl);
  std::swap(b.rendererConfig, r.rendererConfig);
}

}  // namespace

std::optional<GraphFailure> BuildGraph(JNIEnv* env, CaptureGraph& b, graph::Filter* source,
                                       graph::NativeWindow window, jobject format, bool mirror) {
  if (auto failure = BuildSourceGraph(b, source, site::kStartSourceGraph)) return failure;
  graph::HResult hr = graph::kOk;
  auto step = [&](int siteNumber) { return Step(hr, siteNumber); };
  // A renderer cannot be built without a window to draw into: a graph built
  // before its canvas has one runs to the frame filter, and gets its renderer when
  // the window comes (AttachRenderer).
  if (window != 0) {
    RendererParts parts;
    std::optional<GraphFailure> failure = AddRenderer(b.filterGraph.get(), window, parts);
    Take(b, parts);  // what was built goes with the graph, failed or not
    if (failure) return failure;
  }
  if (format != nullptr) {
    int failedSite = 0;
    switch (ChooseCaptureFormat(env, b, source, format, &failedSite, &hr)) {
      case Choice::kChosen:
        break;
      case Choice::kFailedSite:
        return GraphFailure{failedSite, hr};
      case Choice::kNoMatch:
      case Choice::kJavaException:
        return GraphFailure{GraphFailure::kNotReported, hr};
    }
  }
  hr = graph::CreateVideoFilter(mirror, b.frameFilter.receive());
  if (auto failure = step(site::kStartVideoFilter)) return failure;
  hr = graph::AddFilter(b.filterGraph.get(), b.frameFilter.get(), u"VideoFilter");
  if (auto failure = step(site::kStartAddVideoFilter)) return failure;
  graph::Ref<graph::Pin> capturePin;
  hr = graph::FindPin(b.builder.get(), source, graph::PinDirection::kOutput, &graph::kPinCategoryCapture,
                      nullptr, false, 0, capturePin.receive());
  if (auto failure = step(site::kStartCapturePin)) return failure;
  graph::Ref<graph::Pin> inputPin;
  hr = graph::FindPin(b.builder.get(), b.frameFilter.get(), graph::PinDirection::kInput, nullptr, nullptr,
                      false, 0, inputPin.receive());
  if (auto failure = step(site::kStartFilterInputPin)) return failure;
  hr = graph::ConnectDirect(b.filterGraph.get(), capturePin.get(), inputPin.get(), nullptr);
  if (auto failure = step(site::kStartConnect)) return failure;
  if (b.renderer) {
    if (auto failure = RenderFrames(b.builder.get(), b.frameFilter.get(), b.renderer.get())) return failure;
  }
  hr = graph::QueryMediaControl(b.filterGraph.get(), b.mediaControl.receive());
  if (auto failure = step(site::kStartMediaControl)) return failure;
  hr = graph::Run(b.mediaControl.get());
  return step(site::kStartRun);
}

std::optional<GraphFailure> AttachRenderer(const CaptureGraph& running, graph::NativeWindow window,
                                           RendererParts& parts) {
  if (auto failure = Step(graph::Stop(running.mediaControl.get()), site::kStartRun)) return failure;
  std::optional<GraphFailure> failure = AddRenderer(running.filterGraph.get(), window, parts);
  if (!failure)
    failure = RenderFrames(running.builder.get(), running.frameFilter.get(), parts.renderer.get());
  // Without its renderer, the graph runs on as it ran.
  if (auto run = Step(graph::Run(running.mediaControl.get()), site::kStartRun)) return run;
  return failure;
}

}  // namespace capture::core
