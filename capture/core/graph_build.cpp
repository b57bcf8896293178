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

// Picks the first capture capability that matches `format` and that the pin
// accepts; the client's format is asked anew for each candidate (subtype, then
// width, then height). kFailedSite reports *site and *hr to the caller.
Choice ChooseCaptureFormat(JNIEnv* env, CaptureGraph& built, graph::Filter* source, jobject format,
                           int* siteNumber, graph::HResult* hr) {
  FormatQuestions ask;
  if (!ask.LookUp(env)) return Choice::kJavaException;
  Choice choice = Choice::kNoMatch;
  const WalkEnd end = WalkCapabilities(
      built.builder.get(), source,
      [&](graph::StreamConfig* config, graph::MediaType* type, const graph::VideoInfoHeader* info) {
        bool same = false;
        if (!SubtypeMatches(env, format, ask, type->subtype, &same)) {
          choice = Choice::kJavaException;
          return Visit::kStop;
        }
        if (!same) return Visit::kNext;
        const jint width = env->CallIntMethod(format, ask.getWidth);
        if (env->ExceptionCheck()) {
          choice = Choice::kJavaException;
          return Visit::kStop;
        }
        if (width != 0 && width != info->bmiHeader.biWidth) return Visit::kNext;
        const jint height = env->CallIntMethod(format, ask.getHeight);
        if (env->ExceptionCheck()) {
          choice = Choice::kJavaException;
          return Visit::kStop;
        }
        if (height != 0 && height != info->bmiHeader.biHeight) return Visit::kNext;
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

int BuildGraph(JNIEnv* env, CaptureGraph& b, graph::Filter* source, graph::NativeWindow window,
               jobject format, bool mirror, graph::HResult* hr) {
  if (graph::Failed(*hr = graph::CreateCaptureGraphBuilder(b.builder.receive()))) return site::kStartBuilder;
  if (graph::Failed(*hr = graph::CreateFilterGraph(b.filterGraph.receive()))) return site::kStartGraph;
  if (graph::Failed(*hr = graph::AddFilter(b.filterGraph.get(), source, nullptr)))
    return site::kStartAddSource;
  if (graph::Failed(*hr = graph::SetFiltergraph(b.builder.get(), b.filterGraph.get()))) {
    return site::kStartSetFiltergraph;
  }
  graph::Ref<graph::Filter>& renderer = b.renderer;
  if (graph::Failed(*hr = graph::CreateVideoRenderer(renderer.receive()))) return site::kStartRenderer;
  if (graph::Failed(*hr = graph::AddFilter(b.filterGraph.get(), renderer.get(), nullptr))) {
    return site::kStartAddRenderer;
  }
  if (graph::Failed(*hr = graph::QueryRendererConfig(renderer.get(), b.rendererConfig.receive()))) {
    return site::kStartRendererConfig;
  }
  if (graph::Failed(*hr = graph::SetRenderingMode(b.rendererConfig.get(), graph::kVmrModeWindowless))) {
    return site::kStartRenderingMode;
  }
  if (graph::Failed(*hr = graph::QueryWindowlessControl(renderer.get(), b.windowlessControl.receive()))) {
    return site::kStartWindowlessControl;
  }
  if (graph::Failed(*hr = graph::SetVideoClippingWindow(b.windowlessControl.get(), window))) {
    return site::kStartClippingWindow;
  }
  if (format != nullptr) {
    int failedSite = 0;
    switch (ChooseCaptureFormat(env, b, source, format, &failedSite, hr)) {
      case Choice::kChosen:
        break;
      case Choice::kFailedSite:
        return failedSite;
      case Choice::kNoMatch:
      case Choice::kJavaException:
        return -1;
    }
  }
  if (graph::Failed(*hr = graph::CreateVideoFilter(mirror, b.frameFilter.receive()))) {
    return site::kStartVideoFilter;
  }
  if (graph::Failed(*hr = graph::AddFilter(b.filterGraph.get(), b.frameFilter.get(), u"VideoFilter"))) {
    return site::kStartAddVideoFilter;
  }
  graph::Ref<graph::Pin> capturePin;
  *hr = graph::FindPin(b.builder.get(), source, graph::PinDirection::kOutput, &graph::kPinCategoryCapture,
                       nullptr, false, 0, capturePin.receive());
  if (graph::Failed(*hr)) return site::kStartCapturePin;
  graph::Ref<graph::Pin> inputPin;
  *hr = graph::FindPin(b.builder.get(), b.frameFilter.get(), graph::PinDirection::kInput, nullptr, nullptr,
                       false, 0, inputPin.receive());
  if (graph::Failed(*hr)) return site::kStartFilterInputPin;
  *hr = graph::ConnectDirect(b.filterGraph.get(), capturePin.get(), inputPin.get(), nullptr);
  if (graph::Failed(*hr)) return site::kStartConnect;
  *hr = graph::RenderStream(b.builder.get(), nullptr, &graph::kMediaTypeVideo, b.frameFilter.get(), nullptr,
                            renderer.get());
  if (graph::Failed(*hr)) return site::kStartRenderStream;
  if (graph::Failed(*hr = graph::QueryMediaControl(b.filterGraph.get(), b.mediaControl.receive()))) {
    return site::kStartMediaControl;
  }
  if (graph::Failed(*hr = graph::Run(b.mediaControl.get()))) return site::kStartRun;
  return 0;
}

}  // namespace capture::core
