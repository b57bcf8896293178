#include "core/device.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "graph/awt_api.h"

namespace capture::core {

struct RegistryEntry {
  DeviceRecord record;
  std::recursive_mutex mutex;
  bool erased = false;  // destroyed: no call may use the record any more
};

namespace {

// The table behind the handles and the registry of records; both are touched
// from the AWT thread (paint, setBounds) as well as from client threads, so
// their maps are guarded. The records themselves follow the callers' rule that
// graph-changing calls on one device do not overlap.
std::mutex& TablesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::int32_t, graph::Filter*>& HandleTable() {
  static auto* table = new std::map<std::int32_t, graph::Filter*>();  // never destroyed
  return *table;
}

std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>& DeviceRegistry() {
  static auto* registry = new std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>();  // never destroyed
  return *registry;
}

std::int32_t g_nextHandle = 1;

}  // namespace

std::int32_t RegisterSourceFilter(graph::Filter* source) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  for (;;) {
    const std::int32_t handle = g_nextHandle;
    g_nextHandle = (g_nextHandle == INT32_MAX) ? 1 : g_nextHandle + 1;
    if (table.find(handle) == table.end()) {
      table.emplace(handle, source);
      return handle;
    }
  }
}

graph::Filter* SourceFilterOf(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second;
}

graph::Filter* UnregisterSourceFilter(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  auto it = table.find(handle);
  if (it == table.end()) {
    return nullptr;
  }
  graph::Filter* source = it->second;
  table.erase(it);
  return source;
}

namespace {

// The registry entry of the Java object, created on first use.
std::shared_ptr<RegistryEntry> FindEntry(JNIEnv* env, jobject canvas, std::int32_t* handleOut) {
  *handleOut = 0;
  if (canvas == nullptr) {
    return nullptr;
  }
  jclass deviceClass = env->FindClass("lumotool/camgripper/CaptureDevice");
  if (LookupFailed(env, deviceClass)) {
    return nullptr;
  }
  jfieldID field = env->GetFieldID(deviceClass, "pSrcFilter", "I");
  env->DeleteLocalRef(deviceClass);
  if (LookupFailed(env, field)) {
    return nullptr;
  }
  const std::int32_t handle = env->GetIntField(canvas, field);
  *handleOut = handle;
  if (handle == 0) {
    return nullptr;
  }
  graph::Filter* source = SourceFilterOf(handle);
  if (source == nullptr) {
    // Not a handle this library handed out (or one already destroyed).
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(TablesMutex());
    auto& registry = DeviceRegistry();
    auto it = registry.find(static_cast<std::uint32_t>(handle));
    if (it != registry.end()) {
      return it->second;
    }
  }
  const graph::NativeWindow window = getCanvasWindow(env, canvas);
  if (window == 0) {
    return nullptr;
  }
  auto entry = std::make_shared<RegistryEntry>();
  entry->record.sourceFilter = source;
  entry->record.window = window;
  std::lock_guard<std::mutex> lock(TablesMutex());
  // Another thread may have made the entry meanwhile; the first one stays.
  auto inserted = DeviceRegistry().emplace(static_cast<std::uint32_t>(handle), entry);
  return inserted.first->second;
}

}  // namespace

DeviceRecord* findDeviceRecord(JNIEnv* env, jobject canvas, std::int32_t* handleOut) {
  std::int32_t handle = 0;
  std::shared_ptr<RegistryEntry> entry = FindEntry(env, canvas, &handle);
  if (handleOut != nullptr) {
    *handleOut = handle;
  }
  // The registry keeps the entry alive until destroy.
  return entry == nullptr ? nullptr : &entry->record;
}

LockedRecord lockDeviceRecord(JNIEnv* env, jobject canvas) {
  std::int32_t handle = 0;
  std::shared_ptr<RegistryEntry> entry = FindEntry(env, canvas, &handle);
  if (entry == nullptr) {
    return LockedRecord();
  }
  LockedRecord locked(std::move(entry), handle);
  if (!locked) {
    return LockedRecord();  // destroyed while this call waited for it
  }
  return locked;
}

LockedRecord::LockedRecord() = default;

LockedRecord::LockedRecord(std::shared_ptr<RegistryEntry> entry, std::int32_t handle)
    : entry_(std::move(entry)), handle_(handle) {
  entry_->mutex.lock();
  locked_ = true;
}

LockedRecord::LockedRecord(LockedRecord&& other) noexcept
    : entry_(std::move(other.entry_)), handle_(other.handle_), locked_(other.locked_) {
  other.locked_ = false;
}

