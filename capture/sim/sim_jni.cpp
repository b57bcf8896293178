// Java control of the simulated platform (class lumotool.camgripper.sim.SimPlatform):
// how tests and demos set up cameras, inject failures and read what happened.
#include "common/jni/jni_native.h"

#include <cstring>
#include <string>
#include <vector>

#include "capture/sim/sim_platform.h"

namespace {

namespace sim = capture::sim;

std::vector<sim::Camera> g_building;  // cameras added since the last reset

std::u16string ToU16(JNIEnv* env, jstring text) {
  std::u16string result;
  if (text == nullptr) {
    return result;
  }
  const jsize length = env->GetStringLength(text);
  result.resize(static_cast<std::size_t>(length));
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(result.data()));
  return result;
}

jstring FromUtf8(JNIEnv* env, const std::string& text) { return env->NewStringUTF(text.c_str()); }

}  // namespace

ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_reset(JNIEnv*, jclass) {
  g_building.clear();
  sim::SetCameras({});
  sim::ClearFailures();
  sim::PauseFrames(false);
  sim::TakeErrorReports();
}

ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_useDefaultCameras(JNIEnv*, jclass) {
  g_building = sim::DefaultCameras();
  sim::SetCameras(g_building);
}

ZAV_NATIVE jint Java_lumotool_camgripper_sim_SimPlatform_addCamera(JNIEnv* env, jclass, jstring name,
                                                                   jstring description, jstring path,
                                                                   jint capabilitySize, jint framePeriodMs) {
  sim::Camera camera;
  camera.friendlyName = ToU16(env, name);
  if (description != nullptr) {
    camera.description = ToU16(env, description);
  }
  camera.devicePath = ToU16(env, path);
  camera.capabilitySize = capabilitySize;
  camera.framePeriodMs = framePeriodMs;
  g_building.push_back(camera);
  sim::SetCameras(g_building);
  return static_cast<jint>(g_building.size() - 1);
}

// kind: 0 VideoInfo, 1 VideoInfo2, 2 no format block.
ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_addCapability(JNIEnv* env, jclass, jint camera,
                                                                       jbyteArray subtype, jint width,
                                                                       jint height, jint kind,
                                                                       jboolean refuseSetFormat,
                                                                       jint sampleSize) {
  if (camera < 0 || static_cast<std::size_t>(camera) >= g_building.size() || subtype == nullptr ||
      env->GetArrayLength(subtype) != 16) {
    return;
  }
  sim::Capability cap;
  env->GetByteArrayRegion(subtype, 0, 16, reinterpret_cast<jbyte*>(&cap.subtype));
  cap.width = width;
  cap.height = height;
  cap.kind = kind == 1 ? sim::FormatKind::kVideoInfo2
                       : (kind == 2 ? sim::FormatKind::kNone : sim::FormatKind::kVideoInfo);
  cap.refuseSetFormat = refuseSetFormat == JNI_TRUE;
  cap.sampleSize = sampleSize;
  g_building[static_cast<std::size_t>(camera)].capabilities.push_back(cap);
  sim::SetCameras(g_building);
}

ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_failCall(JNIEnv* env, jclass, jstring operation,
                                                                  jint nth, jint hr) {
  const char* text = env->GetStringUTFChars(operation, nullptr);
  if (text == nullptr) {
    return;
  }
  const std::string name(text);
  env->ReleaseStringUTFChars(operation, text);
  sim::FailCall(name, nth, hr);
}

ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_clearFailures(JNIEnv*, jclass) {
  sim::ClearFailures();
}

ZAV_NATIVE void Java_lumotool_camgripper_sim_SimPlatform_pauseFrames(JNIEnv*, jclass, jboolean paused) {
  sim::PauseFrames(paused == JNI_TRUE);
}

// Each report as "caption|text".
ZAV_NATIVE jobjectArray Java_lumotool_camgripper_sim_SimPlatform_takeErrorReports(JNIEnv* env, jclass) {
  const std::vector<sim::ErrorReport> reports = sim::TakeErrorReports();
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr || env->ExceptionCheck()) {
    return nullptr;
  }
  jobjectArray result = env->NewObjectArray(static_cast<jsize>(reports.size()), stringClass, nullptr);
  env->DeleteLocalRef(stringClass);
  if (result == nullptr || env->ExceptionCheck()) {
    return nullptr;
  }
  for (std::size_t i = 0; i < reports.size(); ++i) {
    jstring line = FromUtf8(env, reports[i].caption + "|" + reports[i].text);
    if (line == nullptr || env->ExceptionCheck()) {
      return nullptr;
    }
    env->SetObjectArrayElement(result, static_cast<jsize>(i), line);
    env->DeleteLocalRef(line);
  }
  return result;
}

ZAV_NATIVE jint Java_lumotool_camgripper_sim_SimPlatform_comInitializations(JNIEnv*, jclass) {
  return sim::ComInitializations();
}

ZAV_NATIVE jint Java_lumotool_camgripper_sim_SimPlatform_liveObjects(JNIEnv*, jclass) {
  return sim::LiveObjects();
}

// source left, top, right, bottom, then destination left, top, right, bottom.
ZAV_NATIVE jintArray Java_lumotool_camgripper_sim_SimPlatform_lastVideoPosition(JNIEnv* env, jclass) {
  const sim::RendererView view = sim::LastRendererView();
  const jint values[8] = {view.source.left,       view.source.top,        view.source.right,
                          view.source.bottom,     view.destination.left,  view.destination.top,
                          view.destination.right, view.destination.bottom};
  jintArray result = env->NewIntArray(8);
  if (result == nullptr || env->ExceptionCheck()) {
    return nullptr;
  }
  env->SetIntArrayRegion(result, 0, 8, values);
  return result;
}

ZAV_NATIVE jbyteArray Java_lumotool_camgripper_sim_SimPlatform_lastRenderedFrame(JNIEnv* env, jclass) {
  const sim::RendererView view = sim::LastRendererView();
  jbyteArray result = env->NewByteArray(static_cast<jsize>(view.lastFrame.size()));
  if (result == nullptr || env->ExceptionCheck()) {
    return nullptr;
  }
  env->SetByteArrayRegion(result, 0, static_cast<jsize>(view.lastFrame.size()),
                          reinterpret_cast<const jbyte*>(view.lastFrame.data()));
  return result;
}

ZAV_NATIVE jlong Java_lumotool_camgripper_sim_SimPlatform_framesDrawn(JNIEnv*, jclass) {
  return static_cast<jlong>(sim::LastRendererView().framesDrawn);
}
