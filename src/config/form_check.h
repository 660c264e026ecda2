#pragma once
// Checks a form against the registered classes without creating anything: every class, property
// path and value kind is looked up, and each fault is named with the component it belongs to.
#include <string>
#include <vector>

#include "config/form_tree.h"

namespace tav::config {

// One line per fault, e.g. "Form1.Install1: class TInstal is not registered"; empty when the form is sound.
std::vector<std::string> CheckForm(const ObjectRecord& root);

}  // namespace tav::config
