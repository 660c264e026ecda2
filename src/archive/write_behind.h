#pragma once
// Writing behind the caller. Under Wine every create, close and registry write of a file is a round
// trip to the wineserver; while one thread waits for it the other can inflate and create the next
// file. Jobs run on one thread of their own, in the order given. The first job that fails stops the
// rest: they are dropped without running (whatever they own is freed, so an unfinished file is
// removed) and the failure reaches the caller at its next Push or Wait.
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "sys/sync.h"

namespace tav {

class TWriteBehind {
public:
  using TJob = std::function<void()>;

  // Push waits while the jobs queued carry more than maxBytes, or are many.
  explicit TWriteBehind(std::size_t maxBytes);
  // Waits for the jobs given; a failure not yet reported is dropped (the caller is failing already).
  ~TWriteBehind();
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  // Queues job, counting bytes against the limit until it has run. Rethrows an earlier job's failure
  // instead (job is then dropped).
  void Push(TJob job, std::size_t bytes = 0);
  // Waits until every job given has run; rethrows the first failure.
  void Wait();

private:
  void Run();
  void RethrowFailure(std::unique_lock<sys::Mutex>& lock);

  const std::size_t maxBytes_;
  sys::Mutex mutex_;
  sys::CondVar work_, done_;
  std::deque<std::pair<TJob, std::size_t>> jobs_;
  std::size_t bytes_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

// The queue of the install running, set for a stretch in which files and their uninstall entries may
// be written behind (a file container's install); nullptr outside one.
TWriteBehind* ActiveWriteBehind();

// Sets a queue for a scope. Finish waits for it and reports a failure; leaving the scope without
// Finish (an error already on its way) waits quietly.
class TWriteBehindScope {
public:
  TWriteBehindScope();
  ~TWriteBehindScope();
  TWriteBehindScope(const TWriteBehindScope&) = delete;
  TWriteBehindScope& operator=(const TWriteBehindScope&) = delete;
  void Finish();

private:
  TWriteBehind* previous_;
  bool outermost_;
  std::unique_ptr<TWriteBehind> own_;
};

}  // namespace tav
