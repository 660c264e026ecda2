#include "ui/application.h"

#include <memory>

#include "config/resources.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "core/run_log.h"
#include "sys/files.h"
#include "sys/pump.h"
#include "sys/run_state.h"
#include "sys/unicode.h"
#include "ui/buttons.h"
#include "ui/comctrls.h"
#include "ui/extctrls.h"
#include "ui/grids.h"
#include "ui/stdctrls.h"
#include "ui/win32.h"

namespace tav {

namespace {

std::string ProgramTitle() { return ChangeFileExt(ExtractFileName(sys::ModuleFileName()), ""); }

void EnableDpiAwareness() {
  // Per-monitor (v2) where the system has it, else system-wide; looked up so that Windows 7 starts.
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) return;
  SetProcessDPIAware();
}

}  // namespace

const TClassInfo& TApplication::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TApplication, TComponent>("TApplication");
  return info;
}

TApplication::TApplication() : TComponent(nullptr), title_(ProgramTitle()) {}

TApplication::~TApplication() {
  Destroying();
  DestroyForms();
}

void TApplication::DestroyForms() {
  // Forms go while the application can still take their exceptions.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

void TApplication::Initialize() {
  // The common controls are registered with the first window (common_controls.h).
  EnableDpiAwareness();
  sys::MessagePumpHook().SetStartValue([this] { ProcessMessages(); });
}

void TApplication::ResetRun() {
  OnException = nullptr;
  messageBoxHook_ = nullptr;
  terminated_ = false;
  showMainForm_ = true;
  atStart_.clear();
  // A quit request that no loop took (Terminate outside Run) would end the next loop at once.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// Puts the program's application back to the start of a run along with the other run-wide slots.
class TApplicationRunSlot final : public TRunSlotBase {
public:
  explicit TApplicationRunSlot(TApplication& app) : TRunSlotBase("application run state"), app_(app) {}
  void Reset() override { app_.ResetRun(); }

private:
  TApplication& app_;
};

std::unique_ptr<TForm> CreateFormFromLayout(const TClassInfo& formClass, TComponent* owner,
                                            const TClassInfo& base) {
  if (!formClass.InheritsFrom(base) || !formClass.Create)
    throw EComponentError("%s is not a %s class that can be created", formClass.Name, base.Name);
  std::unique_ptr<TComponent> made(formClass.Create(owner));
  auto* form = dynamic_cast<TForm*>(made.get());
  if (!form) throw EComponentError("%s is not a %s class that can be created", formClass.Name, base.Name);
  config::LoadFormFromResource(*form);
  form->DoCreate();
  made.release();
  return std::unique_ptr<TForm>(form);
}

TForm* TApplication::CreateForm(const TClassInfo& formClass) {
  TForm* form = CreateFormFromLayout(formClass, this).release();
  if (!mainForm_) {
    mainForm_ = form;
  }
  return form;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == mainForm_) mainForm_ = nullptr;
}

void TApplication::Run() {
  if (!terminated_ && mainForm_ && showMainForm_) {
    try {
      mainForm_->Show();
    } catch (...) {
      HandleCurrentException(mainForm_);
    }
  }
  std::vector<std::function<void()>> calls;
  calls.swap(atStart_);
  for (const auto& call : calls) {
    if (terminated_) break;
    try {
      call();
    } catch (...) {
      HandleCurrentException(this);
    }
  }
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleCurrentException(this);
    }
  }
  // The quit request has done its work; leave none behind for a later loop.
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void TApplication::Terminate() {
  terminated_ = true;
  // Wakes a waiting loop, and ends modal loops of the system (message boxes) as well.
  PostQuitMessage(0);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // Tab, arrows, Enter and Esc move between and press controls of a form.
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root)); form && form->DialogKey(msg.hwnd, msg.wParam))
      return true;
  }
  if (root && msg.message == WM_SYSCHAR) {
    if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root));
        form && form->DialogChar(static_cast<wchar_t>(msg.wParam)))
      return true;
  }
  if (root && TWinControl::FromHandle(root) && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
      IsDialogMessageW(root, &msg)) {
    return true;
  }
  ::TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) WaitMessage();
}

