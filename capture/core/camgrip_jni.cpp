// The ten native methods of lumotool.camgripper.CaptureDevice.
//
// None of them throws: a Java caller sees failure as false or null. When a Java
// method the library calls throws (a constructor, getWidth, getSubType, getBuf,
// ArrayList.add), the native method stops there, leaves the exception pending,
// releases what it built as for a failed step and makes no further JNI call.
#include "jni_native.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/device.h"
#include "frame/frame_work.h"
#include "graph/graph_api.h"

using capture::core::DeviceRecord;
using capture::core::LockedRecord;
using capture::core::LookupFailed;
using capture::core::lockDeviceRecord;
using capture::core::fitVideoToCanvas;
using capture::core::releaseGraph;
using capture::core::showGraphError;
namespace graph = capture::graph;

namespace {

const char kDeviceClass[] = "lumotool/camgripper/CaptureDevice";
const char kFormatClass[] = "lumotool/camgripper/VideoFormat";
const char kGuidClass[] = "lumotool/camgripper/GUID";

bool g_comInitialized = false;

// A local class reference that is dropped at scope end.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject object) : env_(env), object_(object) {}
  ~LocalRef() {
    if (object_ != nullptr) {
      env_->DeleteLocalRef(object_);
    }
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  jobject get() const { return object_; }
  jclass cls() const { return static_cast<jclass>(object_); }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  JNIEnv* env_;
  jobject object_;
};

// The GUID class with its constructor, and VideoFormat with its constructor.
struct FormatClasses {
  jclass guidClass = nullptr;
  jmethodID guidInit = nullptr;
  jclass formatClass = nullptr;
  jmethodID formatInit = nullptr;
};

bool LookUpFormatClasses(JNIEnv* env, FormatClasses* classes) {
  classes->formatClass = env->FindClass(kFormatClass);
  if (LookupFailed(env, classes->formatClass)) {
    return false;
  }
  classes->formatInit = env->GetMethodID(classes->formatClass, "<init>", "(IILlumotool/camgripper/GUID;)V");
  if (LookupFailed(env, classes->formatInit)) {
    return false;
  }
  classes->guidClass = env->FindClass(kGuidClass);
  if (LookupFailed(env, classes->guidClass)) {
    return false;
  }
  classes->guidInit = env->GetMethodID(classes->guidClass, "<init>", "(Ljava/nio/ByteBuffer;)V");
  return !LookupFailed(env, classes->guidInit);
}

void DropFormatClasses(JNIEnv* env, const FormatClasses& classes) {
  if (classes.formatClass != nullptr) {
    env->DeleteLocalRef(classes.formatClass);
  }
  if (classes.guidClass != nullptr) {
    env->DeleteLocalRef(classes.guidClass);
  }
}

// A GUID object over a new 16-byte block holding `subtype`. The block lives as
// long as the process: the Java object may read it at any time.
jobject makeGuidObject(JNIEnv* env, const FormatClasses& classes, const graph::Guid& subtype) {
  auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(graph::Guid)));
  if (block == nullptr) {
    return nullptr;
  }
  std::memcpy(block, &subtype, sizeof(graph::Guid));
  jobject buffer = env->NewDirectByteBuffer(block, sizeof(graph::Guid));
  if (buffer == nullptr || env->ExceptionCheck()) {
    std::free(block);
    return nullptr;
  }
  jobject guid = env->NewObject(classes.guidClass, classes.guidInit, buffer);
  env->DeleteLocalRef(buffer);
  if (env->ExceptionCheck()) {
    return nullptr;
  }
  return guid;
}

// A VideoFormat of width, height and subtype, or null with an exception pending.
jobject makeFormatObject(JNIEnv* env, const FormatClasses& classes, std::int32_t width,
                         std::int32_t height, const graph::Guid& subtype) {
  jobject guid = makeGuidObject(env, classes, subtype);
  if (guid == nullptr) {
    return nullptr;
  }
  jobject format = env->NewObject(classes.formatClass, classes.formatInit, static_cast<jint>(width),
                                  static_cast<jint>(height), guid);
  env->DeleteLocalRef(guid);
  if (env->ExceptionCheck()) {
    return nullptr;
  }
  return format;
}

