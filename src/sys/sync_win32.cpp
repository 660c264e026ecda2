#include "sys/sync.h"

#include <windows.h>

namespace tav::sys {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {

SRWLOCK* Lock(void*& state) { return reinterpret_cast<SRWLOCK*>(&state); }
CONDITION_VARIABLE* Condition(void*& state) { return reinterpret_cast<CONDITION_VARIABLE*>(&state); }

}  // namespace

Mutex::Mutex() { InitializeSRWLock(Lock(state_)); }
void Mutex::lock() { AcquireSRWLockExclusive(Lock(state_)); }
bool Mutex::try_lock() { return TryAcquireSRWLockExclusive(Lock(state_)) != 0; }
void Mutex::unlock() { ReleaseSRWLockExclusive(Lock(state_)); }

CondVar::CondVar() { InitializeConditionVariable(Condition(state_)); }

void CondVar::wait(std::unique_lock<Mutex>& lock) {
  // Without a timeout the wait ends only when woken (or spuriously, which callers' loops allow).
  SleepConditionVariableSRW(Condition(state_), Lock(lock.mutex()->state_), INFINITE, 0);
}

void CondVar::notify_one() { WakeConditionVariable(Condition(state_)); }
void CondVar::notify_all() { WakeAllConditionVariable(Condition(state_)); }

}  // namespace tav::sys
