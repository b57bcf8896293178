// Per-device native state of the camera binding: the record of a device, the
// process-wide registry that ties a Java CaptureDevice to it, and the graph
// operations every native method shares.
#pragma once

#include <jni.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include "capture/core/capture_graph.h"
#include "capture/graph/graph_api.h"
#include "capture/graph/graph_ref.h"
#include "common/thread/thread_annotations.h"

namespace capture::core {

// One per device handle: the source filter reference that the Java object
// received at listing (borrowed here), the graph a start built (empty while the
// device is idle) and the window its renderer draws into. The canvas's own window
// is not kept: AWT makes it anew whenever the canvas is shown again, so every call
// asks the canvas for it.
struct DeviceRecord {
  graph::Filter* sourceFilter = nullptr;
  graph::NativeWindow window = 0;
  CaptureGraph graph;
};

// How long a graph-changing call waits for the device's turn before it gives up.
constexpr std::chrono::seconds kTurnBound{5};

// Handles: the Java int field pSrcFilter holds a non-zero key into a
// process-wide table that holds the source filter reference, so a handle fits
// the int on 64-bit processes too. Keys are not reused while the process lives
// (until the 32-bit key space wraps).
[[nodiscard]] std::int32_t RegisterSourceFilter(graph::Ref<graph::Filter> source);
// The filter behind a handle, borrowed (null if none).
graph::Filter* SourceFilterOf(std::int32_t handle);
// Drops the table entry and returns the reference it held (null if none).
[[nodiscard]] graph::Ref<graph::Filter> UnregisterSourceFilter(std::int32_t handle);
// Ties a handle to the CaptureDevice it was handed to, by a weak reference: a
// client that lists the cameras again and again and drops the old lists without
// destroy keeps nothing of them. False (OutOfMemoryError pending) when the JVM
// cannot make the reference.
[[nodiscard]] bool TieToDevice(JNIEnv* env, std::int32_t handle, jobject device);
// Releases the devices whose CaptureDevice the JVM has collected and that never
// started (a device that started is released by destroy alone), with their records.
// Every listing and every native method calls it.
void ReleaseDroppedDevices(JNIEnv* env);
// The device of `handle` was started: it is never released as a dropped one.
void NoteStarted(std::int32_t handle);

struct RegistryEntry;

// The turn of one graph-changing call on a device; empty when it could not be had.
// What only the holder of the turn may do requires it (REQUIRES(turn), as clang's
// -Wthread-safety checks: capture_lock_rules); a call that checked it has the turn
// says so with AssertHeld, and holds it until it gives it up (unlock) or the turn
// goes out of scope.
class CAPABILITY("turn") DeviceTurn {
 public:
  DeviceTurn() = default;
  DeviceTurn(DeviceTurn&& o) noexcept : entry_(std::exchange(o.entry_, nullptr)) {}
  DeviceTurn& operator=(DeviceTurn&&) = delete;
  ~DeviceTurn() { unlock(); }
  explicit operator bool() const { return entry_ != nullptr; }
  // Once it was found held (true above).
  void AssertHeld() const ASSERT_CAPABILITY(this) {}
  // Gives the turn up; true when a stop or destroy left to it ran as it ended.
  bool unlock() RELEASE();

 private:
  friend class Device;
  explicit DeviceTurn(RegistryEntry* entry) : entry_(entry) {}
  RegistryEntry* entry_ = nullptr;
};

// A device's registry entry, held by one native call.
//
// Locks: the record's fields are read and written under a state lock that is held
// only for that, never across a call into the platform's graph, the AWT or the
// client's Java code, so paint and setBounds (AWT's thread) never wait for a
// graph build. Graph-changing calls on one device (start, stop, destroy,
// queryFormats) take turns: a call waits for the one before, at most kTurnBound,
// and never for the calling thread itself (the client's code that a start asks for
// the wanted format may call back into the device): such a call gets no turn and
// fails at once. A stop or destroy that waited the bound in vain is not lost: the
// holder of the turn carries it out as its turn ends. Nothing that AWT calls waits
// for a turn.
class Device {
 public:
  // The device of the Java object, found by its handle whatever the canvas's
  // window is now. Its record is made on first use, and only when the canvas has
  // a native window then (it is shown). Empty when the object has no handle (or
  // one this library did not hand out or has destroyed), or when it has no record
  // yet and its canvas no window.
  [[nodiscard]] static Device Find(JNIEnv* env, jobject canvas);
  // The same, with the canvas's native window as it is now (0 when it has none;
  // the device is still found when it has a record).
  [[nodiscard]] static Device FindShown(JNIEnv* env, jobject canvas);
  // The same for a device that need not have been shown (its window is then 0).
  [[nodiscard]] static Device FindListed(JNIEnv* env, jobject canvas);
  // The same with the canvas's native window as it is now, 0 when it has none: a
  // camera starts before its canvas is shown (its video appears in the window the
  // canvas gets), or with no canvas shown at all (frames for a photo).
  [[nodiscard]] static Device FindToStart(JNIEnv* env, jobject canvas);

