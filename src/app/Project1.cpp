// The setup program: creates the project form and the page forms, then runs the message loop. The
// installer component takes over when the project has been loaded.
#include "app/Unit1.h"
#include "app/streamable_classes.h"
#include "dialogs/pages.h"
#include "engine/command_line.h"
#include "engine/run_outcome.h"
#include "ui/application.h"
#include "ui/win32.h"

using namespace tav;

namespace {

// Loads the project and runs it; the exit code of the way out (decided by the installer).
int RunProgram(TApplication& app) {
  try {
    app.Initialize();
    BeginRun(ProgramArguments());
    RegisterStreamableClasses();
    app.CreateForm<TForm1>();
    CreatePageForms();
  } catch (const Exception& e) {
    // A project that cannot be loaded ends the program before anything is installed.
    app.ShowException(e);
    return kExitFailed;
  } catch (const std::exception& e) {
    app.ShowException(Exception(std::string(e.what())));
    return kExitFailed;
  }
  app.Run();
  return ProgramExitCode();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  TApplication& app = Application();
  app.SetTitle("Setup");
  const int code = RunProgram(app);
  // Every way out tears the forms down here, while everything they reach on the way is still alive.
  app.DestroyForms();
  EndRun(code);
  return code;
}
