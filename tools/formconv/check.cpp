#include "check.h"

// Placeholder until the class registry is linked into formconv.
int RunCheck(const tav::config::ObjectRecord&, std::ostream& err) {
  err << "formconv: check is not available in this build\n";
  return 1;
}
