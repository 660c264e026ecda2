#pragma once
// What assistive technology reads of the layer's windows: each window of a control answers
// WM_GETOBJECT for its client area with an IAccessible (MSAA) made from the control's accessible
// role, name, value and state (TWinControl::Accessible*), whose children are the control's child
// windows in z-order (which is the reading order) followed by its items (list rows, tree rows).
// The object holds only the window handle: a control that is gone answers "disconnected".
#include "ui/win32.h"

namespace tav {

// The result of WM_GETOBJECT for a control's window; 0 for objects other than the client area.
LRESULT AccessibleObjectResult(HWND window, WPARAM wParam, LPARAM objectId);

}  // namespace tav
