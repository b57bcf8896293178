#include "apartment.h"

#include <exception>
#include <system_error>
#include <utility>

namespace qtok {

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
  bool done = false;
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
                         &done});
  }
  signal_.Raise();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    progress_cv_.wait(lock, [&] { return done; });
  }
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
      stop = stopping_ && batch.empty();
    }
    if (stop) break;
    for (Job& job : batch) {
      if (job.done == nullptr) {
        try {
          job.work();
        } catch (...) {
          // Posted work reports to no one.
        }
        continue;
      }
      job.work();  // catches what it throws itself
      {
        std::lock_guard<std::mutex> lock(mutex_);
        *job.done = true;
      }
      progress_cv_.notify_all();
    }
    if (batch.empty()) signal_.Wait();
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
