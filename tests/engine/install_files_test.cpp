// A real installation under Wine: a project with an installer, a file group and install files is
// built into an archive from source files the test writes, then installed into a temporary folder.
// First: the Windows headers with their macros tamed, before the fixtures bring them again.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/install_record.h"
#include "fixtures.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/routines_Registry.h"
#include "install_support.h"
#include "spine_classes.h"
#include "sys/dates.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/system.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::test;
namespace fx = tav::fixtures;

namespace {

const char* const kHelpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";

using TInstallRunForm = TProjectForm<"TInstallRunForm">;

std::uint32_t Dos(int second) { return DosTime({2021, 3, 14, 12, 30, second, 0}); }

class InstallFiles : public ProjectTest {
protected:
  void SetUp() override {
    SetUpProject(TInstallRunForm::StaticClassInfo());
    RunFolders(sys::TempDirectory() + "\\tav-install-" + std::to_string(GetCurrentProcessId()));
    for (const std::string& d : {root, dist, src, target, target + "\\Data"}) sys::MakeDir(d);
  }

  void TearDown() override {
    ProjectTest::TearDown();
    fx::RemovePendingRenames(sys::Wide(Dest("locked.hlp")));
    sys::RegKey help = sys::RegKey::Open(sys::RootKey::LocalMachine, kHelpKey, false);
    for (const char* name : {"GUIDE.HLP", "LOCKED.HLP", "LOCKED.1"}) help.DeleteValue(name);
    sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
    for (const std::string& name : counters.ValueNames())
      if (name.find("tav-install-") != std::string::npos || name.find("TAV-IN") != std::string::npos)
        counters.DeleteValue(name);
    sys::RegKey runOnce = sys::RegKey::Open(sys::RootKey::LocalMachine, test::kRunOnceKey, false);
    runOnce.DeleteValue("TavenrikUnfinished");
    DeleteKeyTree(hkLocalMachine, std::string(kUninstallKeyPrefix) + "My product");
    for (const std::string& dir : {target + "\\Data", target, src, dist}) {
      for (const char* name : {"readme.txt", "guide.hlp", "shared.dll", "keep.dat", "never.txt", "fresh.bin",
                               "locked.hlp", "locked.1", "locked.2", "files.1"})
        sys::RemoveFile(dir + "\\" + name);
      sys::RemoveEmptyDir(dir);
    }
    sys::RemoveEmptyDir(root);
  }

  void Create() {
    Open<TInstallRunForm>();
    recorder = dynamic_cast<TRecorder*>(form->FindComponent("Recorder1"));
    group = dynamic_cast<TInstallFileGroup*>(form->FindComponent("Group1"));
    ASSERT_TRUE(recorder && group);
    InstallFrom(src, {"Readme", "Guide", "Shared", "Keep", "Never", "Fresh", "Locked"}, target);
  }

  // Sources, built into dist\files.1.
  void Build() {
    WriteFile(src + "\\readme.txt", "Read me first.\r\n", Dos(0));
    WriteFile(src + "\\guide.hlp", std::string(3000, 'h'), Dos(0));
    std::string big;
    for (int i = 0; i < 200000; ++i) big += static_cast<char>((i * 7919) % 251);
    WriteFile(src + "\\shared.dll", big, Dos(10));
    WriteFile(src + "\\keep.dat", "new keep", Dos(10));
    WriteFile(src + "\\never.txt", "new never", Dos(10));
    WriteFile(src + "\\fresh.bin", "fresh bytes", Dos(10));
    WriteFile(src + "\\locked.hlp", "new locked", Dos(10));
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
    ASSERT_TRUE(sys::FileExists(dist + "\\files.1"));
    for (auto& [name, file] : files) {
      EXPECT_TRUE(file->Compressed()) << name;
      EXPECT_EQ(file->ArchiveUsed(), dist + "\\files.1") << name;
    }
  }

  std::string Dest(const std::string& name) const { return target + "\\Data\\" + name; }

