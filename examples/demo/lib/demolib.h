#pragma once
// The demo's shared library: it tells its own version, read from its version resource.
#include <windows.h>

extern "C" {
// Writes "major.minor.release.build" into text (size characters, terminator included); the number
// of characters written, 0 when the library carries no version.
__declspec(dllexport) int DemoLibraryVersion(wchar_t* text, int size);
}