// A property of a listed device as a Java string; null when it cannot be read.
jstring ReadProperty(JNIEnv* env, graph::PropertyBag* bag, const char16_t* name) {
  char16_t* value = nullptr;
  std::size_t length = 0;
  if (graph::Failed(graph::ReadStringProperty(bag, name, &value, &length)) || value == nullptr) {
    return nullptr;
  }
  if (length > static_cast<std::size_t>(INT32_MAX)) {
    length = INT32_MAX;
  }
  jstring text = env->NewString(reinterpret_cast<const jchar*>(value), static_cast<jsize>(length));
  graph::FreePropertyString(value);
  return text;
}

// A VIDEOINFOHEADER format block that is really there.
const graph::VideoInfoHeader* VideoInfoOf(const graph::MediaType* type) {
  if (type->formattype != graph::kFormatVideoInfo || type->pbFormat == nullptr ||
      type->cbFormat < sizeof(graph::VideoInfoHeader)) {
    return nullptr;
  }
  return reinterpret_cast<const graph::VideoInfoHeader*>(type->pbFormat);
}

// Reports a failed graph step. The record is consistent again by then, and it is
// let go first: the report may wait for the user for as long as they like.
void reportUnlocked(LockedRecord& locked, graph::HResult hr, graph::NativeWindow window, int site) {
  locked.unlock();
  showGraphError(hr, window, site);
}

enum class Choice { kChosen, kNoMatch, kFailedSite, kJavaException };