  TRecorder* recorder = nullptr;
  TInstallFileGroup* group = nullptr;
};

TEST_F(InstallFiles, BuildsTheArchiveAndInstallsUnderTheOverwriteRules) {
  Create();
  Build();
  // What the target already holds: one file 2 s older than its member, one 2 s newer, one the rule
  // never replaces, one held open by another program without sharing.
  WriteFile(Dest("shared.dll"), "old shared", Dos(8));
  WriteFile(Dest("keep.dat"), "old keep", Dos(12));
  WriteFile(Dest("never.txt"), "old never", Dos(0));
  WriteFile(Dest("locked.hlp"), "old locked", Dos(0));
  HANDLE held = CreateFileW(sys::Wide(Dest("locked.hlp")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_FALSE(DeleteFileW(sys::Wide(Dest("locked.hlp")).c_str()));

  std::vector<int> totals;
  install->OnStatus = [&](TCustomInstallFile*, int, int total) { totals.push_back(total); };
  bool rebootAsked = false;
  install->OnBeforeReboot = [&](TCustomInstall*, bool& continueReboot) {
    rebootAsked = continueReboot;
    continueReboot = false;
  };
  install->StartHook(form);
  CloseHandle(held);
  ASSERT_TRUE(shown.empty()) << shown[0];

  // Written byte for byte where the rules say so; what they keep is untouched.
  for (const char* name : {"readme.txt", "guide.hlp", "shared.dll", "fresh.bin"})
    EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;
  EXPECT_EQ(ReadAll(Dest("keep.dat")), "old keep");
  EXPECT_EQ(ReadAll(Dest("never.txt")), "old never");
  EXPECT_FALSE(files["Keep"]->WillCopy());
  EXPECT_TRUE(files["Keep"]->DestExisted());
  EXPECT_TRUE(files["Shared"]->WillCopy());
  // A member without version information under owVersion is written where nothing stands yet.
  EXPECT_TRUE(files["Fresh"]->WillCopy());

  // The file in use: the new one waits beside it, the old one is intact, Windows moves it at the restart.
  EXPECT_EQ(ReadAll(Dest("locked.hlp")), "old locked");
  EXPECT_EQ(ReadAll(Dest("locked.1")), "new locked");
  EXPECT_TRUE(files["Locked"]->ReplaceAtReboot());
  EXPECT_EQ(files["Locked"]->DestName(), "locked.1");
  EXPECT_TRUE(install->Reboot() || rebootAsked);
  EXPECT_TRUE(rebootAsked);
  // The pair as Windows keeps it: the source, then the target marked as one that may be replaced.
  const std::vector<fx::PendingRename> pending = fx::PendingRenames();
  const auto rename = std::find_if(pending.begin(), pending.end(), [&](const fx::PendingRename& r) {
    return r.from == L"\\??\\" + sys::Wide(Dest("locked.1"));
  });
  ASSERT_NE(rename, pending.end());
  EXPECT_EQ(rename->to, L"!\\??\\" + sys::Wide(Dest("locked.hlp")));
  std::string unfinished;
  sys::RegKey record = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordKey() + "\\Unfinished", false);
  ASSERT_TRUE(record.ReadString("Locked", unfinished));
  EXPECT_EQ(unfinished, "0");

  // Help files and shared-DLL counters are recorded under the names the files end up with.
  sys::RegKey help = sys::RegKey::Open(sys::RootKey::LocalMachine, kHelpKey, false);
  std::string helpDir;
  ASSERT_TRUE(help.ReadString("GUIDE.HLP", helpDir));
  EXPECT_EQ(helpDir, target + "\\Data");
  EXPECT_TRUE(help.ReadString("LOCKED.HLP", helpDir));
  EXPECT_FALSE(help.HasValue("LOCKED.1"));
  EXPECT_EQ(SharedCount(Dest("shared.dll")), 1u);
  EXPECT_EQ(SharedCount(Dest("locked.hlp")), 1u);

  // The uninstall record lists every processed file, kept ones too, each where it stands after the
  // restart: the file in use under its own name, not the temporary one.
  const std::string list = std::string(kUninstallKeyPrefix) + "My product\\Files";
  sys::RegKey recorded = sys::RegKey::Open(sys::RootKey::LocalMachine, list, false);
  std::string entries;
  ASSERT_TRUE(recorded.ReadString("Entries", entries));
  std::vector<std::string> paths;
  for (int n = 1; n <= std::stoi(entries); ++n) {
    std::string path;
    EXPECT_TRUE(recorded.ReadString("File" + std::to_string(n), path)) << n;
    paths.push_back(path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{Dest("readme.txt"), Dest("guide.hlp"), Dest("shared.dll"), Dest("keep.dat"),
                                             Dest("never.txt"), Dest("fresh.bin"), Dest("locked.hlp")}));

  // Progress: every byte of the group is accounted for, kept files included, and the installer's
  // total only grows, to 100.
  EXPECT_EQ(group->SizeToProcess(), group->TotalSize(false));
  EXPECT_EQ(group->SizeDone(), group->SizeToProcess());
  EXPECT_EQ(install->SizeDone(), install->SizeToProcess());
  EXPECT_GT(install->SizeToProcess(), 200000);
  ASSERT_FALSE(totals.empty());
  EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
  EXPECT_EQ(totals.back(), 100);
  for (int code : {-992, -998, -997, -996, -987})
    EXPECT_NE(std::find(recorder->codes.begin(), recorder->codes.end(), code), recorder->codes.end()) << code;
}

TEST_F(InstallFiles, AGoodRunOffersTheFilesMarkedToRunAndEndsTheDeferral) {
  Create();
  Build();
  files["Readme"]->SetRunAfterInstall(true);
  files["Fresh"]->SetRunAfterInstall(true);
  std::vector<std::string> offered;
  install->OnBeforeRunFile = [&](TCustomInstall*, TCustomInstallFile* file, bool& defaultAction) {
    EXPECT_TRUE(defaultAction);
    offered.push_back(file->Name());
    defaultAction = false;  // nothing is started from a test
  };
  bool deferredDuringRun = false;
  files["Readme"]->OnAfterInstall = [&](TCustomInstallFile*) {
    deferredDuringRun = !RegistrationFailuresPropagateSlot().Get();
  };
  install->StartHook(form);
  ASSERT_TRUE(shown.empty()) << shown[0];
  EXPECT_EQ(recorder->codes.back(), -979);
  EXPECT_EQ(offered, (std::vector<std::string>{"Readme", "Fresh"}));
  EXPECT_TRUE(deferredDuringRun);
  EXPECT_TRUE(RegistrationFailuresPropagateSlot().Get());
  EXPECT_EQ(ReadAll(Dest("locked.hlp")), ReadAll(src + "\\locked.hlp"));
  EXPECT_FALSE(install->Reboot());
}

// Cancel pressed between two files: the next file is not begun and the run ends as cancelled.
TEST_F(InstallFiles, ACancelBetweenFilesStopsTheRunBeforeTheNextOne) {
  Create();
  Build();
  SetUserAbortRequested(true);  // left over from an earlier run: a new run starts without it
  files["Readme"]->OnAfterInstall = [](TCustomInstallFile*) { SetUserAbortRequested(true); };
  install->StartHook(form);
  EXPECT_EQ(ReadAll(Dest("readme.txt")), ReadAll(src + "\\readme.txt"));
  EXPECT_FALSE(sys::FileExists(Dest("guide.hlp")));
  EXPECT_EQ(recorder->codes.back(), -978);
  EXPECT_NE(std::find(recorder->codes.begin(), recorder->codes.end(), -994), recorder->codes.end());
}

// A destination folder that cannot be made (a file stands where it should be) ends the run with a
// clear error naming the file, and what stood there is left as it was.
TEST_F(InstallFiles, ADestinationThatCannotBeWrittenFailsClearlyAndLosesNothing) {
  Create();
  Build();
  ASSERT_TRUE(sys::RemoveEmptyDir(target + "\\Data"));
  WriteFile(target + "\\Data", "not a folder", Dos(0));
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find(Dest("readme.txt")), std::string::npos) << shown[0];
  EXPECT_EQ(ReadAll(target + "\\Data"), "not a folder");
  EXPECT_EQ(recorder->codes.back(), -978);
  sys::RemoveFile(target + "\\Data");
}

// Files are written behind the inflating of the next ones. A disk that fills up on the third file ends
// the run with the disk's error: the files before it are complete and recorded, and neither the third
// nor any file begun after it is left behind, whole or in part; an older file at a later destination
// keeps its contents.
TEST_F(InstallFiles, ADiskThatFillsUpEndsTheRunWithNoFileLeftHalfWritten) {
  Create();
  Build();
  WriteFile(Dest("never.txt"), "old never", Dos(0));
  DeleteKeyTree(hkLocalMachine, std::string(kUninstallKeyPrefix) + "My product");  // what other tests left
  TvrkCompress().SetDiskCapacity(100000);  // readme and guide fit, shared.dll does not
  install->StartHook(form);
  TvrkCompress().SetDiskCapacity(0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("The disk is full"), std::string::npos) << shown[0];
  EXPECT_EQ(recorder->codes.back(), -978);
  for (const char* name : {"readme.txt", "guide.hlp"}) EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name));
  for (const char* name : {"shared.dll", "keep.dat", "fresh.bin", "locked.hlp"})
    EXPECT_FALSE(sys::FileExists(Dest(name))) << name;
  EXPECT_EQ(ReadAll(Dest("never.txt")), "old never");
  std::vector<std::string> left;
  WIN32_FIND_DATAW found;
  HANDLE listing = FindFirstFileW(sys::Wide(target + "\\Data\\*").c_str(), &found);
  ASSERT_NE(listing, INVALID_HANDLE_VALUE);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) left.push_back(sys::Narrow(found.cFileName));
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"guide.hlp", "never.txt", "readme.txt"}));
  // Whatever the record lists stands complete on the disk.
  sys::RegKey recorded =
      sys::RegKey::Open(sys::RootKey::LocalMachine, std::string(kUninstallKeyPrefix) + "My product\\Files", false);
  std::string entries = "0";
  recorded.ReadString("Entries", entries);
  for (int n = 1; n <= std::stoi(entries); ++n) {
    std::string path;
    ASSERT_TRUE(recorded.ReadString("File" + std::to_string(n), path)) << n;
    EXPECT_TRUE(path == Dest("readme.txt") || path == Dest("guide.hlp")) << path;
  }
}

