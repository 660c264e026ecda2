#pragma once
// Pieces shared by the object-model tests.
#include <string>

namespace tav::test {

// The message of the exception of class E that f raises, "(no exception)" when it raises none.
template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no exception)";
}

}  // namespace tav::test
