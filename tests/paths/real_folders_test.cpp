#include <gtest/gtest.h>

// First: it brings <windows.h> and tames its macros.
#include "paths_support.h"
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>

#include "core/routines_Strings.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"
#include "objects/routines_Registry.h"
#include "sys/files.h"

using namespace tav;

namespace {

std::string ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return "<none>";
  return sys::Narrow(buffer);
}

std::string ApiDirectory(UINT (*api)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH] = {};
  return sys::Narrow(std::wstring(buffer, api(buffer, MAX_PATH)));
}

// The project's fourteen specifiers, resolved in the prefix, against what the shell and the registry say.
TEST(RealFolders, TheFourteenResolveToThePrefixFolders) {
  RegisterPathClasses();
  pathstest::TTestForm form;
  auto* install = new pathstest::TTestInstall(&form);  // brings the fourteen with it, first
  install->SetName("Install1");
  install->SetDestDirType(StandardPathSpecifiers()->FindByClass<TpsProgramFiles>());
  install->SetDestDir("\\Demo Product");
  install->source = ExcludeTrailingBackslash(ExtractFilePath(sys::ModuleFileName()));
  auto* group = new TFileContainer(&form);
  group->SetName("Group1");
  group->SetContainer(install);
  group->SetDestDir("\\Tools");
  group->SetArchiveFileType(StandardPathSpecifiers()->FindByClass<TpsMainArchiveFile>());
  auto* file = new pathstest::TTestObject(&form);
  file->SetName("File1");
  file->SetContainer(group);

  const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  const std::string bde = ReadRegString(hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "");
  const struct {
    const char* name;
    std::string expected;
  } cases[] = {
      {"psBDEDLL", bde.empty() ? programFiles + "\\Borland\\Common Files\\BDE" : bde.substr(0, bde.find(';'))},
      {"psCommonFiles", ShellFolder(CSIDL_PROGRAM_FILES_COMMON)},
      {"psContainerArchiveFile", install->source + "\\files.1"},
      {"psContainerDestDir", programFiles + "\\Demo Product\\Tools"},
      {"psDesktopMenu", ShellFolder(CSIDL_DESKTOPDIRECTORY)},
      {"psInstallSource", install->source},
      {"psMainInstall", programFiles + "\\Demo Product"},
      {"psProgramFiles", programFiles},
      {"psProgramMenu", ShellFolder(CSIDL_PROGRAMS)},
      {"psStartMenu", ShellFolder(CSIDL_STARTMENU)},
      {"psStartupMenu", ShellFolder(CSIDL_STARTUP)},
      {"psSystem", ApiDirectory(GetSystemDirectoryW)},
      {"psMainArchiveFile", install->source + "\\files.1"},
      {"psWindow", ApiDirectory(GetWindowsDirectoryW)},
  };
  ASSERT_EQ(form.ComponentCount(), 17);
  for (int i = 0; i < 14; ++i) {
    auto* specifier = static_cast<TCustomPathSpecifier*>(form.Components(i));
    ASSERT_EQ(specifier->Name(), cases[i].name);
    const std::string path = specifier->GetPath(file);
    std::printf("%-24s %s\n", cases[i].name, path.c_str());
    EXPECT_EQ(path, cases[i].expected) << cases[i].name;
  }
  // The folders that Windows itself provides exist in the prefix.
  for (const char* name : {"psCommonFiles", "psDesktopMenu", "psProgramFiles", "psProgramMenu", "psStartMenu",
                           "psSystem", "psWindow"}) {
    EXPECT_TRUE(sys::DirExists(static_cast<TCustomPathSpecifier*>(form.FindComponent(name))->GetPath(file))) << name;
  }
}

}  // namespace