TEST_F(InstallFiles, ADamagedArchiveFailsClearlyAndLeavesTheExistingFileAlone) {
  Create();
  Build();
  // Break the compressed data of the largest member.
  {
    sys::File archive = sys::File::Open(dist + "\\files.1", sys::OpenMode::ReadWrite);
    ASSERT_TRUE(archive.IsOpen());
    const std::int64_t middle = archive.Size() / 2;
    std::string junk(4096, '\x5a');
    ASSERT_EQ(archive.Seek(middle), middle);
    ASSERT_EQ(archive.Write(junk.data(), junk.size()), junk.size());
  }
  WriteFile(Dest("shared.dll"), "old shared", Dos(8));
  install->StartHook(form);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("corrupt"), std::string::npos) << shown[0];
  EXPECT_EQ(ReadAll(Dest("shared.dll")), "old shared");
  EXPECT_EQ(recorder->codes.back(), -978);
  EXPECT_EQ(group->State(), ifsNone);
  EXPECT_TRUE(RegistrationFailuresPropagateSlot().Get());  // the run is over
}

TEST_F(InstallFiles, AMemberMissingFromTheArchiveIsAnErrorNotAnotherFilesData) {
  Create();
  Build();
  // A file added after the build: its UniqueID is nowhere in the archive.
  auto* late = new TInstallFile(form);
  late->SetName("Late");
  late->SetIncludeFromDir(src);
  late->SetFileName("late.txt");
  late->SetContainer(group);
  EXPECT_EQ(late->DestName(), "late.txt");
  install->StartHook(form);
  EXPECT_FALSE(late->ArchiveInfoRead());
  EXPECT_EQ(late->FileSize(), 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("was not found in the archive"), std::string::npos) << shown[0];
  EXPECT_FALSE(sys::FileExists(Dest("late.txt")));
}

