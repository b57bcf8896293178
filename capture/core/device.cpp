#include "core/device.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <map>
#include <thread>
#include <utility>

#include "core/canvas_video.h"
#include "jni_frame.h"

namespace capture::core {

using zav::jni::OnMissing;

struct RegistryEntry {
  std::mutex state;  // the fields below; held only for reading or writing them
  DeviceRecord record;
  bool erased = false;  // destroyed: no call may use the record any more
  bool boundsPending = false;
  std::int32_t boundsWidth = 0;
  std::int32_t boundsHeight = 0;
  std::uint64_t boundsSerial = 0;  // counts NoteBounds

  std::timed_mutex change;                 // the turn of the graph-changing calls
  std::atomic<std::thread::id> changer{};  // who holds it
};

namespace {

// The table behind the handles and the registry of records, under one lock:
// a record is only ever made for a handle still in the table, and destroy takes
// both out in one step.
std::mutex& TablesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::int32_t, graph::Ref<graph::Filter>>& HandleTable() {
  static auto* table = new std::map<std::int32_t, graph::Ref<graph::Filter>>();  // never destroyed
  return *table;
}

std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>& DeviceRegistry() {
  static auto* registry = new std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>();  // never destroyed
  return *registry;
}

std::int32_t g_nextHandle = 1;

graph::Filter* SourceLocked(std::int32_t handle) {
  auto& table = HandleTable();
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second.get();
}

// The handle's entry taken out of the table: the source filter reference it held.
graph::Ref<graph::Filter> TakeSourceLocked(std::int32_t handle) {
  auto& table = HandleTable();
  auto it = table.find(handle);
  if (it == table.end()) return nullptr;
  graph::Ref<graph::Filter> source = std::move(it->second);
  table.erase(it);
  return source;
}

std::shared_ptr<RegistryEntry> EntryLocked(std::int32_t handle) {
  auto& registry = DeviceRegistry();
  auto it = registry.find(static_cast<std::uint32_t>(handle));
  return it == registry.end() ? nullptr : it->second;
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

std::int32_t RegisterSourceFilter(graph::Ref<graph::Filter> source) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  for (;;) {
    const std::int32_t handle = g_nextHandle;
    g_nextHandle = (g_nextHandle == INT32_MAX) ? 1 : g_nextHandle + 1;
    if (table.count(handle) == 0) {
      table.emplace(handle, std::move(source));
      return handle;
    }
  }
}

graph::Filter* SourceFilterOf(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  return SourceLocked(handle);
}

graph::Ref<graph::Filter> UnregisterSourceFilter(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  return TakeSourceLocked(handle);
}

// ---------------------------------------------------------------- Device

Device::Device() = default;
Device::~Device() = default;
Device::Device(Device&&) noexcept = default;
Device& Device::operator=(Device&&) noexcept = default;
Device::Device(std::shared_ptr<RegistryEntry> entry, std::int32_t handle)
    : entry_(std::move(entry)), handle_(handle) {}

Device Device::Find(JNIEnv* env, jobject canvas) {
  const std::int32_t handle = HandleOf(env, canvas);
  if (handle == 0) return Device();
  graph::Filter* source = nullptr;
  {
    std::lock_guard<std::mutex> lock(TablesMutex());
    if (auto entry = EntryLocked(handle)) return Device(std::move(entry), handle);
    source = SourceLocked(handle);
    if (source == nullptr) return Device();  // not one of ours, or destroyed
  }
  // The AWT lock is taken here: no lock of ours may be held.
  const graph::NativeWindow window = getCanvasWindow(env, canvas);
  if (window == 0) return Device();
  auto fresh = std::make_shared<RegistryEntry>();
  fresh->record.sourceFilter = source;
  fresh->record.window = window;
  std::lock_guard<std::mutex> lock(TablesMutex());
  if (auto entry = EntryLocked(handle)) return Device(std::move(entry), handle);  // another call was first
  if (SourceLocked(handle) != source) return Device();                            // destroyed meanwhile
  DeviceRegistry().emplace(static_cast<std::uint32_t>(handle), fresh);
  return Device(std::move(fresh), handle);
}

DeviceTurn Device::Turn() {
  if (entry_->changer.load() == std::this_thread::get_id()) return DeviceTurn();  // called back from within
  if (!entry_->change.try_lock_for(kTurnBound)) return DeviceTurn();
  entry_->changer.store(std::this_thread::get_id());
  return DeviceTurn(entry_.get());
}

DeviceTurn Device::LiveTurn() {
  DeviceTurn turn = Turn();
  if (turn && Destroyed()) turn.unlock();
  return turn;
}

void DeviceTurn::unlock() {
  if (entry_ == nullptr) return;
  entry_->changer.store(std::thread::id());
  std::exchange(entry_, nullptr)->change.unlock();
}

bool Device::Destroyed() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  return entry_->erased;
}

bool Device::Running() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  return !entry_->erased && entry_->record.graph.Running();
}

graph::NativeWindow Device::Window() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  return entry_->record.window;
}

graph::Filter* Device::SourceFilter() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  return entry_->record.sourceFilter;
}

graph::Builder* Device::Builder() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  return entry_->record.graph.builder.get();
}

graph::Ref<graph::WindowlessControl> Device::WindowlessControl() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  if (entry_->erased) return nullptr;
  return entry_->record.graph.windowlessControl;
}

graph::Ref<graph::Filter> Device::FrameFilter() const {
  std::lock_guard<std::mutex> lock(entry_->state);
  if (entry_->erased) return nullptr;
  return entry_->record.graph.frameFilter;
}

void Device::NoteBounds(std::int32_t width, std::int32_t height) {
  std::lock_guard<std::mutex> lock(entry_->state);
  entry_->boundsPending = true;
  entry_->boundsWidth = width;
  entry_->boundsHeight = height;
  ++entry_->boundsSerial;
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
      std::lock_guard<std::mutex> lock(entry_->state);
      if (entry_->erased) return;
      control = entry_->record.graph.windowlessControl;
      pending = entry_->boundsPending;
      width = entry_->boundsWidth;
      height = entry_->boundsHeight;
      serial = entry_->boundsSerial;
      window = entry_->record.window;
    }
    if (!control) return;
    if (!pending) {
      graph::Rect client{0, 0, 0, 0};
      graph::GetClientRect(window, &client);
      width = client.right - client.left;
      height = client.bottom - client.top;
    }
    fitVideoToCanvas(control.get(), width, height);
    std::lock_guard<std::mutex> lock(entry_->state);
    if (entry_->boundsSerial == serial) return;
  }
}

bool Device::Publish(CaptureGraph& built) {
  std::lock_guard<std::mutex> lock(entry_->state);
  if (entry_->erased) return false;
  // The record holds no graph here (a start publishes only on an idle device);
  // whatever it held goes back to the caller, to be dropped without the lock.
  entry_->record.graph.Swap(built);
  return true;
}

CaptureGraph Device::TakeGraph() {
  CaptureGraph taken;
  std::lock_guard<std::mutex> lock(entry_->state);
  taken.Swap(entry_->record.graph);
  return taken;
}

graph::Ref<graph::Filter> Device::Erase() {
  {
    std::lock_guard<std::mutex> lock(entry_->state);
    entry_->erased = true;
  }
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& registry = DeviceRegistry();
  auto it = registry.find(static_cast<std::uint32_t>(handle_));
  if (it != registry.end() && it->second == entry_) registry.erase(it);
  return TakeSourceLocked(handle_);
}

}  // namespace capture::core