// Picks the first capture capability that matches `format` and that the pin
// accepts. kFailedSite reports *site and *hr to the caller.
Choice chooseCaptureFormat(JNIEnv* env, DeviceRecord* record, jobject format, int* site,
                           graph::HResult* hr) {
  LocalRef formatClass(env, env->FindClass(kFormatClass));
  if (LookupFailed(env, formatClass.get())) {
    return Choice::kJavaException;
  }
  jmethodID getWidth = env->GetMethodID(formatClass.cls(), "getWidth", "()I");
  if (LookupFailed(env, getWidth)) {
    return Choice::kJavaException;
  }
  jmethodID getHeight = env->GetMethodID(formatClass.cls(), "getHeight", "()I");
  if (LookupFailed(env, getHeight)) {
    return Choice::kJavaException;
  }
  jmethodID getSubType = env->GetMethodID(formatClass.cls(), "getSubType", "()Llumotool/camgripper/GUID;");
  if (LookupFailed(env, getSubType)) {
    return Choice::kJavaException;
  }
  LocalRef guidClass(env, env->FindClass(kGuidClass));
  if (LookupFailed(env, guidClass.get())) {
    return Choice::kJavaException;
  }
  jmethodID getBuf = env->GetMethodID(guidClass.cls(), "getBuf", "()Ljava/nio/ByteBuffer;");
  if (LookupFailed(env, getBuf)) {
    return Choice::kJavaException;
  }

  graph::StreamConfig* config = nullptr;
  *hr = graph::FindStreamConfig(record->builder, &graph::kPinCategoryCapture, &graph::kMediaTypeVideo,
                                record->sourceFilter, &config);
  if (graph::Failed(*hr) || config == nullptr) {
    if (config != nullptr) {
      graph::Release(config);
    }
    *site = 423;
    return Choice::kFailedSite;
  }
  std::int32_t count = 0;
  std::int32_t size = 0;
  graph::GetNumberOfCapabilities(config, &count, &size);
  if (size != graph::kStreamCapsSize) {
    graph::Release(config);
    *hr = graph::kFail;
    *site = 433;
    return Choice::kFailedSite;
  }

  Choice choice = Choice::kNoMatch;
  for (std::int32_t index = 0; index < count && choice == Choice::kNoMatch; ++index) {
    graph::MediaType* type = nullptr;
    std::uint8_t caps[graph::kStreamCapsSize];
    if (graph::Failed(graph::GetStreamCaps(config, index, &type, caps)) || type == nullptr) {
      continue;
    }
    const graph::VideoInfoHeader* info = VideoInfoOf(type);
    if (info == nullptr) {
      graph::DeleteMediaType(type);
      continue;
    }
    // Subtype, then width, then height; each asked anew per candidate.
    jobject subtype = env->CallObjectMethod(format, getSubType);
    if (env->ExceptionCheck()) {
      graph::DeleteMediaType(type);
      choice = Choice::kJavaException;
      break;
    }
    if (subtype != nullptr) {
      jobject buffer = env->CallObjectMethod(subtype, getBuf);
      env->DeleteLocalRef(subtype);
      if (env->ExceptionCheck()) {
        graph::DeleteMediaType(type);
        choice = Choice::kJavaException;
        break;
      }
      bool same = false;
      if (buffer != nullptr) {
        const void* address = env->GetDirectBufferAddress(buffer);
        // A buffer shorter than a GUID cannot hold one: never read past it.
        const jlong capacity = env->GetDirectBufferCapacity(buffer);
        same = address != nullptr && capacity >= static_cast<jlong>(sizeof(graph::Guid)) &&
               std::memcmp(address, &type->subtype, sizeof(graph::Guid)) == 0;
        env->DeleteLocalRef(buffer);
      }
      if (!same) {
        graph::DeleteMediaType(type);
        continue;
      }
    }
    const jint width = env->CallIntMethod(format, getWidth);
    if (env->ExceptionCheck()) {
      graph::DeleteMediaType(type);
      choice = Choice::kJavaException;
      break;
    }
    if (width != 0 && width != info->bmiHeader.biWidth) {
      graph::DeleteMediaType(type);
      continue;
    }
    const jint height = env->CallIntMethod(format, getHeight);
    if (env->ExceptionCheck()) {
      graph::DeleteMediaType(type);
      choice = Choice::kJavaException;
      break;
    }
    if (height != 0 && height != info->bmiHeader.biHeight) {
      graph::DeleteMediaType(type);
      continue;
    }
    const graph::HResult set = graph::SetFormat(config, type);
    graph::DeleteMediaType(type);
    if (graph::Succeeded(set)) {
      choice = Choice::kChosen;
    }
  }
  graph::Release(config);
  return choice;
}

}  // namespace

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_enumDevices(JNIEnv* env, jobject) {
  if (!g_comInitialized) {
    g_comInitialized = true;
    graph::InitializeCom();
  }
  LocalRef listClass(env, env->FindClass("java/util/ArrayList"));
  if (LookupFailed(env, listClass.get())) {
    return nullptr;
  }
  jmethodID listInit = env->GetMethodID(listClass.cls(), "<init>", "()V");
  if (LookupFailed(env, listInit)) {
    return nullptr;
  }
  jmethodID add = env->GetMethodID(listClass.cls(), "add", "(Ljava/lang/Object;)Z");
  if (LookupFailed(env, add)) {
    return nullptr;
  }
  LocalRef deviceClass(env, env->FindClass(kDeviceClass));
  if (LookupFailed(env, deviceClass.get())) {
    return nullptr;
  }
  jmethodID deviceInit = env->GetMethodID(deviceClass.cls(), "<init>",
                                          "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V");
  if (LookupFailed(env, deviceInit)) {
    return nullptr;
  }
  jobject list = env->NewObject(listClass.cls(), listInit);
  if (list == nullptr || env->ExceptionCheck()) {
    return nullptr;
  }

  graph::DeviceEnum* devEnum = nullptr;
  if (graph::Failed(graph::CreateSystemDeviceEnum(&devEnum)) || devEnum == nullptr) {
    return list;
  }
  graph::MonikerEnum* monikers = nullptr;
  const graph::HResult hr = graph::CreateVideoInputEnum(devEnum, &monikers);
  if (graph::Failed(hr) || monikers == nullptr) {
    graph::Release(devEnum);
    return list;
  }

  bool javaFailed = false;
  graph::Moniker* moniker = nullptr;
  while (!javaFailed && graph::NextMoniker(monikers, &moniker) == graph::kOk && moniker != nullptr) {
    graph::PropertyBag* bag = nullptr;
    if (graph::Succeeded(graph::BindToPropertyBag(moniker, &bag)) && bag != nullptr) {
      // Read in this order; passed to the constructor as name, description, path.
      LocalRef description(env, ReadProperty(env, bag, u"Description"));
      javaFailed = env->ExceptionCheck();
      LocalRef name(env, javaFailed ? nullptr : ReadProperty(env, bag, u"FriendlyName"));
      javaFailed = javaFailed || env->ExceptionCheck();
      LocalRef path(env, javaFailed ? nullptr : ReadProperty(env, bag, u"DevicePath"));
      javaFailed = javaFailed || env->ExceptionCheck();
      graph::Filter* source = nullptr;
      if (!javaFailed && graph::Succeeded(graph::BindToFilter(moniker, &source)) && source != nullptr) {
        const std::int32_t handle = capture::core::RegisterSourceFilter(source);
        jobject device = env->NewObject(deviceClass.cls(), deviceInit, name.get(), description.get(),
                                        path.get(), static_cast<jint>(handle));
        if (!env->ExceptionCheck()) {
          env->CallBooleanMethod(list, add, device);
        }
        if (env->ExceptionCheck()) {
          // The device never reached the caller: take its reference back.
          javaFailed = true;
          capture::core::UnregisterSourceFilter(handle);
          graph::Release(source);
        }
        if (device != nullptr) {
          env->DeleteLocalRef(device);
        }
      }
      graph::Release(bag);
    }
    graph::Release(moniker);
    moniker = nullptr;
  }
  graph::Release(monikers);
  graph::Release(devEnum);
  return javaFailed ? nullptr : list;
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_start(JNIEnv* env, jobject self,
                                                                       jobject format, jboolean mirror) {
  LockedRecord locked = lockDeviceRecord(env, self);
  DeviceRecord* record = locked.get();
  if (record == nullptr) {
    return JNI_FALSE;
  }
  if (record->renderer != nullptr) {
    return JNI_TRUE;
  }
  graph::HResult hr = graph::CreateCaptureGraphBuilder(&record->builder);
  if (graph::Failed(hr)) {
    reportUnlocked(locked, hr, record->window, 324);
    return JNI_FALSE;
  }
  auto failAt = [&locked, record](graph::HResult code, int site) {
    releaseGraph(record);
    reportUnlocked(locked, code, record->window, site);
    return JNI_FALSE;
  };
  if (graph::Failed(hr = graph::CreateFilterGraph(&record->graph))) return failAt(hr, 332);
  if (graph::Failed(hr = graph::AddFilter(record->graph, record->sourceFilter, nullptr))) return failAt(hr, 340);
  if (graph::Failed(hr = graph::SetFiltergraph(record->builder, record->graph))) return failAt(hr, 348);
  if (graph::Failed(hr = graph::CreateVideoRenderer(&record->renderer))) return failAt(hr, 358);
  if (graph::Failed(hr = graph::AddFilter(record->graph, record->renderer, nullptr))) return failAt(hr, 367);
  if (graph::Failed(hr = graph::QueryRendererConfig(record->renderer, &record->rendererConfig))) {
    return failAt(hr, 376);
  }
  if (graph::Failed(hr = graph::SetRenderingMode(record->rendererConfig, graph::kVmrModeWindowless))) {
    return failAt(hr, 384);
  }
  if (graph::Failed(hr = graph::QueryWindowlessControl(record->renderer, &record->windowlessControl))) {
    return failAt(hr, 392);
  }
  if (graph::Failed(hr = graph::SetVideoClippingWindow(record->windowlessControl, record->window))) {
    return failAt(hr, 400);
  }

  if (format != nullptr) {
    int site = 0;
    switch (chooseCaptureFormat(env, record, format, &site, &hr)) {
      case Choice::kChosen:
        break;
      case Choice::kFailedSite:
        return failAt(hr, site);
      case Choice::kNoMatch:
      case Choice::kJavaException:
        releaseGraph(record);
        return JNI_FALSE;
    }
  }

  hr = graph::CreateVideoFilter(mirror == 1, &record->frameFilter);
  if (graph::Failed(hr)) return failAt(hr, 508);
  if (graph::Failed(hr = graph::AddFilter(record->graph, record->frameFilter, u"VideoFilter"))) {
    return failAt(hr, 516);
  }
  graph::Pin* capturePin = nullptr;
  hr = graph::FindPin(record->builder, record->sourceFilter, graph::PinDirection::kOutput,
                      &graph::kPinCategoryCapture, nullptr, false, 0, &capturePin);
  if (graph::Failed(hr)) return failAt(hr, 525);
  graph::Pin* inputPin = nullptr;
  hr = graph::FindPin(record->builder, record->frameFilter, graph::PinDirection::kInput, nullptr, nullptr,
                      false, 0, &inputPin);
  if (graph::Failed(hr)) {
    graph::Release(capturePin);
    return failAt(hr, 533);
  }
  hr = graph::ConnectDirect(record->graph, capturePin, inputPin, nullptr);
  graph::Release(capturePin);
  graph::Release(inputPin);
  if (graph::Failed(hr)) return failAt(hr, 542);
  hr = graph::RenderStream(record->builder, nullptr, &graph::kMediaTypeVideo, record->frameFilter, nullptr,
                           record->renderer);
  if (graph::Failed(hr)) return failAt(hr, 556);
  if (graph::Failed(hr = graph::QueryMediaControl(record->graph, &record->mediaControl))) return failAt(hr, 565);
  if (graph::Failed(hr = graph::Run(record->mediaControl))) return failAt(hr, 573);

  graph::Rect client{0, 0, 0, 0};
  graph::GetClientRect(record->window, &client);
  fitVideoToCanvas(record, client.right - client.left, client.bottom - client.top);
  return JNI_TRUE;
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_stop(JNIEnv* env, jobject self) {
  LockedRecord locked = lockDeviceRecord(env, self);
  DeviceRecord* record = locked.get();
  if (record == nullptr) {
    return JNI_FALSE;
  }
  releaseGraph(record);
  return JNI_TRUE;
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_isRunning(JNIEnv* env, jobject self) {
  LockedRecord record = lockDeviceRecord(env, self);
  return (record && record->renderer != nullptr) ? JNI_TRUE : JNI_FALSE;
}

ZAV_NATIVE jboolean Java_lumotool_camgripper_CaptureDevice_destroy(JNIEnv* env, jobject self) {
  LockedRecord locked = lockDeviceRecord(env, self);
  if (!locked) {
    return JNI_FALSE;
  }
  releaseGraph(locked.get());
  locked.erase();
  graph::Filter* source = capture::core::UnregisterSourceFilter(locked.handle());
  locked.unlock();
  if (source != nullptr) {
    graph::Release(source);
  }
  LocalRef deviceClass(env, env->FindClass(kDeviceClass));
  if (LookupFailed(env, deviceClass.get())) {
    return JNI_TRUE;
  }
  jfieldID field = env->GetFieldID(deviceClass.cls(), "pSrcFilter", "I");
  if (LookupFailed(env, field)) {
    return JNI_TRUE;
  }
  env->SetIntField(self, field, 0);
  return JNI_TRUE;
}

ZAV_NATIVE void Java_lumotool_camgripper_CaptureDevice_setBounds(JNIEnv* env, jobject self, jint x,
                                                                      jint y, jint width, jint height) {
  {
    LockedRecord record = lockDeviceRecord(env, self);
    if (env->ExceptionCheck()) {
      return;
    }
    fitVideoToCanvas(record.get(), width, height);
  }
  // The canvas's own setBounds takes the AWT tree lock, which AWT's thread may
  // hold while it waits for this record: the record is let go before.
  LocalRef canvasClass(env, env->FindClass("java/awt/Canvas"));
  if (LookupFailed(env, canvasClass.get())) {
    return;
  }
  jmethodID setBounds = env->GetMethodID(canvasClass.cls(), "setBounds", "(IIII)V");
  if (LookupFailed(env, setBounds)) {
    return;
  }
  // Canvas's own method can only run on a Canvas.
  if (!env->IsInstanceOf(self, canvasClass.cls())) {
    return;
  }
  env->CallNonvirtualVoidMethod(self, canvasClass.cls(), setBounds, x, y, width, height);
}

ZAV_NATIVE void Java_lumotool_camgripper_CaptureDevice_paint(JNIEnv* env, jobject self, jobject) {
  LockedRecord record = lockDeviceRecord(env, self);
  if (!record) {
    return;
  }
  capture::core::paintRecord(record.get());
}

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_getFormat(JNIEnv* env, jobject self) {
  LockedRecord record = lockDeviceRecord(env, self);
  if (!record || record->frameFilter == nullptr) {
    return nullptr;
  }
  capture::frame::FrameWork* work = graph::FrameWorkOf(record->frameFilter);
  if (work == nullptr) {
    return nullptr;
  }
  FormatClasses classes;
  jobject format = nullptr;
  if (LookUpFormatClasses(env, &classes)) {
    format = makeFormatObject(env, classes, work->width(), work->height(), work->subtype());
  }
  DropFormatClasses(env, classes);
  return format;
}

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_queryFormats(JNIEnv* env, jobject self) {
  LockedRecord locked = lockDeviceRecord(env, self);
  DeviceRecord* record = locked.get();
  if (record == nullptr) {
    return nullptr;
  }
  LocalRef listClass(env, env->FindClass("java/util/ArrayList"));
  if (LookupFailed(env, listClass.get())) {
    return nullptr;
  }
  jmethodID listInit = env->GetMethodID(listClass.cls(), "<init>", "()V");
  if (LookupFailed(env, listInit)) {
    return nullptr;
  }
  jmethodID add = env->GetMethodID(listClass.cls(), "add", "(Ljava/lang/Object;)Z");
  if (LookupFailed(env, add)) {
    return nullptr;
  }
  FormatClasses classes;
  if (!LookUpFormatClasses(env, &classes)) {
    DropFormatClasses(env, classes);
    return nullptr;
  }
  jobject list = env->NewObject(listClass.cls(), listInit);
  if (list == nullptr || env->ExceptionCheck()) {
    DropFormatClasses(env, classes);
    return nullptr;
  }

  const bool temporary = record->builder == nullptr;
  auto fail = [&](graph::HResult code, int site, bool release) -> jobject {
    if (release) {
      releaseGraph(record);
    }
    DropFormatClasses(env, classes);
    env->DeleteLocalRef(list);
    reportUnlocked(locked, code, record->window, site);
    return nullptr;
  };
  graph::HResult hr = graph::kOk;
  if (temporary) {
    if (graph::Failed(hr = graph::CreateCaptureGraphBuilder(&record->builder))) return fail(hr, 675, false);
    if (graph::Failed(hr = graph::CreateFilterGraph(&record->graph))) return fail(hr, 683, true);
    if (graph::Failed(hr = graph::AddFilter(record->graph, record->sourceFilter, nullptr))) {
      return fail(hr, 691, true);
    }
    if (graph::Failed(hr = graph::SetFiltergraph(record->builder, record->graph))) return fail(hr, 699, true);
  }
  graph::StreamConfig* config = nullptr;
  hr = graph::FindStreamConfig(record->builder, &graph::kPinCategoryCapture, &graph::kMediaTypeVideo,
                               record->sourceFilter, &config);
  if (graph::Failed(hr) || config == nullptr) {
    if (config != nullptr) {
      graph::Release(config);
    }
    return fail(hr, 712, temporary);
  }
  std::int32_t count = 0;
  std::int32_t size = 0;
  graph::GetNumberOfCapabilities(config, &count, &size);
  if (size != graph::kStreamCapsSize) {
    graph::Release(config);
    return fail(graph::kFail, 725, temporary);
  }

  bool javaFailed = false;
  for (std::int32_t index = 0; index < count && !javaFailed; ++index) {
    graph::MediaType* type = nullptr;
    std::uint8_t caps[graph::kStreamCapsSize];
    if (graph::Failed(graph::GetStreamCaps(config, index, &type, caps)) || type == nullptr) {
      continue;
    }
    if (const graph::VideoInfoHeader* info = VideoInfoOf(type)) {
      jobject format = makeFormatObject(env, classes, info->bmiHeader.biWidth, info->bmiHeader.biHeight,
                                        type->subtype);
      if (format == nullptr || env->ExceptionCheck()) {
        javaFailed = true;
      } else {
        env->CallBooleanMethod(list, add, format);
        javaFailed = env->ExceptionCheck();
        env->DeleteLocalRef(format);
      }
    }
    graph::DeleteMediaType(type);
  }
  graph::Release(config);
  if (temporary) {
    releaseGraph(record);
  }
  DropFormatClasses(env, classes);
  if (javaFailed) {
    env->DeleteLocalRef(list);
    return nullptr;
  }
  return list;
}

ZAV_NATIVE jobject Java_lumotool_camgripper_CaptureDevice_grab(JNIEnv* env, jobject self, jobject buffer) {
  LockedRecord locked = lockDeviceRecord(env, self);
  DeviceRecord* record = locked.get();
  if (record == nullptr || record->frameFilter == nullptr) {
    return nullptr;
  }
  std::uint8_t* address = nullptr;
  std::int32_t capacity = 0;
  if (buffer != nullptr) {
    address = static_cast<std::uint8_t*>(env->GetDirectBufferAddress(buffer));
    if (address != nullptr) {
      const jlong bytes = env->GetDirectBufferCapacity(buffer);
      capacity = bytes < 0 ? 0 : (bytes > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(bytes));
    }
  }
  // The filter stays alive while this thread waits on it, whatever another
  // thread does to the device meanwhile.
  graph::Filter* filter = record->frameFilter;
  graph::AddRef(filter);
  locked.unlock();
  capture::frame::FrameWork* work = graph::FrameWorkOf(filter);
  capture::frame::FrameWork::GrabResult result{false, nullptr, 0};
  if (work != nullptr) {
    result = work->Grab(address, capacity);
  }
  graph::Release(filter);
  if (!result.served) {
    return nullptr;
  }
  if (buffer != nullptr && result.buffer == address && result.capacity == capacity) {
    return buffer;
  }
  return env->NewDirectByteBuffer(result.buffer, result.capacity);
}