LockedRecord& LockedRecord::operator=(LockedRecord&& other) noexcept {
  if (this != &other) {
    if (locked_) {
      entry_->mutex.unlock();
    }
    entry_ = std::move(other.entry_);
    handle_ = other.handle_;
    locked_ = other.locked_;
    other.locked_ = false;
  }
  return *this;
}

LockedRecord::~LockedRecord() {
  if (locked_) {
    entry_->mutex.unlock();
  }
}

DeviceRecord* LockedRecord::get() const {
  return (entry_ == nullptr || entry_->erased) ? nullptr : &entry_->record;
}

void LockedRecord::unlock() {
  if (locked_) {
    entry_->mutex.unlock();
    locked_ = false;
  }
}

void LockedRecord::relock() {
  if (!locked_ && entry_ != nullptr) {
    entry_->mutex.lock();
    locked_ = true;
  }
}

void LockedRecord::erase() {
  if (entry_ == nullptr) {
    return;
  }
  entry_->erased = true;
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& registry = DeviceRegistry();
  auto it = registry.find(static_cast<std::uint32_t>(handle_));
  if (it != registry.end() && it->second == entry_) {
    registry.erase(it);
  }
}

graph::NativeWindow getCanvasWindow(JNIEnv* env, jobject canvas) {
  JAWT awt;
  awt.version = JAWT_VERSION_1_3;
  if (graph::GetAwt(env, &awt) == JNI_FALSE) {
    return 0;
  }
  JAWT_DrawingSurface* surface = awt.GetDrawingSurface(env, canvas);
  if (surface == nullptr) {
    return 0;
  }
  graph::NativeWindow window = 0;
  const jint lock = surface->Lock(surface);
  if ((lock & JAWT_LOCK_ERROR) == 0) {
    JAWT_DrawingSurfaceInfo* info = surface->GetDrawingSurfaceInfo(surface);
    if (info != nullptr) {
      window = graph::WindowOfSurface(info);
      surface->FreeDrawingSurfaceInfo(info);
    }
    surface->Unlock(surface);
  }
  awt.FreeDrawingSurface(surface);
  return window;
}

void releaseGraph(DeviceRecord* record) {
  if (record->mediaControl != nullptr) {
    graph::Stop(record->mediaControl);
  }
  if (record->builder != nullptr) {
    graph::Release(record->builder);
    record->builder = nullptr;
  }
  if (record->graph != nullptr) {
    graph::Release(record->graph);
    record->graph = nullptr;
  }
  if (record->mediaControl != nullptr) {
    graph::Release(record->mediaControl);
    record->mediaControl = nullptr;
  }
  if (record->renderer != nullptr) {
    graph::Release(record->renderer);
    record->renderer = nullptr;
  }
  if (record->windowlessControl != nullptr) {
    graph::Release(record->windowlessControl);
    record->windowlessControl = nullptr;
  }
  if (record->rendererConfig != nullptr) {
    graph::Release(record->rendererConfig);
    record->rendererConfig = nullptr;
  }
  if (record->frameFilter != nullptr) {
    graph::Release(record->frameFilter);
    record->frameFilter = nullptr;
  }
}

void showGraphError(graph::HResult resultCode, graph::NativeWindow window, int siteNumber) {
  char text[160] = {0};
  char caption[50] = {0};
  const std::uint32_t length = graph::GetErrorText(resultCode, text, sizeof text);
  std::snprintf(caption, sizeof caption, "DirectShow Error(line:%d)", siteNumber);
  const char* shown = (length == 0) ? "Unkown error" : text;
  text[sizeof text - 1] = '\0';
  graph::ShowErrorBox(window, shown, caption);
}

void fitVideoToCanvas(DeviceRecord* record, std::int32_t width, std::int32_t height) {
  if (record == nullptr || record->windowlessControl == nullptr) {
    return;
  }
  std::int32_t nativeWidth = 0;
  std::int32_t nativeHeight = 0;
  graph::GetNativeVideoSize(record->windowlessControl, &nativeWidth, &nativeHeight);
  const graph::Rect source{0, 0, nativeWidth, nativeHeight};
  const graph::Rect destination{0, 0, width, height};
  graph::SetVideoPosition(record->windowlessControl, &source, &destination);
}

void paintRecord(DeviceRecord* record) {
  if (record->windowlessControl != nullptr) {
    graph::RepaintVideo(record->windowlessControl, record->window);
  } else {
    graph::PaintBlack(record->window);
  }
}

}  // namespace capture::core
