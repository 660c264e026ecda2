#include "archive/write_behind.h"

#include "sys/run_state.h"

namespace tav {

namespace {

// Eight write blocks in flight: enough to keep both threads busy, little next to the install's memory.
constexpr std::size_t kInFlightBytes = 8 * 128 * 1024;
// Two jobs per small file: a few files ahead are enough to keep both threads busy.
constexpr std::size_t kMaxJobs = 32;

TRunSlot<TWriteBehind*>& ActiveSlot() {
  static auto& slot = TRunSlot<TWriteBehind*>::Make("write-behind queue", nullptr);
  return slot;
}

}  // namespace

TWriteBehind::TWriteBehind(std::size_t maxBytes) : maxBytes_(maxBytes) {}

TWriteBehind::~TWriteBehind() {
  {
    std::unique_lock<sys::Mutex> lock(mutex_);
    done_.wait(lock, [&] { return jobs_.empty() && !busy_; });
    stop_ = true;
  }
  work_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TWriteBehind::RethrowFailure(std::unique_lock<sys::Mutex>& lock) {
  if (!failure_) return;
  std::exception_ptr failure = std::exchange(failure_, nullptr);
  lock.unlock();
  std::rethrow_exception(failure);
}

void TWriteBehind::Push(TJob job, std::size_t bytes) {
  std::unique_lock<sys::Mutex> lock(mutex_);
  // One job may be larger than the limit; it waits until nothing else is queued. The count is bounded
  // too: a run cut short leaves no more than a few files made and not yet recorded.
  done_.wait(lock, [&] {
    return failure_ || jobs_.empty() || (bytes_ + bytes <= maxBytes_ && jobs_.size() < kMaxJobs);
  });
  if (failure_) {
    lock.unlock();
    job = nullptr;  // freed before the failure is reported, outside the lock
    lock.lock();
    RethrowFailure(lock);
  }
  jobs_.emplace_back(std::move(job), bytes);
  bytes_ += bytes;
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  lock.unlock();
  work_.notify_one();
}

void TWriteBehind::Wait() {
  std::unique_lock<sys::Mutex> lock(mutex_);
  done_.wait(lock, [&] { return jobs_.empty() && !busy_; });
  RethrowFailure(lock);
}

void TWriteBehind::Run() {
  std::unique_lock<sys::Mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    auto [job, bytes] = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    job = nullptr;
    std::deque<std::pair<TJob, std::size_t>> dropped;
    lock.lock();
    bytes_ -= bytes;
    if (failure) {
      if (!failure_) failure_ = failure;
      dropped.swap(jobs_);
      bytes_ = 0;
      // What the dropped jobs own (an unfinished file) is freed before anyone is told.
      lock.unlock();
      dropped.clear();
      lock.lock();
    }
    busy_ = false;
    done_.notify_all();
  }
}

TWriteBehind* ActiveWriteBehind() { return ActiveSlot().Get(); }

TWriteBehindScope::TWriteBehindScope() : previous_(ActiveSlot().Get()), outermost_(previous_ == nullptr) {
  if (outermost_) {
    own_ = std::make_unique<TWriteBehind>(kInFlightBytes);
    ActiveSlot().Set(own_.get());
  }
}

TWriteBehindScope::~TWriteBehindScope() {
  if (!outermost_) return;
  own_.reset();  // waits for what is queued
  ActiveSlot().Set(previous_);
}

void TWriteBehindScope::Finish() {
  if (TWriteBehind* queue = ActiveSlot().Get()) queue->Wait();
}

}  // namespace tav
