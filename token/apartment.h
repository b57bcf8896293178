// The component's apartment: one thread of this library on which the component's
// objects are made, called and released, whichever Java thread calls. Calls run
// one at a time, in the order they arrive; the Java threads wait for theirs. On
// Windows the thread is a single-threaded apartment, as the vendor's classes are
// registered for, so no Java thread ever enters or leaves an apartment for the
// component, and no object is reached from a thread it does not belong to.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "token/component_host.h"

namespace qtok {

class Apartment {
 public:
  // The process's apartment; its thread starts with the first work.
  static Apartment& Get();

  // Runs `work` on the apartment thread after all work handed over before it and
  // waits for it: its result, or the C++ exception it threw, thrown here. When
  // the thread cannot run (it could not start or enter the apartment) that
  // failure is returned, said in `reason`, and `work` is not run.
  template <typename Work>
  [[nodiscard]] HRESULT Run(Work&& work, Text& reason) {
    return RunWork(WorkRef(work), reason);
  }
  // Hands `work` over without waiting; where the thread cannot run, runs it here.
  void Post(std::function<void()> work);
  bool OnThread() const;
  // Ends the thread once the work handed over is done (the library unloads).
  void Stop();

 private:
  // The end of one waited-for job, told to its caller alone: a signal shared by
  // every waiting caller would wake them all at every job's end.
  struct Completion {
    std::mutex mutex;
    std::condition_variable done_cv;
    std::atomic<bool> done{false};
  };
  // The caller's work, seen from the apartment thread while the caller waits for
  // it: a call copies nothing and allocates nothing to hand its work over.
  class WorkRef {
   public:
    template <typename Work>
    explicit WorkRef(Work& work)
        : work_(&work), invoke_([](void* w) -> HRESULT { return (*static_cast<Work*>(w))(); }) {}
    HRESULT operator()() const { return invoke_(work_); }

   private:
    void* work_;
    HRESULT (*invoke_)(void*);
  };
  struct Job {
    std::function<void()> posted;  // work handed over without waiting
    WorkRef* waited = nullptr;     // or the work of a waiting caller, with:
    Completion* completion = nullptr;
    HRESULT* result = nullptr;
    std::exception_ptr* thrown = nullptr;
  };
  HRESULT RunWork(WorkRef work, Text& reason);
  // Wakes the apartment thread if it sleeps, or is about to, once work is queued.
  void Wake();
  Apartment() = default;
  // Starts the thread unless it runs; false (with the failure) when it cannot.
  bool Started(std::unique_lock<std::mutex>& lock, HRESULT* failure, Text& reason);
  void Serve();

  std::mutex mutex_;
  std::condition_variable progress_cv_;  // the thread started or stopped
  std::deque<Job> queue_;
  // Work is queued: read without the lock by a thread that looks before it sleeps.
  std::atomic<bool> queued_{false};
  // Callers waiting for their work. One alone looks for its end for a moment before
  // it sleeps (a trivial call ends within microseconds, sooner than a thread
  // wakes); with several, each gives its processor up between looks, and so does
  // the apartment thread while it looks for more work, so that whichever thread
  // can go on has a processor.
  std::atomic<int> waiting_{0};
  // The apartment thread sleeps on the signal, or is about to: raised only then.
  std::atomic<bool> sleeping_{false};
  WorkSignal signal_;
  std::thread thread_;
  std::atomic<std::thread::id> thread_id_{};
  bool starting_ = false;
  bool running_ = false;
  bool stopping_ = false;
  HRESULT entered_ = 0;
};

}  // namespace qtok
