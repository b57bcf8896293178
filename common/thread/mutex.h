// A mutex the thread-safety analysis knows (libstdc++'s std::mutex carries no
// annotations), its scoped lock, and waiting on a condition under it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/thread/thread_annotations.h"

namespace zav {

class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

// Holds the mutex for its scope; Wait and WaitFor give it up while they wait, as
// a condition variable does, and hold it again when they return.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() RELEASE() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // False when `ready` did not hold within `bound`.
  template <typename Ready>
  [[nodiscard]] bool WaitFor(std::condition_variable& changed, std::chrono::milliseconds bound, Ready ready) {
    return changed.wait_for(lock_, bound, ready);
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace zav
