// The setup program of the restart test: the shipped program's start-up with a test project. What a
// user would see or the machine would do is written to "restart.log" in the test's build folder: the
// command line of each start, every message (a message box would stop the resumption, which runs
// unwatched at the restart), the restart request with the state of the shutdown privilege (the
// machine is never restarted), and the language a resumption speaks. The project has no success or
// failure pages for the same reason.
#include "ui/win32.h"

#include <string>

#include "app/streamable_classes.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "dialogs/pages.h"
#include "engine/cmp_TInstall.h"
#include "engine/translator_language.h"
#include "fixtures.h"
#include "lang/translate_controls.h"
#include "sys/files.h"
#include "sys/process.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;

namespace {

class TRestartProject : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TRestartProject, TForm>("TRestartProject");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

void Log(const std::string& line) {
  std::string unixPath = TAV_RESTART_LOG;
  for (char& c : unixPath)
    if (c == '/') c = '\\';
  const std::wstring path = sys::Wide("Z:" + unixPath);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

int RunProgram(TApplication& app) {
  Log("start " + sys::Narrow(GetCommandLineW()));
  app.SetMessageBoxHook([](const std::string& text, const std::string&, unsigned) {
    Log("message " + text);
    return IDOK;
  });
  sys::RestartCallSlot().SetStartValue([] {
    Log(std::string("restart privilege ") + (fixtures::ShutdownPrivilegeEnabled() ? "enabled" : "disabled"));
    return true;
  });
  try {
    app.Initialize();
    RegisterStreamableClasses();
    RegisterLangClasses();
    RegisterClass(TRestartProject::StaticClassInfo());
    auto* project = app.CreateForm<TRestartProject>();
    auto* install = dynamic_cast<TCustomInstall*>(project->FindComponent("Install1"));
    if (!install || !TranslatorLanguage())
      throw Exception(std::string("the test project lacks its installer or its translator"));
    if (install->Switches().Has(swAfterReboot)) {
      Log("language " + std::to_string(*TranslatorLanguage()));
    } else {
      // The user's choice of language, made before the restart (after the walk, which reads English).
      install->OnBeforeReboot = [](TCustomInstall*, bool&) { SetTranslatorLanguage(tvlFrench); };
    }
    CreatePageForms();
  } catch (const Exception& e) {
    Log("message " + e.Message());
    return 1;
  }
  app.Run();
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  TApplication& app = Application();
  app.SetTitle("Setup");
  const int code = RunProgram(app);
  app.DestroyForms();
  Log("end " + std::to_string(code));
  return code;
}
