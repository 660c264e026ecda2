#pragma once
// A lock and a wake-up for threads that hand work to each other. On Windows these are the system's
// slim reader/writer lock and condition variable: the C runtime's own (semaphores and events) cost a
// round trip to the wineserver under Wine for every wake-up, these wait in the kernel.
#include <condition_variable>
#include <mutex>

namespace tav::sys {

#ifdef _WIN32

class Mutex {
public:
  Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  bool try_lock();
  void unlock();

private:
  friend class CondVar;
  void* state_;  // an SRWLOCK, one pointer
};

class CondVar {
public:
  CondVar();
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;
  void wait(std::unique_lock<Mutex>& lock);
  template <class Pred>
  void wait(std::unique_lock<Mutex>& lock, Pred ready) {
    while (!ready()) wait(lock);
  }
  void notify_one();
  void notify_all();

private:
  void* state_;  // a CONDITION_VARIABLE, one pointer
};

#else

using Mutex = std::mutex;
using CondVar = std::condition_variable;

#endif

}  // namespace tav::sys
