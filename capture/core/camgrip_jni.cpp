// The ten native methods of lumotool.camgripper.CaptureDevice.
//
// None of them throws: a Java caller sees failure as false or null. When a Java
// method the library calls throws (a constructor, getWidth, getSubType, getBuf,
// ArrayList.add), the native method stops there, leaves the exception pending,
// releases what it built as for a failed step and makes no further JNI call. A
// C++ exception (an allocation that failed) ends the method as a failure too.
//
// Each method: find the device, take what it needs of the record, make its calls
// into the graph layer with no lock held (a graph-changing call holds its turn),
// convert the result for Java.
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "capture/core/capabilities.h"
#include "capture/core/canvas_video.h"
#include "capture/core/device.h"
#include "capture/core/graph_build.h"
#include "capture/core/java_objects.h"
#include "capture/core/sites.h"
#include "capture/frame/frame_work.h"
#include "capture/graph/graph_api.h"
#include "capture/graph/graph_ref.h"
#include "common/jni/jni_frame.h"
#include "common/jni/jni_native.h"

namespace graph = capture::graph;
namespace site = capture::core::site;
using capture::core::CaptureGraph;
using capture::core::Device;
using capture::core::DeviceTurn;
using capture::core::EnterCom;
using capture::core::Visit;
using capture::core::WalkEnd;
using zav::jni::LocalRef;

namespace {

// The frame of every method: a C++ exception that escapes its body makes it
// return false or null, with nothing raised in Java.
template <typename Body>
auto Native(Body&& body) noexcept -> decltype(body()) {
  return zav::jni::Guarded(body, [](zav::jni::Escape) {});
}

// Reports a failed graph step once the turn is given up: the report may wait for
// the user for as long as they like.
void ReportAfterTurn(DeviceTurn& turn, graph::HResult hr, graph::NativeWindow window, int siteNumber)
    RELEASE(turn) {
  turn.unlock();
  capture::core::showGraphError(hr, window, siteNumber);
}

struct ListedFormat {
  std::int32_t width;
  std::int32_t height;
  graph::Guid subtype;
};

// The handles one listing registers: unregistered and their references released
// when the listing does not succeed, whichever way it ends.
class HandedOut {
 public:
  HandedOut() = default;
  HandedOut(const HandedOut&) = delete;
  HandedOut& operator=(const HandedOut&) = delete;
  ~HandedOut() {
    for (std::int32_t handle : handles_) {
      graph::Ref<graph::Filter> dropped = capture::core::UnregisterSourceFilter(handle);
    }
  }
  std::int32_t Register(graph::Ref<graph::Filter> source) {
    handles_.reserve(handles_.size() + 1);  // may throw: before the handle exists
    const std::int32_t handle = capture::core::RegisterSourceFilter(std::move(source));
    handles_.push_back(handle);
    return handle;
  }
  void Keep() { handles_.clear(); }