  Device();
  ~Device();
  Device(Device&&) noexcept;
  Device& operator=(Device&&) noexcept;
  explicit operator bool() const { return entry_ != nullptr; }
  std::int32_t handle() const { return handle_; }
  // The canvas's native window when the device was found with FindShown (0 when
  // it had none, or when it was found otherwise).
  graph::NativeWindow Window() const { return window_; }

  [[nodiscard]] DeviceTurn Turn();
  // The turn, when it can be had for a device not destroyed; empty otherwise.
  [[nodiscard]] DeviceTurn LiveTurn();

  // Stop drops the graph, destroy also the record and the handle. kDone: done now.
  // kHandedOver: another thread held the turn past the bound; it carries this out
  // when its turn ends. kRefused: the device is destroyed, or the turn is the
  // calling thread's own.
  enum class TearDownKind { kStop, kDestroy };
  enum class TearDownEnd { kDone, kHandedOver, kRefused };
  [[nodiscard]] TearDownEnd TearDown(TearDownKind what);

  // Each of these takes the state lock for what it reads or writes (the fields it
  // guards are GUARDED_BY it, as clang's -Wthread-safety checks: capture_lock_rules).
  [[nodiscard]] bool Destroyed() const;
  [[nodiscard]] bool Running() const;  // a graph was published
  graph::Filter* SourceFilter() const;
  // The builder the graph was built with; read during a turn, when no other
  // call can change it.
  graph::Builder* Builder(const DeviceTurn& turn) const REQUIRES(turn);
  // References of their own to the windowless control or the frame filter (empty
  // when there is none or the device is destroyed).
  graph::Ref<graph::WindowlessControl> WindowlessControl() const;
  graph::Ref<graph::Filter> FrameFilter() const;
  // Moves a running renderer into the canvas's window when the canvas has a new one,
  // and fits the video to it; a graph that runs without a renderer (started before
  // the canvas had a window) gets one drawing there (AttachRenderer). Nothing is
  // drawn into a window the canvas no longer has.
  void FollowWindow();
  // Canvas sizes: NoteBounds remembers the latest (every size change of the canvas
  // comes through its setBounds).
  void NoteBounds(std::int32_t width, std::int32_t height);
  // Fits the running video to the latest size noted (the window's client area
  // when none was), and again while a newer one came during the fit: whichever
  // fits overlap, the last size set wins.
  void FitVideo();

  // During a turn: hands a built graph, drawing into the window the device was
  // found with (none yet when that is 0: FollowWindow gives it the canvas's window
  // when there is one), to the record (false when the device was destroyed
  // meanwhile: the graph stays with the caller).
  [[nodiscard]] bool Publish(const DeviceTurn& turn, CaptureGraph& built) REQUIRES(turn);
  // During a turn: stops and drops the running graph (a start for another format).
  void DropGraph(const DeviceTurn& turn) REQUIRES(turn);

 private:
  enum class Look { kRecord, kShown, kListed, kToStart };
  // Takes the turn when it is free at once, and gives the running graph its
  // renderer, drawing into the window the device was found with; a failure is
  // reported as start's would be.
  void AttachRenderer();
  [[nodiscard]] static Device FindWith(JNIEnv* env, jobject canvas, Look look);
  Device(std::shared_ptr<RegistryEntry> entry, std::int32_t handle, graph::NativeWindow window);
  std::shared_ptr<RegistryEntry> entry_;
  std::int32_t handle_ = 0;
  graph::NativeWindow window_ = 0;
};

}  // namespace capture::core
