#pragma once
// The common controls library, loaded when the first window or image list needs it. Loading it makes
// Wine start its desktop process and wait for it; an unattended run, which makes no window, never pays
// for that. Every use in the program goes through here, so nothing imports the library at start.
#include "ui/win32.h"

namespace tav::comctl {

// Loads the library and registers the common control classes, once; EComponentError when it cannot.
void Ensure();

HIMAGELIST ImageListCreate(int cx, int cy, UINT flags, int initial, int grow);
int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask);
void ImageListDestroy(HIMAGELIST list);
BOOL SetSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefSubclass(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace tav::comctl
