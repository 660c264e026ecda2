// The toolkit as its users meet it, under Wine: tvbuild makes a distribution from a project whose
// source folders are relative to it, and a user installs it through the wizard; projects that do not
// fit the setup program stop the build with the check's messages and leave the old distribution alone;
// the distribution of an empty project and the loading program stay small; a setup program made by
// add_setup_program runs the team's own handler during its install.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sys/files.h"
#include "sys/unicode.h"
#include "program_support.h"
#include "walk.h"

using namespace tav;
using namespace tav::test;
namespace fs = std::filesystem;

namespace {

std::string WinPath(const char* unixPath) { return sys::Narrow(WinePath(unixPath)); }

const std::string kToolkit = WinPath(TAV_TOOLKIT_DIR);
const std::string kHandlersSetup = WinPath(TAV_HANDLERS_SETUP);
const std::string kHandlersDir = WinPath(TAV_HANDLERS_DIR);

std::string ReadAll(const std::string& path) { return test::ReadAll(sys::Wide(path)); }

void Write(const std::string& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(sys::Wide(path.substr(0, path.find_last_of('\\'))), ec);
  ASSERT_TRUE(sys::WriteFileReplacing(path, bytes)) << path;
}

struct TRun {
  DWORD code = 0;
  std::string output;  // standard output and standard error together
};

// Runs a console program in dir, its output into a file (never a pipe: Wine's helpers would hold it).
// Each run writes a file of its own: under Wine a process the program started (the desktop process,
// say) may keep the output it was handed open after the program has ended.
TRun RunProgram(const std::string& commandLine, const std::string& dir, const std::string& outBase) {
  static int runs = 0;
  const std::string outFile = outBase + "." + std::to_string(++runs);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileW(sys::Wide(outFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_NEW, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return {255, "cannot create the output file " + outFile};
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::wstring line = sys::Wide(commandLine);
  TRun run;
  run.code = 255;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, sys::Wide(dir).c_str(), &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 300000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 254);
    GetExitCodeProcess(pi.hProcess, &run.code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  run.output = ReadAll(outFile);
  return run;
}

std::string ProgramFiles() { return sys::Narrow(ProgramFilesFolder()); }

// The standard path specifiers and one dialog manager per phase, as every project has them.
std::string Specifiers() {
  std::string text;
  for (const char* name : {"BDEDLL", "CommonFiles", "ContainerArchiveFile", "ContainerDestDir", "DesktopMenu",
                           "InstallSource", "MainInstall", "ProgramFiles", "ProgramMenu", "StartMenu", "StartupMenu",
                           "System", "MainArchiveFile", "Window", "ObjectLink"})
    text += std::string("  object ps") + name + ": Tps" + name + "\n  end\n";
  return text;
}

std::string Managers() {
  std::string text;
  for (const char* type : {"dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles",
                           "dmChangeDisk", "dmReboot"}) {
    text += std::string("  object Manager_") + type + ": TDialogManager\n    Container = Install1\n"
            "    Height = 395\n    ManagerType = " + type + "\n    Position = tdpCenter\n    Width = 478\n  end\n";
  }
  return text;
}

std::string Project(const std::string& product, const std::string& objects) {
  return "object Form1: TForm1\n  Caption = 'Setup'\n" + Specifiers() +
         "  object Install1: TInstall\n    Information.CompanyName = 'Tavenrik Tests'\n"
         "    Information.ProductName = '" + product + "'\n    Information.Version = '1.0'\n"
         "    DestDir = '\\" + product + "'\n    UseLoadingProgram = True\n  end\n" + objects + Managers() + "end\n";
}

std::string FileObject(const std::string& name, const std::string& file, const std::string& from, int id,
                       const std::string& destDir = "") {
  return "  object " + name + ": TInstallFile\n    ArchiveFileType = psContainerArchiveFile\n    Container = Group1\n" +
         (destDir.empty() ? "" : "    DestDir = '" + destDir + "'\n") +
         "    DestDirType = psContainerDestDir\n    DestName = '" + file + "'\n    FileName = '" + file +
         "'\n    IncludeFromDir = '" + from + "'\n    UniqueID = " + std::to_string(id) + "\n  end\n";
}

const char* const kGroup =
    "  object Group1: TInstallFileGroup\n    ArchiveFileType = psContainerArchiveFile\n    Container = Install1\n"
    "    DestDirType = psContainerDestDir\n    GroupName = 'Files'\n  end\n";

// Properties of nested objects (a label's font and style) are checked against their own classes.
const char* const kBackdrop =
    "  object Backdrop1: TBackdrop\n    object ProductLabel: TRotate3DLabel\n      Caption = 'Toolkit Test'\n"
    "      Font.Height = -24\n      Font.Style = [fsBold]\n      LabelStyle.AShadeLTSet = False\n    end\n  end\n";

class Toolkit : public ::testing::Test {
protected:
  void SetUp() override {
    root = sys::TempDirectory() + "\\tav-toolkit-" + std::to_string(GetCurrentProcessId());
    sys::MakeDir(root);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(sys::Wide(root), ec);
  }
  // tvbuild started from root with paths relative to it, as a user types them.
  TRun Tvbuild(const std::string& project, const std::string& build) {
    return RunProgram("\"" + kToolkit + "\\tvbuild.exe\" \"" + project + "\" \"" + build + "\"", root, root + "\\tvbuild.out");
  }
  std::string root;
};

// Source folders relative to the project file, not to where tvbuild was started: the distribution
// installs both files, byte for byte, as a user starts it from a folder of its own.
TEST_F(Toolkit, BuildsFromRelativeFoldersAndTheDistributionInstalls) {
  const std::string product = "Tavenrik Toolkit Test";
  std::string two;
  for (int i = 0; i < 70000; ++i) two += static_cast<char>((i * 31 + i / 7) % 256);
  Write(root + "\\product\\files\\one.txt", "The first file.\r\n");
  Write(root + "\\product\\files\\more\\two.bin", two);
  Write(root + "\\product\\product.txt",
        Project(product, std::string(kBackdrop) + kGroup + FileObject("One", "one.txt", "files", 1) +
                             FileObject("Two", "two.bin", "files\\more", 2, "\\Data")));
  const TRun build = Tvbuild("product\\product.txt", "out\\dist");
  ASSERT_EQ(build.code, 0u) << build.output;
  EXPECT_NE(build.output.find("setup.exe"), std::string::npos) << build.output;
  EXPECT_EQ(DirNames(root + "\\out\\dist"), (std::vector<std::string>{"files.1", "setup.1", "setup.exe"}));

  const std::string installed = ProgramFiles() + "\\" + product;
  std::error_code ec;
  fs::remove_all(sys::Wide(installed), ec);
  Write(root + "\\download\\setup.exe", ReadAll(root + "\\out\\dist\\setup.exe"));
  const TWalkResult walk = WalkSetup(sys::Wide("\"" + root + "\\download\\setup.exe\""), L"", 120000);
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << sys::Narrow(m);
  EXPECT_TRUE(walk.Ended);
  EXPECT_EQ(walk.ExitCode, 0u);
  ASSERT_FALSE(walk.Pages.empty());
  EXPECT_EQ(walk.Pages.back(), L"Setup complete");
  EXPECT_EQ(ReadAll(installed + "\\one.txt"), "The first file.\r\n");
  EXPECT_TRUE(ReadAll(installed + "\\Data\\two.bin") == two);
  fs::remove_all(sys::Wide(installed), ec);
}

// A project that names a class or a property the setup program does not have stops before anything is
// built, with the check's message naming the component. A source folder that does not exist fails the
// build itself. In every case the previous distribution stays as it was and nothing half-made is left.
TEST_F(Toolkit, ProjectsThatDoNotFitStopTheBuild) {
  Write(root + "\\dist\\setup.exe", "the previous distribution");
  Write(root + "\\unknown-class.txt", Project("Tavenrik Bad", "  object Extra: TInstallFyle\n  end\n"));
  TRun run = Tvbuild("unknown-class.txt", "dist");
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("Form1.Extra: class TInstallFyle is not registered"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("nothing was built"), std::string::npos) << run.output;
  EXPECT_EQ(ReadAll(root + "\\dist\\setup.exe"), "the previous distribution");

  std::string bad = Project("Tavenrik Bad", kGroup);
  bad.replace(bad.find("    UseLoadingProgram"), 0, "    Colour = clRed\n");
  Write(root + "\\unknown-property.txt", bad);
  run = Tvbuild("unknown-property.txt", "dist");
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("Install1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Colour"), std::string::npos) << run.output;
  EXPECT_EQ(ReadAll(root + "\\dist\\setup.exe"), "the previous distribution");

  Write(root + "\\syntax.txt", "object Form1: TForm1\n  Caption = 'unterminated\nend\n");
  run = Tvbuild("syntax.txt", "dist");
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("syntax.txt"), std::string::npos) << run.output;

  Write(root + "\\missing.txt", Project("Tavenrik Bad", std::string(kGroup) + FileObject("Gone", "gone.txt", "nothere", 1)));
  run = Tvbuild("missing.txt", "dist");
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("gone.txt"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("the build failed"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Setup ended with the exit code 1"), std::string::npos) << "the build's log: " << run.output;
  EXPECT_EQ(ReadAll(root + "\\dist\\setup.exe"), "the previous distribution");
  EXPECT_EQ(DirNames(root + "\\dist"), std::vector<std::string>{"setup.exe"});

  run = Tvbuild("no-such-project.txt", "dist");
  EXPECT_EQ(run.code, 1u);
  EXPECT_NE(run.output.find("no-such-project.txt: cannot open"), std::string::npos) << run.output;
}

// What a user downloads for an empty project, and the loading program alone.
TEST_F(Toolkit, DistributionsStaySmall) {
  Write(root + "\\empty.txt", Project("Tavenrik Empty", ""));
  const TRun build = Tvbuild("empty.txt", "dist");
  ASSERT_EQ(build.code, 0u) << build.output;
  const std::int64_t distribution = sys::FileSizeOf(root + "\\dist\\setup.exe");
  const std::int64_t loader = sys::FileSizeOf(kToolkit + "\\TavenrikLoadProgram.exe");
  std::printf("empty project's distribution: %lld bytes; loading program: %lld bytes\n",
              static_cast<long long>(distribution), static_cast<long long>(loader));
  EXPECT_GT(distribution, 0);
  EXPECT_LE(distribution, 800 * 1024);
  EXPECT_GT(loader, 0);
  EXPECT_LE(loader, 200 * 1024);
  EXPECT_FALSE(sys::FileExists(root + "\\dist\\files.1"));
}

// add_setup_program's example: the program builds its distribution with -b from its own folder
// (relative sources), and the install runs the handler the project names, which lists the file.
TEST_F(Toolkit, HandlersOfTheTeamRunDuringTheInstall) {
  Write(root + "\\program\\BUILD.INF", root + "\\hdist\r\n");
  ASSERT_TRUE(sys::CopyFileTo(kHandlersSetup, root + "\\program\\handlers_setup.exe", false));
  std::wstring saved(MAX_PATH, L'\0');
  saved.resize(GetCurrentDirectoryW(MAX_PATH, saved.data()));
  SetCurrentDirectoryW(sys::Wide(kHandlersDir).c_str());
  const TWalkResult build = WalkSetup(sys::Wide("\"" + root + "\\program\\handlers_setup.exe\" -b"), L"", 120000);
  SetCurrentDirectoryW(saved.c_str());
  for (const std::wstring& m : build.Messages) ADD_FAILURE() << "build message: " << sys::Narrow(m);
  ASSERT_TRUE(sys::FileExists(root + "\\hdist\\setup.exe"));

  const std::string installed = ProgramFiles() + "\\Tavenrik Handlers Example";
  std::error_code ec;
  fs::remove_all(sys::Wide(installed), ec);
  const TWalkResult walk = WalkSetup(sys::Wide("\"" + root + "\\hdist\\setup.exe\""), L"", 120000);
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << sys::Narrow(m);
  ASSERT_FALSE(walk.Pages.empty());
  EXPECT_EQ(walk.Pages.back(), L"Setup complete");
  EXPECT_EQ(ReadAll(installed + "\\notes.txt"), ReadAll(kHandlersDir + "\\payload\\notes.txt"));
  EXPECT_EQ(ReadAll(installed + "\\installed.log"), "NotesFile installed as " + installed + "\\notes.txt\r\n");
  fs::remove_all(sys::Wide(installed), ec);
}

}  // namespace