// A destination is made to learn that nothing stood there; a file that is then not installed after all
// (its OnReplacing handler skips it) leaves nothing where it was to go, and the run goes on.
TEST_F(InstallFiles, AFileSkippedAfterAllLeavesNoFileBehind) {
  Create();
  Build();
  files["Readme"]->OnReplacing = [](TCustomInstallFile*) { throw EAbort(std::string("skipped")); };
  install->StartHook(form);
  ASSERT_TRUE(shown.empty()) << shown[0];
  EXPECT_FALSE(files["Readme"]->WillCopy());
  EXPECT_FALSE(sys::FileExists(Dest("readme.txt")));
  EXPECT_EQ(ReadAll(Dest("guide.hlp")), ReadAll(src + "\\guide.hlp"));
}

TEST_F(InstallFiles, PropertyRulesFollowTheFileAndItsFolder) {
  Create();
  TCustomInstallFile* file = files["Readme"];
  TCustomPathSpecifier* system = StandardPathSpecifiers()->FindByClass<TpsSystem>();
  TCustomPathSpecifier* commonFiles = StandardPathSpecifiers()->FindByClass<TpsCommonFiles>();
  TCustomPathSpecifier* window = StandardPathSpecifiers()->FindByClass<TpsWindow>();

  file->SetFileName("viewer.ocx");
  EXPECT_EQ(file->DestName(), "viewer.ocx");
  EXPECT_TRUE(file->ActiveX());
  EXPECT_EQ(file->FileType(), iftSystemWideDLL);
  EXPECT_TRUE(file->UpdateDLLCounter());
  EXPECT_EQ(file->OverwriteMode(), owVersionDate);
  EXPECT_EQ(file->DestDirType(), system);
  EXPECT_EQ(file->DestDir(), "");
  file->SetDestDir("\\Elsewhere");  // enforced while the type stays
  EXPECT_EQ(file->DestDir(), "");

  file = files["Guide"];
  EXPECT_TRUE(file->RegisterAsHelp());
  file->SetFileType(iftVendorSharedDLL);
  EXPECT_EQ(file->DestDirType(), commonFiles);
  EXPECT_EQ(file->DestDir(), "\\System");
  file->SetFileType(iftNormal);  // nothing is reset
  EXPECT_TRUE(file->UpdateDLLCounter());
  EXPECT_EQ(file->OverwriteMode(), owVersionDate);
  EXPECT_EQ(file->DestDir(), "\\System");

  file = files["Never"];
  file->SetFileName("tool.dll");
  file->SetDestDirType(window);
  EXPECT_EQ(file->OverwriteMode(), owVersionDate);
  file->SetDestDirType(system);
  EXPECT_EQ(file->FileType(), iftSystemWideDLL);

  try {
    files["Keep"]->SetFileName("GUIDE.hlp");
    ADD_FAILURE() << "a second file with the same source was accepted";
  } catch (const IEfcDuplicateFile& e) {
    EXPECT_EQ(e.Message(), "There is already a file with the name :" + src + "\\GUIDE.hlp");
  }
  EXPECT_EQ(files["Keep"]->FileName(), "keep.dat");
  try {
    files["Keep"]->SetContainer(recorder);
    ADD_FAILURE() << "a container that holds no files was accepted";
  } catch (const IECustomInstallFile& e) {
    EXPECT_NE(e.Message().find("requires the Container property"), std::string::npos);
  }
  EXPECT_EQ(files["Keep"]->Container(), group);
}

}  // namespace
