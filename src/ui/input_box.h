#pragma once
// A small modal box asking for one line of text.
#include <string>

#include "ui/win32.h"

namespace tav {

// Shows caption, prompt and an edit holding value; on OK value takes what was typed and the result
// is true. Cancel, Escape or the close box leave value as it was and give false.
bool InputQuery(HWND owner, const std::string& caption, const std::string& prompt, std::string& value);

}  // namespace tav
