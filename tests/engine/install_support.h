#pragma once
// What the tests that install real files share: a fixture that loads and runs a test project, files
// written and read back, and the registry values an installation writes.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/properties.h"
#include "engine/command_line.h"
#include "engine/install_record.h"
#include "objects/cmp_TInstallFile.h"
#include "project_form.h"
#include "spine_classes.h"
#include "sys/dates.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/system.h"
#include "ui/application.h"

namespace tav::test {

inline const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline const char* const kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The whole file, or "<missing>".
inline std::string ReadAll(const std::string& path) {
  sys::File f = sys::File::Open(path, sys::OpenMode::ReadShared);
  if (!f.IsOpen()) return "<missing>";
  std::string text(static_cast<std::size_t>(f.Size()), '\0');
  text.resize(f.Read(text.data(), text.size()));
  return text;
}

// The shared-DLL count of a file, kept under its long or its short name; 0 when it has none.
inline std::uint32_t SharedCount(const std::string& path) {
  sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
  std::uint32_t count = 0;
  if (counters.ReadDword(path, count) || counters.ReadDword(sys::ShortPath(path), count)) return count;
  return 0;
}

// Takes a file's shared-DLL count away under both its names.
inline void DropSharedCount(const std::string& path) {
  sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
  for (const std::string& name : {path, sys::ShortPath(path)}) counters.DeleteValue(name);
}

// The DOS date and time of a moment (2-second steps).
inline std::uint32_t DosTime(const sys::DateParts& moment) {
  sys::TDateTime t = 0;
  sys::TryEncodeDateTime(moment, t);
  return sys::DateTimeToDosDateTime(t);
}

// Writes a file whose last-write time is the DOS date given.
inline void WriteFile(const std::string& path, const std::string& text, std::uint32_t dosDate) {
  sys::File f = sys::File::Open(path, sys::OpenMode::Create);
  ASSERT_TRUE(f.IsOpen()) << path;
  ASSERT_EQ(f.Write(text.data(), text.size()), text.size());
  ASSERT_TRUE(f.SetDosDateTime(dosDate));
  ASSERT_TRUE(f.Close());
}

// A test of a project made of the spine classes: its installer is Install1, a message box is kept in
// shown and answered by onMessage (1 without it), and the form and the run's install record go at the
// end of each test.
class ProjectTest : public ::testing::Test {
protected:
  void SetUpProject(const TClassInfo& formClass) {
    RegisterSpineClasses();
    RegisterClass(formClass);
    KeepMessages();
  }
  void KeepMessages() {
    Application().SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      shown.push_back(text);
      return onMessage ? onMessage(text) : 1;
    });
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    RemoveInstallRecord(InstallRecordKey());
  }
  static void Arguments(std::vector<std::string> args) {
    SetArgumentSource([args] { return args; });
  }
  // root and its folders dist, src and target; the run starts from dist. Nothing is made yet.
  void RunFolders(const std::string& rootFolder) {
    root = rootFolder;
    dist = root + "\\dist";
    src = root + "\\src";
    target = root + "\\target";
    Arguments({"-s" + dist});
  }
  // Loads the project of form class F afresh.
  template <class F>
  void Open() {
    delete form;
    form = nullptr;
    form = Application().CreateForm<F>();
    install = dynamic_cast<TTestInstall*>(form->FindComponent("Install1"));
    ASSERT_TRUE(install);
  }
  // The installer installs into dir, and the named install files take their sources from from.
  void InstallFrom(const std::string& from, std::initializer_list<const char*> names, const std::string& dir) {
    install->SetDestDirType(nullptr);
    install->SetDestDir(dir);
    for (const char* name : names) {
      auto* file = dynamic_cast<TCustomInstallFile*>(form->FindComponent(name));
      ASSERT_TRUE(file) << name;
      file->SetIncludeFromDir(from);
      files[name] = file;
    }
  }

  TForm* form = nullptr;
  TTestInstall* install = nullptr;
  std::map<std::string, TCustomInstallFile*> files;
  std::vector<std::string> shown;
  std::function<int(const std::string&)> onMessage;
  std::string root, dist, src, target;
};

// The spine project's parts: the recorder and the two items, one per install type.
class SpineProjectTest : public ProjectTest {
protected:
  template <class F>
  void OpenSpine() {
    Open<F>();
    recorder = dynamic_cast<TRecorder*>(form->FindComponent("Recorder1"));
    full = dynamic_cast<TTestItem*>(form->FindComponent("Full1"));
    compact = dynamic_cast<TTestItem*>(form->FindComponent("Compact1"));
    ASSERT_TRUE(recorder && full && compact);
  }

  TRecorder* recorder = nullptr;
  TTestItem *full = nullptr, *compact = nullptr;
};

}  // namespace tav::test
