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

HRESULT Apartment::Run(const std::function<HRESULT()>& work, Text& reason) {
  if (OnThread()) return work();
  HRESULT result = 0;
  std::exception_ptr thrown;
  Completion completion;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    HRESULT failure = 0;
    if (!Started(lock, &failure, reason)) return failure;
    queue_.push_back(Job{[&] {
                           try {
                             result = work();
                           } catch (...) {
                             thrown = std::current_exception();
                           }
                         },
                         &completion});
    queued_.store(true, std::memory_order_release);
  }
  signal_.Raise();
  const bool alone = waiting_.fetch_add(1) == 0;
  if (alone) {
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

void Apartment::Post(std::function<void()> work) {
  if (!OnThread()) {
    std::unique_lock<std::mutex> lock(mutex_);
    HRESULT failure = 0;
    Text reason;
    if (Started(lock, &failure, reason)) {
      queue_.push_back(Job{std::move(work), nullptr});
      queued_.store(true, std::memory_order_release);
      lock.unlock();
      signal_.Raise();
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
          job.work();
        } catch (...) {
          // Posted work reports to no one.
        }
        continue;
      }
      job.work();  // catches what it throws itself
      // Told under the completion's lock: once its caller sees it done, the
      // completion (on the caller's stack) is never touched here again.
      std::lock_guard<std::mutex> lock(job.completion->mutex);
      job.completion->done.store(true, std::memory_order_release);
      job.completion->done_cv.notify_one();
    }
    if (batch.empty() && !LookFor(kServerLook, [this] { return queued_.load(std::memory_order_acquire); })) {
      signal_.Wait();
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
  signal_.Raise();
  thread_.join();
  lock.lock();
  stopping_ = false;
  running_ = false;
  lock.unlock();
  progress_cv_.notify_all();
}

}  // namespace qtok