void TApplication::HandleException(TObject* sender, const Exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (!OnException) {
    ShowException(e);
    return;
  }
  try {
    OnException(sender, e);
  } catch (const Exception& inner) {
    // A failing handler must not take the program down; its own failure is shown instead.
    ShowException(inner);
  } catch (const std::exception& inner) {
    ShowException(Exception(inner.what()));
  } catch (...) {
    ShowException(Exception("Unknown error in the exception handler"));
  }
}

void TApplication::ShowException(const Exception& e) {
  LogEvent("Error: %s", e.Message());
  ShowBox(e.Message(), title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  LogEvent("Message: %s", text);
  return ShowBox(text, caption, flags);
}

namespace {

// The button a message box of these flags has focused when it opens.
int DefaultButton(unsigned flags) {
  static const int buttons[][3] = {{IDOK, IDOK, IDOK},
                                   {IDOK, IDCANCEL, IDCANCEL},
                                   {IDABORT, IDRETRY, IDIGNORE},
                                   {IDYES, IDNO, IDCANCEL},
                                   {IDYES, IDNO, IDNO},
                                   {IDRETRY, IDCANCEL, IDCANCEL},
                                   {IDCANCEL, IDTRYAGAIN, IDCONTINUE}};
  const unsigned type = flags & MB_TYPEMASK;
  const unsigned index = (flags & MB_DEFMASK) >> 8;
  return type < 7 && index < 3 ? buttons[type][index] : IDOK;
}

}  // namespace

int TApplication::ShowBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (messageBoxHook_) return messageBoxHook_(text, caption, flags);
  if (Unattended()) {
    const int answer = DefaultButton(flags);
    if ((flags & MB_TYPEMASK) != MB_OK) LogEvent("Answered with the default button (%d)", answer);
    return answer;
  }
  HWND owner = GetActiveWindow();
  if (!owner && mainForm_ && mainForm_->HandleAllocated() && IsWindowVisible(mainForm_->WindowHandle()))
    owner = mainForm_->WindowHandle();
  return ::MessageBoxW(owner, sys::Wide(text).c_str(), sys::Wide(caption).c_str(), flags);
}

TApplication& Application() {
  // Never destroyed: a destructor at static destruction would free forms after what they use is gone.
  static TApplication& app = [] () -> TApplication& {
    auto* made = new TApplication;
    new TApplicationRunSlot(*made);  // lives as long, like every run-wide slot
    return *made;
  }();
  return app;
}

void HandleCurrentException(TObject* sender) {
  // Never lets anything escape: it is called where unwinding further would cross the system's frames.
  try {
    try {
      throw;
    } catch (const Exception& e) {
      Application().HandleException(sender, e);
    } catch (const std::exception& e) {
      Application().HandleException(sender, Exception(e.what()));
    } catch (...) {
      Application().HandleException(sender, Exception("Unknown error"));
    }
  } catch (...) {
  }
}

void RegisterUiClasses() {
  RegisterClass(TForm::StaticClassInfo());
  for (const TClassInfo* info :
       {&TPanel::StaticClassInfo(), &TLabel::StaticClassInfo(), &TButton::StaticClassInfo(),
        &TBitBtn::StaticClassInfo(), &TEdit::StaticClassInfo(), &TMemo::StaticClassInfo(),
        &TRichEdit::StaticClassInfo(), &TCheckBox::StaticClassInfo(), &TRadioGroup::StaticClassInfo(),
        &TListBox::StaticClassInfo(), &TProgressBar::StaticClassInfo(), &TImage::StaticClassInfo(),
        &TBevel::StaticClassInfo(), &TTabControl::StaticClassInfo(), &TGroupBox::StaticClassInfo(),
        &TStringGrid::StaticClassInfo()})
    RegisterClass(*info);
}

}  // namespace tav
