#include "token/apartment.h"

#include <chrono>
#include <exception>
#include <system_error>
#include <utility>

namespace qtok {

namespace {

// How long a thread looks for what it waits for before it sleeps: calls from one
// Java thread come back to back, and a thread that sleeps costs a wake-up each time.
constexpr std::chrono::microseconds kCallerLook{20};
constexpr std::chrono::microseconds kQueuedCallerLook{200};
constexpr std::chrono::microseconds kServerLook{50};

// True once `ready` holds, false when `look` passed without it.
template <typename Ready>
bool LookFor(std::chrono::microseconds look, Ready ready) {
  const auto until = std::chrono::steady_clock::now() + look;
  do {
    for (int i = 0; i < 64; ++i) {
      if (ready()) return true;
    }
  } while (std::chrono::steady_clock::now() < until);
  return ready();
}

}  // namespace

Apartment& Apartment::Get() {
  // Never destroyed: a thread still serving at process exit must find it there.
  static Apartment* apartment = new Apartment;
  return *apartment;
}

bool Apartment::OnThread() const { return thread_id_.load() == std::this_thread::get_id(); }

bool Apartment::Started(std::unique_lock<std::mutex>& lock, HRESULT* failure, Text& reason) {
  progress_cv_.wait(lock, [this] { return !starting_ && !stopping_; });
  if (running_) return true;
  if (!signal_.usable()) {
    *failure = kOutOfMemory;
    reason.Append("the component's thread has no signal to wait on");
    return false;
  }
  if (thread_.joinable()) thread_.join();  // one that could not enter its apartment
  starting_ = true;
  try {
    thread_ = std::thread([this] { Serve(); });
  } catch (const std::system_error&) {
    starting_ = false;
    *failure = kOutOfMemory;
    reason.Append("the component's thread could not be started");
    return false;
  }
  progress_cv_.wait(lock, [this] { return !starting_; });
  if (running_) return true;
  *failure = entered_;
  reason.Append("the component's thread could not enter its apartment");
  return false;
}

HRESULT Apartment::RunWork(WorkRef work, Text& reason) {
  if (OnThread()) return work();
  HRESULT result = 0;
  std::exception_ptr thrown;
  Completion completion;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    HRESULT failure = 0;
    if (!Started(lock, &failure, reason)) return failure;
    Job job;
    job.waited = &work;
    job.completion = &completion;
    job.result = &result;
    job.thrown = &thrown;
    queue_.push_back(std::move(job));
    queued_.store(true, std::memory_order_seq_cst);
  }
  Wake();
  // A caller alone looks for its end for a moment; one behind others gives its
  // processor up between looks, to the apartment thread and to the callers whose
  // calls ended, and sleeps when its turn is long in coming.
  if (waiting_.fetch_add(1) == 0) {
    LookFor(kCallerLook, [&] { return completion.done.load(std::memory_order_acquire); });
  } else {
    LookFor(kQueuedCallerLook, [&] {
      std::this_thread::yield();
      return completion.done.load(std::memory_order_acquire);
    });
  }
  {
    // Also once it was seen done: the apartment thread lets go of the completion
    // only with this lock.
    std::unique_lock<std::mutex> lock(completion.mutex);
    completion.done_cv.wait(lock, [&] { return completion.done.load(); });
  }
  waiting_.fetch_sub(1);
  if (thrown) std::rethrow_exception(thrown);
  return result;
}

void Apartment::Wake() {
  // Paired with the thread's store of sleeping_ before its last look at queued_:
  // either it sees the work, or this sees it sleeping.
  if (sleeping_.load(std::memory_order_seq_cst)) signal_.Raise();
}

void Apartment::Post(std::function<void()> work) {
  if (!OnThread()) {
    std::unique_lock<std::mutex> lock(mutex_);
    HRESULT failure = 0;
    Text reason;
    if (Started(lock, &failure, reason)) {
      Job job;
      job.posted = std::move(work);
      queue_.push_back(std::move(job));
      queued_.store(true, std::memory_order_seq_cst);
      lock.unlock();
      Wake();
      return;
    }
  }
  try {
    work();
  } catch (...) {
    // Posted work reports to no one.
  }
}

void Apartment::Serve() {
  thread_id_ = std::this_thread::get_id();
  const HRESULT entered = EnterApartment();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    entered_ = entered;
    running_ = !Failed(entered);
    starting_ = false;
  }
  progress_cv_.notify_all();
  if (Failed(entered)) {
    thread_id_ = std::thread::id();
    return;
  }
  for (;;) {
    std::deque<Job> batch;
    bool stop;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batch.swap(queue_);
      queued_.store(false, std::memory_order_relaxed);
      stop = stopping_ && batch.empty();
    }
    if (stop) break;
    for (Job& job : batch) {
      if (job.completion == nullptr) {
        try {
          job.posted();
        } catch (...) {
          // Posted work reports to no one.
        }
        continue;
      }
      try {
        *job.result = (*job.waited)();
      } catch (...) {
        *job.thrown = std::current_exception();
      }
      // Told under the completion's lock: once its caller sees it done, the
      // completion (on the caller's stack) is never touched here again.
      std::lock_guard<std::mutex> lock(job.completion->mutex);
      job.completion->done.store(true, std::memory_order_release);
      job.completion->done_cv.notify_one();
    }
    // While it looks for more work, callers whose calls ended may wait for a
    // processor to go on: with more than one, it gives its own up between looks.
    if (batch.empty() && !LookFor(kServerLook, [this] {
          if (waiting_.load(std::memory_order_relaxed) > 1) std::this_thread::yield();
          return queued_.load(std::memory_order_acquire);
        })) {
      sleeping_.store(true, std::memory_order_seq_cst);
      if (!queued_.load(std::memory_order_seq_cst)) signal_.Wait();
      sleeping_.store(false, std::memory_order_relaxed);
    }
  }
  LeaveApartment();
  thread_id_ = std::thread::id();
}

void Apartment::Stop() {
  std::unique_lock<std::mutex> lock(mutex_);
  progress_cv_.wait(lock, [this] { return !starting_ && !stopping_; });
  if (!thread_.joinable() || OnThread()) return;
  stopping_ = true;
  lock.unlock();
  signal_.Raise();  // stopping is no work in the queue: raised whether it sleeps or not
  thread_.join();
  lock.lock();
  stopping_ = false;
  running_ = false;
  lock.unlock();
  progress_cv_.notify_all();
}

}  // namespace qtok
