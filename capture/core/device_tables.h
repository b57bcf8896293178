// The device tables behind device.h, shared by its two source files: the handle
// table (handle -> source filter and the CaptureDevice it was handed to) and the
// registry of records (handle -> RegistryEntry), under one lock, so a record is only
// ever made for a handle still in the table, and destroy takes both out in one step.
#pragma once

#include <jni.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/core/device.h"
#include "common/thread/mutex.h"

namespace capture::core {

struct RegistryEntry {
  RegistryEntry(std::int32_t h, graph::Filter* source) : handle(h) { record.sourceFilter = source; }
  const std::int32_t handle;

  zav::Mutex state;  // the fields below; held only for reading or writing them
  DeviceRecord record GUARDED_BY(state);
  bool erased GUARDED_BY(state) = false;  // destroyed: no call may use the record any more
  bool boundsPending GUARDED_BY(state) = false;
  std::int32_t boundsWidth GUARDED_BY(state) = 0;
  std::int32_t boundsHeight GUARDED_BY(state) = 0;
  std::uint64_t boundsSerial GUARDED_BY(state) = 0;  // counts NoteBounds

  // The turn of the graph-changing calls, and who holds it.
  bool turnTaken GUARDED_BY(state) = false;
  std::thread::id turnHolder GUARDED_BY(state);
  std::condition_variable turnFree;
  // A stop or destroy left to the holder of the turn.
  bool stopLeft GUARDED_BY(state) = false;
  bool destroyLeft GUARDED_BY(state) = false;
};

namespace tables {

std::mutex& TablesMutex();

// What a handle holds: the source filter reference, and the CaptureDevice it was
// handed to.
struct Listed {
  graph::Ref<graph::Filter> source;
  jweak device = nullptr;
  bool started = false;
};

// Under TablesMutex:
std::map<std::int32_t, Listed>& HandleTable();
std::map<std::uint32_t, std::shared_ptr<RegistryEntry>>& DeviceRegistry();
// The handle's source filter, borrowed (null if none).
graph::Filter* SourceLocked(std::int32_t handle);
// The handle's entry taken out of the table: the source filter reference it held.
graph::Ref<graph::Filter> TakeSourceLocked(std::int32_t handle);
std::shared_ptr<RegistryEntry> EntryLocked(std::int32_t handle);

}  // namespace tables
}  // namespace capture::core
