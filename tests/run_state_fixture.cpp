// Linked into every test program: each test starts from the run state the program had after its
// start-up wiring, whatever the previous test left behind.
#include <gtest/gtest.h>

#include "sys/run_state.h"

namespace {

class TRunStateReset : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { tav::ResetRunState(); }
  void OnTestEnd(const ::testing::TestInfo&) override { tav::ResetRunState(); }
};

// Registered before main runs the tests; gtest owns the listener.
const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TRunStateReset);
  return true;
}();

}  // namespace
