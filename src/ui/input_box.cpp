#include "ui/input_box.h"

#include "sys/unicode.h"
#include "ui/controls.h"
#include "ui/dialog_template.h"

namespace tav {
namespace {

struct InputState {
  std::wstring caption, prompt, value;
};

constexpr int kInputEditId = 100;
constexpr int kInputPromptId = 101;

INT_PTR CALLBACK InputDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<InputState*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      SetWindowTextW(window, state->caption.c_str());
      SetDlgItemTextW(window, kInputPromptId, state->prompt.c_str());
      SetDlgItemTextW(window, kInputEditId, state->value.c_str());
      SetDlgItemTextW(window, IDOK, L"OK");
      SetDlgItemTextW(window, IDCANCEL, L"Cancel");
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(window, DWLP_USER));
        state->value = sys::Wide(WindowTextOf(GetDlgItem(window, kInputEditId)));
        EndDialog(window, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool InputQuery(HWND owner, const std::string& caption, const std::string& prompt, std::string& value) {
  TDialogTemplate t(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 212, 66,
                    L"MS Shell Dlg", 8);
  t.Item(dicStatic, kInputPromptId, SS_LEFT | SS_NOPREFIX, 7, 7, 198, 10);
  t.Item(dicEdit, kInputEditId, ES_AUTOHSCROLL | WS_TABSTOP, 7, 20, 198, 14, WS_EX_CLIENTEDGE);
  t.Item(dicButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 101, 44, 50, 14);
  t.Item(dicButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 155, 44, 50, 14);
  InputState state{sys::Wide(caption), sys::Wide(prompt), sys::Wide(value)};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, &InputDialogProc,
                                                 reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  value = sys::Narrow(state.value);
  return true;
}

}  // namespace tav
