#pragma once
// "formconv check": checks a form against the class registry (classes, property names and types).
#include <ostream>

#include "config/form_tree.h"

// Returns the exit code; writes one line per fault to err.
int RunCheck(const tav::config::ObjectRecord& root, std::ostream& err);
