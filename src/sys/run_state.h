#pragma once
// Run-wide state. Every process-wide slot of the program (the running installer, the current dialog
// manager, the page registries, the hooks an upper layer installs at start-up ...) is a TRunSlot:
// one kind of place, listed by RunSlotNames, put back to its start value by ResetRunState (what test
// programs call between cases), and set for a scope by TRunSlotScope, which restores what it found.
// A slot is made on first use and never destroyed, so a component freed at program end still finds
// the lists it leaves.
#include <string>
#include <utility>
#include <vector>

namespace tav {

class TRunSlotBase {
public:
  TRunSlotBase(const TRunSlotBase&) = delete;
  TRunSlotBase& operator=(const TRunSlotBase&) = delete;

  const char* Name() const { return name_; }
  // Back to the start value.
  virtual void Reset() = 0;

protected:
  explicit TRunSlotBase(const char* name);
  virtual ~TRunSlotBase() = default;

private:
  friend void ResetRunState();
  friend std::vector<std::string> RunSlotNames();
  const char* name_;
  TRunSlotBase* next_;
};

template <class T>
class TRunSlot final : public TRunSlotBase {
public:
  // The slot lives to the end of the process; its owner keeps the reference in a function-local static.
  static TRunSlot& Make(const char* name, T start = T{}) { return *new TRunSlot(name, std::move(start)); }

  const T& Get() const { return value_; }
  T& Value() { return value_; }
  void Set(T value) { value_ = std::move(value); }
  // Start-up wiring (a hook an upper layer installs, a class registered for good): the value is kept
  // by ResetRunState.
  void SetStartValue(T value) {
    start_ = value;
    value_ = std::move(value);
  }
  void KeepAsStart() { start_ = value_; }
  void Reset() override { value_ = start_; }

private:
  TRunSlot(const char* name, T start) : TRunSlotBase(name), start_(start), value_(std::move(start)) {}
  T start_;
  T value_;
};

// Sets a slot for a scope and restores the value it found, however the scope is left.
template <class T>
class TRunSlotScope {
public:
  TRunSlotScope(TRunSlot<T>& slot, T value) : slot_(slot), previous_(std::exchange(slot.Value(), std::move(value))) {}
  ~TRunSlotScope() { slot_.Set(std::move(previous_)); }
  TRunSlotScope(const TRunSlotScope&) = delete;
  TRunSlotScope& operator=(const TRunSlotScope&) = delete;

private:
  TRunSlot<T>& slot_;
  T previous_;
};

// Every slot made so far back to its start value.
void ResetRunState();
// The slots made so far, newest first.
std::vector<std::string> RunSlotNames();

}  // namespace tav