 private:
  std::vector<std::int32_t> handles_;
};

// Drops what a graph-changing call built and did not publish (before a report
// that may wait for the user).
void Drop(CaptureGraph& built) {
  CaptureGraph gone;
  gone.Swap(built);
}

}  // namespace

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_enumDevices(JNIEnv* env, jobject) {
  return Native([&]() -> jobject {
    EnterCom();
    // What the lists before this one handed out and the client dropped goes first.
    capture::core::ReleaseDroppedDevices(env);
    capture::core::JavaList list;
    if (!list.LookUp(env)) return nullptr;
    auto deviceClass = zav::jni::FindClass(env, capture::core::kDeviceClass, zav::jni::OnMissing::kClear);
    if (!deviceClass) return nullptr;
    jmethodID deviceInit = zav::jni::MethodId(env, deviceClass.get(), "<init>",
                                              "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V",
                                              zav::jni::OnMissing::kClear);
    if (deviceInit == nullptr || !list.Create(env)) return nullptr;

    graph::Ref<graph::DeviceEnum> devEnum;
    if (graph::Failed(graph::CreateSystemDeviceEnum(devEnum.receive())) || !devEnum) return list.Detach();
    graph::Ref<graph::MonikerEnum> monikers;
    if (graph::Failed(graph::CreateVideoInputEnum(devEnum.get(), monikers.receive())) || !monikers) {
      return list.Detach();
    }
    // Every handle this listing hands out goes back unless the listing succeeds.
    HandedOut handed;
    bool javaFailed = false;
    graph::Ref<graph::Moniker> moniker;
    while (!javaFailed && graph::NextMoniker(monikers.get(), moniker.receive()) == graph::kOk && moniker) {
      graph::Ref<graph::PropertyBag> bag;
      if (graph::Failed(graph::BindToPropertyBag(moniker.get(), bag.receive())) || !bag) continue;
      // Read in this order; passed to the constructor as name, description, path.
      LocalRef<jstring> description(env, capture::core::ReadProperty(env, bag.get(), u"Description"));
      javaFailed = env->ExceptionCheck();
      LocalRef<jstring> name(
          env, javaFailed ? nullptr : capture::core::ReadProperty(env, bag.get(), u"FriendlyName"));
      javaFailed = javaFailed || env->ExceptionCheck();
      LocalRef<jstring> path(
          env, javaFailed ? nullptr : capture::core::ReadProperty(env, bag.get(), u"DevicePath"));
      javaFailed = javaFailed || env->ExceptionCheck();
      graph::Ref<graph::Filter> source;
      if (!javaFailed && graph::Succeeded(graph::BindToFilter(moniker.get(), source.receive())) && source) {
        const std::int32_t handle = handed.Register(std::move(source));  // the handle holds it now
        LocalRef<jobject> device(
            env, env->NewObject(deviceClass.get(), deviceInit, name.get(), description.get(), path.get(),
                                static_cast<jint>(handle)));
        javaFailed = env->ExceptionCheck() || !capture::core::TieToDevice(env, handle, device.get()) ||
                     !list.Add(env, device.get());
      }
    }
    if (javaFailed) return nullptr;
    handed.Keep();
    return list.Detach();
  });
}

