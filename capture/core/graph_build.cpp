#include "core/graph_build.h"

#include <cstring>

#include "core/capabilities.h"
#include "core/java_objects.h"
#include "core/sites.h"
#include "jni_frame.h"

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

std::optional<GraphFailure> BuildGraph(JNIEnv* env, CaptureGraph& b, graph::Filter* source,
                                       graph::NativeWindow window, jobject format, bool mirror) {
  if (auto failure = BuildSourceGraph(b, source, site::kStartSourceGraph)) return failure;
  graph::HResult hr = graph::kOk;
  // The step at `siteNumber` failed unless `hr` is a success.
  auto step = [&](int siteNumber) -> std::optional<GraphFailure> {
    if (graph::Failed(hr)) return GraphFailure{siteNumber, hr};
    return std::nullopt;
  };
  graph::Ref<graph::Filter>& renderer = b.renderer;
  hr = graph::CreateVideoRenderer(renderer.receive());
  if (auto failure = step(site::kStartRenderer)) return failure;
  hr = graph::AddFilter(b.filterGraph.get(), renderer.get(), nullptr);
  if (auto failure = step(site::kStartAddRenderer)) return failure;
  hr = graph::QueryRendererConfig(renderer.get(), b.rendererConfig.receive());
  if (auto failure = step(site::kStartRendererConfig)) return failure;
  hr = graph::SetRenderingMode(b.rendererConfig.get(), graph::kVmrModeWindowless);
  if (auto failure = step(site::kStartRenderingMode)) return failure;
  hr = graph::QueryWindowlessControl(renderer.get(), b.windowlessControl.receive());
  if (auto failure = step(site::kStartWindowlessControl)) return failure;
  hr = graph::SetVideoClippingWindow(b.windowlessControl.get(), window);
  if (auto failure = step(site::kStartClippingWindow)) return failure;
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
  hr = graph::RenderStream(b.builder.get(), nullptr, &graph::kMediaTypeVideo, b.frameFilter.get(), nullptr,
                           renderer.get());
  if (auto failure = step(site::kStartRenderStream)) return failure;
  hr = graph::QueryMediaControl(b.filterGraph.get(), b.mediaControl.receive());
  if (auto failure = step(site::kStartMediaControl)) return failure;
  hr = graph::Run(b.mediaControl.get());
  return step(site::kStartRun);
}

}  // namespace capture::core
