#include "ui/common_controls.h"

#include "core/exceptions_Tavenrik.h"

namespace tav::comctl {

namespace {

struct TLibrary {
  decltype(&::ImageList_Create) imageListCreate = nullptr;
  decltype(&::ImageList_AddMasked) imageListAddMasked = nullptr;
  decltype(&::ImageList_Destroy) imageListDestroy = nullptr;
  decltype(&::SetWindowSubclass) setWindowSubclass = nullptr;
  decltype(&::RemoveWindowSubclass) removeWindowSubclass = nullptr;
  decltype(&::DefSubclassProc) defSubclassProc = nullptr;
};

template <class F>
void Find(HMODULE module, const char* name, F& f) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!f) throw EComponentError("The common controls library lacks %s", std::string(name));
}

const TLibrary& Library() {
  static const TLibrary library = [] {
    // Bound through the program's manifest to the version that draws themed controls.
    HMODULE module = LoadLibraryW(L"comctl32.dll");
    if (!module) throw EComponentError("Cannot load the common controls library (error %d)", static_cast<int>(GetLastError()));
    decltype(&::InitCommonControlsEx) init = nullptr;
    Find(module, "InitCommonControlsEx", init);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    init(&icc);
    TLibrary l;
    Find(module, "ImageList_Create", l.imageListCreate);
    Find(module, "ImageList_AddMasked", l.imageListAddMasked);
    Find(module, "ImageList_Destroy", l.imageListDestroy);
    Find(module, "SetWindowSubclass", l.setWindowSubclass);
    Find(module, "RemoveWindowSubclass", l.removeWindowSubclass);
    Find(module, "DefSubclassProc", l.defSubclassProc);
    return l;
  }();
  return library;
}

}  // namespace

void Ensure() { Library(); }

HIMAGELIST ImageListCreate(int cx, int cy, UINT flags, int initial, int grow) {
  return Library().imageListCreate(cx, cy, flags, initial, grow);
}
int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) {
  return Library().imageListAddMasked(list, bitmap, mask);
}
void ImageListDestroy(HIMAGELIST list) { Library().imageListDestroy(list); }
BOOL SetSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  return Library().setWindowSubclass(window, proc, id, data);
}
BOOL RemoveSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  return Library().removeWindowSubclass(window, proc, id);
}
LRESULT DefSubclass(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Library().defSubclassProc(window, msg, wParam, lParam);
}

}  // namespace tav::comctl