// start on a running device keeps its graph when the client asks for what it runs
// (no format, or one its frames match, and the same mirroring), and builds it anew
// for anything else. It is false when a stop or destroy left to it ran as its turn
// ended: the device is then not running. A canvas without a window (not shown yet,
// or taken out of its container) does not keep the camera from running: grab has
// its frames, and the video goes into the window the canvas gets, at its next
// paint or setBounds.
ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_start(JNIEnv* env, jobject self, jobject format,
                                                                 jboolean mirror) {
  return Native([&]() -> jboolean {
    Device device = Device::FindToStart(env, self);
    DeviceTurn turn = device ? device.LiveTurn() : DeviceTurn();
    if (!turn) return JNI_FALSE;
    turn.AssertHeld();
    capture::core::NoteStarted(device.handle());
    EnterCom();
    // Called during the turn, which it gives up.
    const auto runs = [&] {
      turn.AssertHeld();
      return turn.unlock() ? JNI_FALSE : JNI_TRUE;
    };
    if (device.Running()) {
      bool same = false;
      {
        graph::Ref<graph::Filter> filter = device.FrameFilter();
        capture::frame::FrameWork* work = filter ? graph::FrameWorkOf(filter.get()) : nullptr;
        if (work != nullptr &&
            !capture::core::AsksFor(env, format, work->subtype(), work->width(), work->height(), &same)) {
          return JNI_FALSE;  // the client's format threw
        }
        same = same && work != nullptr && work->mirror() == (mirror == JNI_TRUE);
      }
      if (same) {
        device.FollowWindow();
        return runs();
      }
      device.DropGraph(turn);
    }
    const graph::NativeWindow window = device.Window();
    CaptureGraph built;
    if (auto failure =
            capture::core::BuildGraph(env, built, device.SourceFilter(), window, format, mirror == 1)) {
      Drop(built);
      if (failure->site != capture::core::GraphFailure::kNotReported) {
        ReportAfterTurn(turn, failure->hr, window, failure->site);
      }
      return JNI_FALSE;
    }
    if (!device.Publish(turn, built)) return JNI_FALSE;
    // The device runs from here on, and start says so whatever the fit does.
    try {
      device.FitVideo();
    } catch (...) {
    }
    return runs();
  });
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_stop(JNIEnv* env, jobject self) {
  return Native([&]() -> jboolean {
    Device device = Device::Find(env, self);
    if (!device) return JNI_FALSE;
    // Done now, or by the call that holds the turn when that ends.
    return device.TearDown(Device::TearDownKind::kStop) != Device::TearDownEnd::kRefused ? JNI_TRUE
                                                                                         : JNI_FALSE;
  });
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_isRunning(JNIEnv* env, jobject self) {
  return Native([&]() -> jboolean {
    Device device = Device::Find(env, self);
    return device && device.Running() ? JNI_TRUE : JNI_FALSE;
  });
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_destroy(JNIEnv* env, jobject self) {
  return Native([&]() -> jboolean {
    // A device listed and never shown is released too.
    Device device = Device::FindListed(env, self);
    if (!device || device.TearDown(Device::TearDownKind::kDestroy) == Device::TearDownEnd::kRefused) {
      return JNI_FALSE;
    }
    auto deviceClass = zav::jni::FindClass(env, capture::core::kDeviceClass, zav::jni::OnMissing::kClear);
    if (!deviceClass) return JNI_TRUE;
    jfieldID field =
        zav::jni::FieldId(env, deviceClass.get(), "pSrcFilter", "I", zav::jni::OnMissing::kClear);
    if (field == nullptr) return JNI_TRUE;
    env->SetIntField(self, field, 0);
    return JNI_TRUE;
  });
}

ZAV_NATIVE void Java_lumotool_camgripper_CaptureDevice_setBounds(JNIEnv* env, jobject self, jint x, jint y,
                                                                 jint width, jint height) {
  Native([&] {
    if (Device device = Device::FindShown(env, self)) {
      // The renderer works in the window's device pixels; the bounds are the
      // canvas's logical ones (150 % or 200 % display scaling, sun.java2d.uiScale).
      double scaleX = 1.0, scaleY = 1.0;
      if (!capture::core::CanvasScale(env, self, &scaleX, &scaleY)) return;
      device.NoteBounds(static_cast<std::int32_t>(std::lround(width * scaleX)),
                        static_cast<std::int32_t>(std::lround(height * scaleY)));
      if (device.Window() != 0) {
        device.FollowWindow();
        device.FitVideo();
      }
    }
    if (env->ExceptionCheck()) return;
    // The canvas's own method, which can only run on a Canvas.
    auto canvasClass = zav::jni::FindClass(env, "java/awt/Canvas", zav::jni::OnMissing::kClear);
    if (!canvasClass) return;
    jmethodID setBounds =
        zav::jni::MethodId(env, canvasClass.get(), "setBounds", "(IIII)V", zav::jni::OnMissing::kClear);
    if (setBounds == nullptr || !env->IsInstanceOf(self, canvasClass.get())) return;
    env->CallNonvirtualVoidMethod(self, canvasClass.get(), setBounds, x, y, width, height);
  });
}

ZAV_NATIVE void Java_lumotool_camgripper_CaptureDevice_paint(JNIEnv* env, jobject self, jobject) {
  Native([&] {
    Device device = Device::FindShown(env, self);
    // Nothing is drawn into a window the canvas no longer has.
    if (!device || device.Window() == 0 || device.Destroyed()) return;
    device.FollowWindow();
    capture::core::paintCanvas(device.WindowlessControl().get(), device.Window());
  });
}

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_getFormat(JNIEnv* env, jobject self) {
  return Native([&]() -> jobject {
    Device device = Device::Find(env, self);
    if (!device) return nullptr;
    ListedFormat current{};
    {
      graph::Ref<graph::Filter> filter = device.FrameFilter();
      capture::frame::FrameWork* work = filter ? graph::FrameWorkOf(filter.get()) : nullptr;
      if (work == nullptr) return nullptr;
      current = ListedFormat{work->width(), work->height(), work->subtype()};
    }
    capture::core::FormatMaker maker;
    if (!maker.LookUp(env)) return nullptr;
    return maker.Make(env, current.width, current.height, current.subtype).detach();
  });
}

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_queryFormats(JNIEnv* env, jobject self) {
  return Native([&]() -> jobject {
    // The canvas's window, where it has one now, owns the error reports.
    Device device = Device::FindShown(env, self);
    if (!device) return nullptr;
    capture::core::JavaList list;
    capture::core::FormatMaker maker;
    if (!list.LookUp(env) || !maker.LookUp(env) || !list.Create(env)) return nullptr;

    std::vector<ListedFormat> formats;
    {
      DeviceTurn turn = device.LiveTurn();
      if (!turn) return nullptr;
      turn.AssertHeld();
      EnterCom();
      // A running device is asked through its own graph; an idle one through a
      // graph made for the question and dropped after it.
      CaptureGraph temporary;
      graph::Filter* source = device.SourceFilter();
      const graph::NativeWindow window = device.Window();
      graph::Builder* builder = device.Builder(turn);
      auto fail = [&](graph::HResult hr, int failedSite) -> jobject {
        turn.AssertHeld();  // called during the turn, which it gives up
        Drop(temporary);
        ReportAfterTurn(turn, hr, window, failedSite);
        return nullptr;
      };
      if (builder == nullptr) {
        if (auto failure = capture::core::BuildSourceGraph(temporary, source, site::kQuerySourceGraph)) {
          return fail(failure->hr, failure->site);
        }
        builder = temporary.builder.get();
      }
      const WalkEnd end = capture::core::WalkCapabilities(
          builder, source,
          [&](graph::StreamConfig*, graph::MediaType* type, const graph::VideoInfoHeader* info) {
            formats.push_back(ListedFormat{info->bmiHeader.biWidth, info->bmiHeader.biHeight, type->subtype});
            return Visit::kNext;
          });
      if (end.kind == WalkEnd::kNoConfig) return fail(end.hr, site::kQueryStreamConfig);
      if (end.kind == WalkEnd::kBadCapsSize) return fail(end.hr, site::kQueryCapsSize);
    }
    // The client's constructors run with no turn held.
    for (const ListedFormat& f : formats) {
      LocalRef<jobject> format = maker.Make(env, f.width, f.height, f.subtype);
      if (!format || !list.Add(env, format.get())) return nullptr;
    }
    return list.Detach();
  });
}

// The frame goes into the client's buffer when that can hold it, else into a new
// one the JVM owns (and frees with it): sized by the frame before, and made again
// should the frame have grown meanwhile.
ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_grab(JNIEnv* env, jobject self, jobject buffer) {
  return Native([&]() -> jobject {
    using capture::frame::FrameWork;
    Device device = Device::Find(env, self);
    if (!device) return nullptr;
    // A read-only or non-direct buffer is no buffer to write into: a new one is made.
    std::uint8_t* address = nullptr;
    std::int32_t capacity = 0;
    if (!capture::core::WritableBuffer(env, buffer, &address, &capacity)) return nullptr;
    capture::core::DirectBuffers buffers;
    LocalRef<jobject> made;
    auto makeBuffer = [&](std::int32_t size) {
      if (!buffers.LookUp(env)) return false;
      made = buffers.Make(env, size, &address);
      capacity = size;
      return static_cast<bool>(made);
    };
    // The filter stays alive while this thread waits on it, whatever another
    // thread does to the device meanwhile; a stop or destroy wakes the wait.
    graph::Ref<graph::Filter> filter = device.FrameFilter();
    FrameWork* work = filter ? graph::FrameWorkOf(filter.get()) : nullptr;
    if (work == nullptr) return nullptr;
    const std::int32_t expected = work->lastSampleSize();
    if (address != nullptr && capacity < expected) address = nullptr;
    if (address == nullptr && expected > 0 && !makeBuffer(expected)) return nullptr;
    for (int round = 0; round < 3; ++round) {
      const FrameWork::GrabResult result = work->Grab(address, capacity);
      if (result.outcome == FrameWork::GrabResult::kCopied) return made ? made.detach() : buffer;
      if (result.outcome != FrameWork::GrabResult::kTooSmall || !makeBuffer(result.size)) return nullptr;
    }
    return nullptr;
  });
}
