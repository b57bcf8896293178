// Per-device native state of the camera binding: the record of a device, the
// process-wide registry that ties a Java CaptureDevice to it, and the graph
// operations every native method shares.
#pragma once

#include <jni.h>

#include <cstdint>
#include <memory>
#include <mutex>

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

// The graph references of a record held by one call: released (the graph stopped
// first) when the holder goes, unless they were handed on.
class GraphHold {
 public:
  GraphHold(graph::Filter* source, graph::NativeWindow window);
  GraphHold(const GraphHold&) = delete;
  GraphHold& operator=(const GraphHold&) = delete;
  ~GraphHold();
  DeviceRecord* operator->() { return &record_; }
  DeviceRecord& record() { return record_; }
  void reset();

 private:
  DeviceRecord record_;
};

// Handles: the Java int field pSrcFilter holds a non-zero key into a
// process-wide table that holds the source filter reference, so a handle fits
// the int on 64-bit processes too. Keys are not reused while the process lives
// (until the 32-bit key space wraps).
std::int32_t RegisterSourceFilter(graph::Filter* source);
graph::Filter* SourceFilterOf(std::int32_t handle);
// Drops the table entry and returns the reference it held (null if none).
graph::Filter* UnregisterSourceFilter(std::int32_t handle);

struct RegistryEntry;

// A device's registry entry, held by one native call.
//
// Locks: the record's fields are read and written under a state lock that is held
// only for that, never across a call into the platform's graph, the AWT or the
// client's Java code, so paint and setBounds (AWT's thread) never wait for a
// graph build. Graph-changing calls on one device (start, stop, destroy,
// queryFormats) take turns: Turn() waits for the one before. A start holds its
// turn while it asks the client's VideoFormat for the wanted format; nothing else
// that AWT calls waits for a turn.
class Device {
 public:
  // The device of the Java object, its record made on first use. Empty when the
  // object has no handle (or one this library did not hand out or has
  // destroyed), or when its canvas has no native window yet.
  static Device Find(JNIEnv* env, jobject canvas);

  Device();
  ~Device();
  Device(Device&&) noexcept;
  Device& operator=(Device&&) noexcept;
  explicit operator bool() const { return entry_ != nullptr; }
  std::int32_t handle() const { return handle_; }

  std::unique_lock<std::mutex> Turn();

  // Under the state lock:
  bool Destroyed() const;
  bool Running() const;  // the renderer is there
  graph::NativeWindow Window() const;
  graph::Filter* SourceFilter() const;
  // The builder the graph was built with; read during a turn, when no other
  // call can change it.
  graph::Builder* Builder() const;
  // A counted reference to the windowless control or the frame filter (null when
  // there is none or the device is destroyed); the caller releases it.
  graph::WindowlessControl* BorrowWindowlessControl() const;
  graph::Filter* BorrowFrameFilter() const;
  // Canvas sizes set while a graph is built are applied once it runs:
  // NoteBounds remembers the latest, ClearBounds forgets it, PendingBounds tells
  // whether one came since and which.
  void NoteBounds(std::int32_t width, std::int32_t height);
  void ClearBounds();
  bool PendingBounds(std::int32_t* width, std::int32_t* height) const;

  // During a turn: hands a built graph to the record (false when the device was
  // destroyed meanwhile: the graph stays with the holder).
  bool Publish(GraphHold& built);
  // During a turn: takes the record's graph into `out` to be released.
  void TakeGraph(GraphHold& out);
  // During a turn: marks the device destroyed, removes its record and handle in
  // one step (so no call can make a record for it again) and returns the source
  // filter reference the handle held.
  graph::Filter* Erase();

 private:
  Device(std::shared_ptr<RegistryEntry> entry, std::int32_t handle);
  std::shared_ptr<RegistryEntry> entry_;
  std::int32_t handle_ = 0;
};

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
