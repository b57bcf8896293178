// Per-device native state of the camera binding and the operations every native
// method of CaptureDevice shares.
#pragma once

#include <jni.h>

#include <cstdint>
#include <memory>

#include "graph/graph_api.h"

namespace capture::core {

// One per device handle. The fields from builder to frameFilter are counted
// references the record owns (or null); sourceFilter is the reference that the
// Java object received at listing, borrowed here; window is the canvas's window.
struct DeviceRecord {
  graph::Filter* sourceFilter = nullptr;
  graph::Builder* builder = nullptr;
  graph::Graph* graph = nullptr;
  graph::MediaControl* mediaControl = nullptr;
  graph::Filter* renderer = nullptr;
  graph::WindowlessControl* windowlessControl = nullptr;
  graph::RendererConfig* rendererConfig = nullptr;
  graph::Filter* frameFilter = nullptr;
  graph::NativeWindow window = 0;
};

// True when a class, field or method lookup found nothing. A client class that
// lacks what the library looks up is a failure like any other (false or null to
// the caller): the JVM's lookup error is cleared rather than left pending.
inline bool LookupFailed(JNIEnv* env, const void* found) {
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    return true;
  }
  return found == nullptr;
}

// Handles: the Java int field pSrcFilter holds a non-zero key into a
// process-wide table that holds the source filter reference, so a handle fits
// the int on 64-bit processes too. Keys are not reused while the process lives
// (until the 32-bit key space wraps).
std::int32_t RegisterSourceFilter(graph::Filter* source);
graph::Filter* SourceFilterOf(std::int32_t handle);
// Drops the table entry and returns the reference it held (null if none).
graph::Filter* UnregisterSourceFilter(std::int32_t handle);

// The record of the Java object, created on first use; null when the object has
// no handle (or an unknown one), or when its canvas has no native window yet.
// *handle receives the handle read from the object (0 when none). The record is
// not locked: the native methods use lockDeviceRecord.
DeviceRecord* findDeviceRecord(JNIEnv* env, jobject canvas, std::int32_t* handle = nullptr);

struct RegistryEntry;

// A device's record held by one native call. AWT calls paint and setBounds on
// its own thread whenever it likes, so every native method works on the record
// under the record's lock, and the record outlives a concurrent destroy for as
// long as a call holds it (a destroyed record is never handed out).
class LockedRecord {
 public:
  LockedRecord();
  LockedRecord(std::shared_ptr<RegistryEntry> entry, std::int32_t handle);
  LockedRecord(LockedRecord&&) noexcept;
  LockedRecord& operator=(LockedRecord&&) noexcept;
  ~LockedRecord();

  DeviceRecord* get() const;
  DeviceRecord* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }
  std::int32_t handle() const { return handle_; }

  // Lets other threads at the record while this one waits for something that
  // may take long (the user closing an error report, the AWT tree lock).
  void unlock();
  void relock();

  // Marks the record destroyed and removes it from the registry.
  void erase();

 private:
  std::shared_ptr<RegistryEntry> entry_;
  std::int32_t handle_ = 0;
  bool locked_ = false;
};

// As findDeviceRecord, the record locked; empty when there is none.
LockedRecord lockDeviceRecord(JNIEnv* env, jobject canvas);

// The native window of the canvas through the AWT native interface, or 0.
graph::NativeWindow getCanvasWindow(JNIEnv* env, jobject canvas);

// Stops the graph and releases everything a graph build put into the record;
// sourceFilter and window stay.
void releaseGraph(DeviceRecord* record);

// The modal report of a failed graph step at `siteNumber`.
void showGraphError(graph::HResult resultCode, graph::NativeWindow window, int siteNumber);

// Makes the renderer show the whole video frame over (0, 0, width, height).
void fitVideoToCanvas(DeviceRecord* record, std::int32_t width, std::int32_t height);

// Paints the running video again, or black when none runs.
void paintRecord(DeviceRecord* record);

}  // namespace capture::core
