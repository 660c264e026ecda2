// The input box and the in-memory dialog template it is built from. The box runs on the test thread;
// a thread timer acts on it from inside its modal loop, and every action ends the box.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sys/unicode.h"
#include "ui/dialog_template.h"
#include "ui/input_box.h"
#include "window_probe.h"

namespace tav {
namespace {

// What the box showed when the script reached it.
struct TBoxSeen {
  std::string caption, prompt, value;
};

std::function<void(HWND)> gAct;
TBoxSeen gSeen;

HWND VisibleDialogOfThisThread() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM data) -> BOOL {
        if (ClassOf(w) != L"#32770" || !IsWindowVisible(w)) return TRUE;
        *reinterpret_cast<HWND*>(data) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK ActOnBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = VisibleDialogOfThisThread();
  if (!box || !gAct) return;
  auto act = std::move(gAct);
  gAct = nullptr;
  gSeen = {TextOf(box), TextOf(ChildOfClass(box, L"Static")), TextOf(ChildOfClass(box, L"Edit"))};
  act(box);
}

// InputQuery with act run on the box once it is on screen.
bool RunInputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                   std::function<void(HWND)> act) {
  gAct = std::move(act);
  gSeen = {};
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ActOnBox);
  const bool result = InputQuery(nullptr, caption, prompt, value);
  KillTimer(nullptr, timer);
  EXPECT_FALSE(gAct) << "the box never showed";
  return result;
}

void Type(HWND box, const std::string& text) {
  SetWindowTextW(ChildOfClass(box, L"Edit"), sys::Wide(text).c_str());
}

TEST(InputBox, ShowsItsTextsAndReturnsWhatWasTypedOnlyOnOk) {
  const std::string caption = "Neuer Ordner \xE2\x80\x93 \xC3\x84nderung";  // a dash and an umlaut
  std::string value = "start";
  EXPECT_TRUE(RunInputQuery(caption, "Name of the new folder:", value, [](HWND box) {
    Type(box, "  Caf\xC3\xA9 folder ");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }));
  EXPECT_EQ(gSeen.caption, caption);
  EXPECT_EQ(gSeen.prompt, "Name of the new folder:");
  EXPECT_EQ(gSeen.value, "start");
  EXPECT_EQ(value, "  Caf\xC3\xA9 folder ") << "given back as typed, blanks included";

  // Cancel and the close box both leave the value alone, whatever was typed.
  EXPECT_FALSE(RunInputQuery("c", "p", value, [](HWND box) {
    Type(box, "discarded");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }));
  EXPECT_FALSE(RunInputQuery("c", "p", value, [](HWND box) {
    Type(box, "discarded");
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  }));
  EXPECT_EQ(value, "  Caf\xC3\xA9 folder ");
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

// The controls come out where the template puts them, in dialog units of the dialog's font, with or
// without a font of its own.
TEST(DialogTemplate, ControlsHaveTheirClassIdAndPlace) {
  for (const DWORD font : {DWORD{0}, DWORD{DS_SETFONT}}) {
    TDialogTemplate t(WS_POPUP | WS_CAPTION | font, 200, 80, L"MS Shell Dlg", 8);
    t.Item(dicStatic, 11, SS_LEFT, 7, 7, 120, 10);
    t.Item(dicEdit, 12, ES_AUTOHSCROLL, 7, 20, 186, 14, WS_EX_CLIENTEDGE);
    t.Item(dicButton, IDOK, BS_DEFPUSHBUTTON, 143, 60, 50, 14);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, &PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr) << font;
    const struct {
      int id;
      const wchar_t* cls;
      RECT place, size;  // in dialog units; the system maps a position and a size each on its own
    } expected[] = {{11, L"Static", {7, 7, 7, 7}, {0, 0, 120, 10}},
                    {12, L"Edit", {7, 20, 7, 20}, {0, 0, 186, 14}},
                    {IDOK, L"Button", {143, 60, 143, 60}, {0, 0, 50, 14}}};
    EXPECT_EQ(Children(dialog).size(), 3u) << font;
    for (const auto& e : expected) {
      HWND child = GetDlgItem(dialog, e.id);
      ASSERT_NE(child, nullptr) << e.id << " " << font;
      EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), e.cls), 0) << e.id << " " << font;
      EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD, 0) << e.id << " " << font;
      RECT place = e.place, size = e.size;
      MapDialogRect(dialog, &place);
      MapDialogRect(dialog, &size);
      RECT got{};
      GetWindowRect(child, &got);
      MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&got), 2);
      EXPECT_EQ(got.left, place.left) << e.id << " " << font;
      EXPECT_EQ(got.top, place.top) << e.id << " " << font;
      EXPECT_EQ(got.right - got.left, size.right) << e.id << " " << font;
      EXPECT_EQ(got.bottom - got.top, size.bottom) << e.id << " " << font;
    }
    EXPECT_NE(GetWindowLongW(GetDlgItem(dialog, 12), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << font;
    DestroyWindow(dialog);
  }
}

}  // namespace
}  // namespace tav
