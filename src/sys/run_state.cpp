#include "sys/run_state.h"

namespace tav {

namespace {
// Constant-initialised, so a slot made during another unit's static initialisation finds it.
constinit TRunSlotBase* slots = nullptr;
}  // namespace

TRunSlotBase::TRunSlotBase(const char* name) : name_(name), next_(slots) { slots = this; }

void ResetRunState() {
  for (TRunSlotBase* s = slots; s; s = s->next_) s->Reset();
}

std::vector<std::string> RunSlotNames() {
  std::vector<std::string> names;
  for (TRunSlotBase* s = slots; s; s = s->next_) names.emplace_back(s->name_);
  return names;
}

}  // namespace tav
