#include "ui/accessible.h"

#include <ole2.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "sys/unicode.h"
#include "ui/controls.h"

namespace tav {

namespace {

BSTR MakeBstr(const std::string& text) { return SysAllocString(sys::Wide(text).c_str()); }

// A text result: S_FALSE and no string when there is none, as MSAA clients expect.
HRESULT TextResult(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = MakeBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The client object of a control's window: IAccessible for what it is, IEnumVARIANT for its children.
class TAccessibleWindow final : public IAccessible, public IEnumVARIANT {
public:
  explicit TAccessibleWindow(HWND window) : window_(window) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: MSAA clients call the interface directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!Control()) return RPC_E_DISCONNECTED;
    HWND up = GetAncestor(window_, GA_PARENT);
    if (!up || up == GetDesktopWindow()) up = GetDesktopWindow();
    return AccessibleObjectFromWindow(up, OBJID_CLIENT, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    *count = static_cast<long>(ChildWindows().size()) + c->AccessibleItemCount();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Control()) return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    const std::vector<HWND> windows = ChildWindows();
    if (child.lVal >= 1 && child.lVal <= static_cast<long>(windows.size()))
      return ObjectOf(windows[static_cast<std::size_t>(child.lVal - 1)], out);
    // Items are simple elements, answered by this object.
    return ItemIndex(child) >= 0 ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    if (IsSelf(child)) return TextResult(c->AccessibleName(), name);
    TAccessibleItem item;
    if (!Item(child, item)) return E_INVALIDARG;
    return TextResult(item.Name, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return TextResult({}, value);
    return TextResult(c->AccessibleValue(), value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override {
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    return TextResult(c->Hint(), text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    role->vt = VT_I4;
    if (IsSelf(child)) {
      role->lVal = c->AccessibleRole();
      return S_OK;
    }
    TAccessibleItem item;
    if (!Item(child, item)) return E_INVALIDARG;
    role->lVal = item.Role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    state->vt = VT_I4;
    if (IsSelf(child)) {
      long s = c->AccessibleState();
      if (!IsWindowVisible(window_)) s |= STATE_SYSTEM_INVISIBLE;
      if (!IsWindowEnabled(window_)) s |= STATE_SYSTEM_UNAVAILABLE;
      if (GetWindowLongPtrW(window_, GWL_STYLE) & WS_TABSTOP) s |= STATE_SYSTEM_FOCUSABLE;
      if (GetFocus() == window_) s |= STATE_SYSTEM_FOCUSED;
      state->lVal = s;
      return S_OK;
    }
    TAccessibleItem item;
    if (!Item(child, item)) return E_INVALIDARG;
    state->lVal = item.State | (IsWindowVisible(window_) ? 0 : STATE_SYSTEM_INVISIBLE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return TextResult({}, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    return TextResult(IsSelf(child) ? c->AccessibleShortcut() : std::string(), shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    if (!Control()) return RPC_E_DISCONNECTED;
    HWND f = GetFocus();
    if (f == window_) {
      focus->vt = VT_I4;
      focus->lVal = CHILDID_SELF;
      return S_OK;
    }
    if (!f || !IsChild(window_, f)) return S_FALSE;
    IDispatch* object = nullptr;
    if (FAILED(ObjectOf(f, &object)) || !object) return S_FALSE;
    focus->vt = VT_DISPATCH;
    focus->pdispVal = object;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    VariantInit(selection);
    return Control() ? S_FALSE : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    return TextResult(IsSelf(child) ? c->AccessibleDefaultAction() : std::string(), action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || flags != SELFLAG_TAKEFOCUS) return E_NOTIMPL;
    if (!IsWindowVisible(window_) || !IsWindowEnabled(window_)) return S_FALSE;
    SetFocus(window_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    RECT r{};
    if (IsSelf(child)) {
      GetWindowRect(window_, &r);
    } else {
      TAccessibleItem item;
      if (!Item(child, item)) return E_INVALIDARG;
      r = item.Bounds;
      MapWindowPoints(window_, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    }
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    if (!IsSelf(start)) return S_FALSE;
    HWND to = nullptr;
    switch (direction) {
      case NAVDIR_FIRSTCHILD: to = GetWindow(window_, GW_CHILD); break;
      case NAVDIR_LASTCHILD:
        to = GetWindow(window_, GW_CHILD);
        if (to) to = GetWindow(to, GW_HWNDLAST);
        break;
      case NAVDIR_NEXT: to = GetWindow(window_, GW_HWNDNEXT); break;
      case NAVDIR_PREVIOUS: to = GetWindow(window_, GW_HWNDPREV); break;
      default: return E_NOTIMPL;
    }
    // Top-level windows have no siblings here: the desktop's object knows them.
    if (!to || ((direction == NAVDIR_NEXT || direction == NAVDIR_PREVIOUS) && !(GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD)))
      return S_FALSE;
    IDispatch* object = nullptr;
    if (FAILED(ObjectOf(to, &object)) || !object) return S_FALSE;
    end->vt = VT_DISPATCH;
    end->pdispVal = object;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    RECT r{};
    GetWindowRect(window_, &r);
    const POINT screen{x, y};
    if (!PtInRect(&r, screen)) return S_FALSE;
    POINT client = screen;
    ScreenToClient(window_, &client);
    HWND child = ChildWindowFromPointEx(window_, client, CWP_SKIPINVISIBLE);
    if (child && child != window_) {
      IDispatch* object = nullptr;
      if (SUCCEEDED(ObjectOf(child, &object)) && object) {
        hit->vt = VT_DISPATCH;
        hit->pdispVal = object;
        return S_OK;
      }
    }
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    const long windows = static_cast<long>(ChildWindows().size());
    for (int i = 0; i < c->AccessibleItemCount(); ++i) {
      TAccessibleItem item;
      if (c->AccessibleItem(i, item) && PtInRect(&item.Bounds, client)) {
        hit->lVal = windows + 1 + i;
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return DISP_E_MEMBERNOTFOUND;
    return c->DoAccessibleDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  // IEnumVARIANT over the children: windows as objects, items as child ids.
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    const TWinControl* c = Control();
    if (!c) return RPC_E_DISCONNECTED;
    const std::vector<HWND> windows = ChildWindows();
    const ULONG total = static_cast<ULONG>(windows.size()) + static_cast<ULONG>(c->AccessibleItemCount());
    ULONG got = 0;
    for (; got < wanted && cursor_ < total; ++cursor_) {
      VARIANT& v = out[got];
      VariantInit(&v);
      if (cursor_ < windows.size()) {
        IDispatch* object = nullptr;
        if (FAILED(ObjectOf(windows[cursor_], &object)) || !object) continue;
        v.vt = VT_DISPATCH;
        v.pdispVal = object;
      } else {
        v.vt = VT_I4;
        v.lVal = static_cast<long>(cursor_) + 1;
      }
      ++got;
    }
    if (fetched) *fetched = got;
    return got == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    cursor_ += count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    cursor_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    auto* copy = new TAccessibleWindow(window_);
    copy->cursor_ = cursor_;
    *out = static_cast<IEnumVARIANT*>(copy);
    return S_OK;
  }

private:
  ~TAccessibleWindow() = default;

  TWinControl* Control() const { return IsWindow(window_) ? TWinControl::FromHandle(window_) : nullptr; }
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

  // Child windows in z-order, which is the order they are read in.
  std::vector<HWND> ChildWindows() const {
    std::vector<HWND> out;
    for (HWND w = GetWindow(window_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) out.push_back(w);
    return out;
  }
  // Index of the item a child id names; -1 when it names none.
  int ItemIndex(const VARIANT& child) const {
    const TWinControl* c = Control();
    if (!c || child.vt != VT_I4) return -1;
    const long index = child.lVal - 1 - static_cast<long>(ChildWindows().size());
    return index >= 0 && index < c->AccessibleItemCount() ? static_cast<int>(index) : -1;
  }
  bool Item(const VARIANT& child, TAccessibleItem& item) const {
    const int index = ItemIndex(child);
    return index >= 0 && Control()->AccessibleItem(index, item);
  }
  static HRESULT ObjectOf(HWND window, IDispatch** out) {
    if (TWinControl::FromHandle(window)) {
      *out = static_cast<IAccessible*>(new TAccessibleWindow(window));
      return S_OK;
    }
    // A window of another kind: the system's object for it.
    return AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IDispatch), reinterpret_cast<void**>(out));
  }

  LONG refs_ = 1;
  HWND window_;
  ULONG cursor_ = 0;
};

}  // namespace

LRESULT AccessibleObjectResult(HWND window, WPARAM wParam, LPARAM objectId) {
  if (static_cast<LONG>(objectId) != OBJID_CLIENT) return 0;
  // Handing the object over needs COM on this thread; the program's other COM users are
  // single-threaded apartments too, so this joins theirs.
  static const bool com = [] {
    const HRESULT hr = CoInitialize(nullptr);
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
  }();
  if (!com) return 0;
  auto* object = new TAccessibleWindow(window);
  const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
  object->Release();
  return result > 0 ? result : 0;
}

}  // namespace tav
