#include "capture/core/device_tables.h"

#include <climits>
#include <utility>

namespace capture::core {

namespace {

// Weak references of handles taken out where no JNI environment was at hand
// (a destroy carried out by another call's turn): deleted by the next sweep.
std::vector<jweak>& UnusedWeakRefs() {
  static auto* refs = new std::vector<jweak>();  // never destroyed
  return *refs;
}

std::int32_t g_nextHandle = 1;

}  // namespace

namespace tables {

std::mutex& TablesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::int32_t, Listed>& HandleTable() {
  static auto* table = new std::map<std::int32_t, Listed>();  // never destroyed
  return *table;
}

std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>& DeviceRegistry() {
  static auto* registry = new std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>();  // never destroyed
  return *registry;
}

graph::Filter* SourceLocked(std::int32_t handle) {
  auto& table = HandleTable();
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second.source.get();
}

graph::Ref<graph::Filter> TakeSourceLocked(std::int32_t handle) {
  auto& table = HandleTable();
  auto it = table.find(handle);
  if (it == table.end()) return nullptr;
  graph::Ref<graph::Filter> source = std::move(it->second.source);
  if (it->second.device != nullptr) UnusedWeakRefs().push_back(it->second.device);
  table.erase(it);
  return source;
}

std::shared_ptr<RegistryEntry> EntryLocked(std::int32_t handle) {
  auto& registry = DeviceRegistry();
  auto it = registry.find(static_cast<std::uint32_t>(handle));
  return it == registry.end() ? nullptr : it->second;
}

}  // namespace tables

using namespace tables;

std::int32_t RegisterSourceFilter(graph::Ref<graph::Filter> source) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  for (;;) {
    const std::int32_t handle = g_nextHandle;
    g_nextHandle = (g_nextHandle == INT32_MAX) ? 1 : g_nextHandle + 1;
    if (table.count(handle) == 0) {
      table.emplace(handle, Listed{std::move(source)});
      return handle;
    }
  }
}

bool TieToDevice(JNIEnv* env, std::int32_t handle, jobject device) {
  jweak weak = env->NewWeakGlobalRef(device);
  if (weak == nullptr) return false;
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  auto it = table.find(handle);
  if (it == table.end() || it->second.device != nullptr) {
    UnusedWeakRefs().push_back(weak);
    return true;
  }
  it->second.device = weak;
  return true;
}

void ReleaseDroppedDevices(JNIEnv* env) {
  std::vector<graph::Ref<graph::Filter>> released;
  std::vector<std::shared_ptr<RegistryEntry>> records;
  {
    std::lock_guard<std::mutex> lock(TablesMutex());
    auto& table = HandleTable();
    auto& registry = DeviceRegistry();
    std::vector<jweak>& unused = UnusedWeakRefs();
    for (jweak weak : unused) env->DeleteWeakGlobalRef(weak);
    unused.clear();
    for (auto it = table.begin(); it != table.end();) {
      Listed& listed = it->second;
      // No call can run on a collected CaptureDevice: each holds its object.
      if (listed.started || listed.device == nullptr || !env->IsSameObject(listed.device, nullptr)) {
        ++it;
        continue;
      }
      env->DeleteWeakGlobalRef(listed.device);
      released.push_back(std::move(listed.source));
      auto record = registry.find(static_cast<std::uint32_t>(it->first));
      if (record != registry.end()) {
        records.push_back(std::move(record->second));
        registry.erase(record);
      }
      it = table.erase(it);
    }
  }
  // The references and records go here, with no lock held.
}

void NoteStarted(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& table = HandleTable();
  auto it = table.find(handle);
  if (it != table.end()) it->second.started = true;
}

graph::Filter* SourceFilterOf(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  return SourceLocked(handle);
}

graph::Ref<graph::Filter> UnregisterSourceFilter(std::int32_t handle) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  return TakeSourceLocked(handle);
}

}  // namespace capture::core
