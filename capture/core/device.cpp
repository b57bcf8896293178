#include "capture/core/device.h"

#include <climits>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "capture/core/canvas_video.h"
#include "capture/core/device_tables.h"
#include "capture/core/graph_build.h"
#include "common/jni/jni_frame.h"
#include "common/thread/mutex.h"

namespace capture::core {

using zav::jni::OnMissing;
using namespace tables;

namespace {

// The predicate of a wait for the turn: the condition variable calls it with the
// state lock held, which the analysis cannot follow into the call.
bool TurnTaken(const RegistryEntry& entry) NO_THREAD_SAFETY_ANALYSIS { return entry.turnTaken; }

// The record's graph read by the holder of the turn without the state lock: only
// the holder of the turn changes or drops the graph, so it stays as it is for
// the turn's length (the lock keeps other readers' view of its fields whole).
const CaptureGraph& GraphDuringTurn(const RegistryEntry& entry, const DeviceTurn& turn) REQUIRES(turn);
const CaptureGraph& GraphDuringTurn(const RegistryEntry& entry, const DeviceTurn&) NO_THREAD_SAFETY_ANALYSIS {
  return entry.record.graph;
}

// The handle in the object's pSrcFilter field; 0 when none can be read.
std::int32_t HandleOf(JNIEnv* env, jobject canvas) {
  if (canvas == nullptr) return 0;
  auto deviceClass = zav::jni::FindClass(env, "lumotool/camgripper/CaptureDevice", OnMissing::kClear);
  if (!deviceClass) return 0;
  jfieldID field = zav::jni::FieldId(env, deviceClass.get(), "pSrcFilter", "I", OnMissing::kClear);
  if (field == nullptr) return 0;
  return env->GetIntField(canvas, field);
}

}  // namespace

// ---------------------------------------------------------------- Device

namespace {

// The record's graph taken out, and with a destroy the record and the handle too,
// in one step (so no call can make a record for the device again). Run during a
// turn; the graph and the handle's source filter reference are dropped here, with
// no lock held.
void CarryOut(RegistryEntry& entry, Device::TearDownKind what) {
  CaptureGraph taken;
  {
    zav::MutexLock lock(entry.state);
    taken.Swap(entry.record.graph);
    if (what == Device::TearDownKind::kDestroy) entry.erased = true;
  }
  if (what != Device::TearDownKind::kDestroy) return;
  graph::Ref<graph::Filter> source;
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& registry = DeviceRegistry();
  auto it = registry.find(static_cast<std::uint32_t>(entry.handle));
  if (it != registry.end() && it->second.get() == &entry) registry.erase(it);
  source = TakeSourceLocked(entry.handle);
}

}  // namespace

Device::Device() = default;
Device::~Device() = default;
Device::Device(Device&&) noexcept = default;
Device& Device::operator=(Device&&) noexcept = default;
Device::Device(std::shared_ptr<RegistryEntry> entry, std::int32_t handle, graph::NativeWindow window)
    : entry_(std::move(entry)), handle_(handle), window_(window) {}

Device Device::Find(JNIEnv* env, jobject canvas) { return FindWith(env, canvas, Look::kRecord); }

Device Device::FindShown(JNIEnv* env, jobject canvas) { return FindWith(env, canvas, Look::kShown); }

Device Device::FindListed(JNIEnv* env, jobject canvas) { return FindWith(env, canvas, Look::kListed); }

Device Device::FindToStart(JNIEnv* env, jobject canvas) { return FindWith(env, canvas, Look::kToStart); }

Device Device::FindWith(JNIEnv* env, jobject canvas, Look look) {
  ReleaseDroppedDevices(env);
  const std::int32_t handle = HandleOf(env, canvas);
  if (handle == 0) return Device();
  bool recorded = false;
  {
    std::lock_guard<std::mutex> lock(TablesMutex());
    if (SourceLocked(handle) == nullptr) return Device();  // not one of ours, or destroyed
    recorded = EntryLocked(handle) != nullptr;
  }
  // The AWT lock is taken here: no lock of ours may be held. The window is asked
  // for anew each time: the canvas gets a new one each time it is shown again.
  graph::NativeWindow window = 0;
  const bool asksWindow = look == Look::kShown || look == Look::kToStart;
  if (asksWindow || (look == Look::kRecord && !recorded)) window = getCanvasWindow(env, canvas);
  std::lock_guard<std::mutex> lock(TablesMutex());
  if (auto entry = EntryLocked(handle)) return Device(std::move(entry), handle, window);
  // A record is made for a shown canvas, and for one that is to start or be destroyed.
  if ((look == Look::kRecord || look == Look::kShown) && window == 0) return Device();
  graph::Filter* source = SourceLocked(handle);
  if (source == nullptr) return Device();  // destroyed meanwhile
  auto fresh = std::make_shared<RegistryEntry>(handle, source);
  DeviceRegistry().emplace(static_cast<std::uint32_t>(handle), fresh);
  return Device(std::move(fresh), handle, asksWindow ? window : 0);
}

DeviceTurn Device::Turn() {
  zav::MutexLock lock(entry_->state);
  const std::thread::id self = std::this_thread::get_id();
  if (entry_->turnTaken && entry_->turnHolder == self) return DeviceTurn();  // called back from within
  if (!lock.WaitFor(entry_->turnFree, kTurnBound, [&] { return !TurnTaken(*entry_); })) return DeviceTurn();
  entry_->turnTaken = true;
  entry_->turnHolder = self;
  return DeviceTurn(entry_.get());
}

DeviceTurn Device::LiveTurn() {
  DeviceTurn turn = Turn();
  if (!turn) return turn;
  turn.AssertHeld();
  if (Destroyed()) turn.unlock();
  return turn;
}

Device::TearDownEnd Device::TearDown(TearDownKind what) {
  {
    zav::MutexLock lock(entry_->state);
    const std::thread::id self = std::this_thread::get_id();
    if (entry_->erased || (entry_->turnTaken && entry_->turnHolder == self)) return TearDownEnd::kRefused;
    if (!lock.WaitFor(entry_->turnFree, kTurnBound, [&] { return !TurnTaken(*entry_); })) {
      // The holder sees this before it gives the turn up (it looks under this lock).
      (what == TearDownKind::kDestroy ? entry_->destroyLeft : entry_->stopLeft) = true;
      return TearDownEnd::kHandedOver;
    }
    if (entry_->erased) return TearDownEnd::kRefused;
    entry_->turnTaken = true;
    entry_->turnHolder = self;
  }
  DeviceTurn turn(entry_.get());
  CarryOut(*entry_, what);
  return TearDownEnd::kDone;
}

bool DeviceTurn::unlock() {
  if (entry_ == nullptr) return false;
  RegistryEntry& entry = *std::exchange(entry_, nullptr);
  bool tornDown = false;
  for (;;) {
    bool destroy = false, stop = false;
    {
      zav::MutexLock lock(entry.state);
      destroy = std::exchange(entry.destroyLeft, false);
      stop = std::exchange(entry.stopLeft, false);
      if (!destroy && !stop) {
        entry.turnTaken = false;
        entry.turnHolder = std::thread::id();
      }
    }
    if (!destroy && !stop) {
      entry.turnFree.notify_all();
      return tornDown;
    }
    CarryOut(entry, destroy ? Device::TearDownKind::kDestroy : Device::TearDownKind::kStop);
    tornDown = true;
  }
}

bool Device::Destroyed() const {
  zav::MutexLock lock(entry_->state);
  return entry_->erased;
}

bool Device::Running() const {
  zav::MutexLock lock(entry_->state);
  return !entry_->erased && entry_->record.graph.Running();
}

graph::Filter* Device::SourceFilter() const {
  zav::MutexLock lock(entry_->state);
  return entry_->record.sourceFilter;
}

graph::Builder* Device::Builder(const DeviceTurn&) const {
  zav::MutexLock lock(entry_->state);
  return entry_->record.graph.builder.get();
}

graph::Ref<graph::WindowlessControl> Device::WindowlessControl() const {
  zav::MutexLock lock(entry_->state);
  if (entry_->erased) return nullptr;
  return entry_->record.graph.windowlessControl;
}

graph::Ref<graph::Filter> Device::FrameFilter() const {
  zav::MutexLock lock(entry_->state);
  if (entry_->erased) return nullptr;
  return entry_->record.graph.frameFilter;
}

void Device::NoteBounds(std::int32_t width, std::int32_t height) {
  zav::MutexLock lock(entry_->state);
  entry_->boundsPending = true;
  entry_->boundsWidth = width;
  entry_->boundsHeight = height;
  ++entry_->boundsSerial;
}

void Device::FollowWindow() {
  graph::Ref<graph::WindowlessControl> control;
  bool headless = false;
  {
    zav::MutexLock lock(entry_->state);
    if (entry_->erased || window_ == 0 || entry_->record.window == window_) return;
    control = entry_->record.graph.windowlessControl;
    headless = entry_->record.graph.Running() && !control;
  }
  if (headless) return AttachRenderer();
  if (!control || graph::Failed(graph::SetVideoClippingWindow(control.get(), window_))) return;
  {
    zav::MutexLock lock(entry_->state);
    // Still the same graph: a stop and a start meanwhile built one for the new window.
    if (entry_->record.graph.windowlessControl.get() != control.get()) return;
    entry_->record.window = window_;
  }
  FitVideo();
}

void Device::FitVideo() {
  // Each round fits the size that was latest when it began; a size noted during a
  // fit is fitted by another round here or by the call that noted it.
  for (int round = 0; round < 16; ++round) {
    graph::Ref<graph::WindowlessControl> control;
    bool pending = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint64_t serial = 0;
    graph::NativeWindow window = 0;
    {
      zav::MutexLock lock(entry_->state);
      if (entry_->erased) return;
      control = entry_->record.graph.windowlessControl;
      pending = entry_->boundsPending;
      width = entry_->boundsWidth;
      height = entry_->boundsHeight;
      serial = entry_->boundsSerial;
      window = entry_->record.window;
    }
    if (!control || window == 0) return;  // fitted when it gets the canvas's window
    if (!pending) {
      graph::Rect client{0, 0, 0, 0};
      graph::GetClientRect(window, &client);
      width = client.right - client.left;
      height = client.bottom - client.top;
    }
    fitVideoToCanvas(control.get(), width, height);
    zav::MutexLock lock(entry_->state);
    if (entry_->boundsSerial == serial) return;
  }
}

void Device::AttachRenderer() {
  // Only when the turn is free now: paint and setBounds never wait for one, and the
  // next of them tries again.
  {
    zav::MutexLock lock(entry_->state);
    if (entry_->erased || entry_->turnTaken) return;
    entry_->turnTaken = true;
    entry_->turnHolder = std::this_thread::get_id();
  }
  DeviceTurn turn(entry_.get());
  turn.AssertHeld();
  {
    zav::MutexLock lock(entry_->state);
    const CaptureGraph& running = entry_->record.graph;
    if (entry_->erased || !running.Running() || running.windowlessControl) return;
  }
  // The graph stays in the record, running, while the renderer is added: only the
  // holder of the turn changes or drops it. The paint or setBounds that adds it runs
  // on AWT's thread or the client's, which need not have entered COM.
  EnterCom();
  RendererParts parts;
  const std::optional<GraphFailure> failure =
      core::AttachRenderer(GraphDuringTurn(*entry_, turn), window_, parts);
  if (!failure) {
    zav::MutexLock lock(entry_->state);
    CaptureGraph& running = entry_->record.graph;
    std::swap(running.renderer, parts.renderer);
    std::swap(running.windowlessControl, parts.windowlessControl);
    std::swap(running.rendererConfig, parts.rendererConfig);
    entry_->record.window = window_;
  }
  // A failed attachment's parts are dropped here, with no lock held.
  const bool tornDown = turn.unlock();
  if (failure) {
    showGraphError(failure->hr, window_, failure->site);
  } else if (!tornDown) {
    FitVideo();
  }
}

void Device::DropGraph(const DeviceTurn&) { CarryOut(*entry_, TearDownKind::kStop); }

bool Device::Publish(const DeviceTurn&, CaptureGraph& built) {
  zav::MutexLock lock(entry_->state);
  if (entry_->erased) return false;
  // The record holds no graph here (a start publishes only on an idle device);
  // whatever it held goes back to the caller, to be dropped without the lock.
  entry_->record.graph.Swap(built);
  entry_->record.window = window_;
  return true;
}

}  // namespace capture::core
