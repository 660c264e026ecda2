#pragma once
// The one place the Windows-only layers include <windows.h>: it turns names of the component model
// (RegisterClass, GetObject, MessageBox) into its A/W macros, which are undone here once.
#include <windows.h>

#include <commctrl.h>

#undef RegisterClass
#undef GetObject
#undef MessageBox
