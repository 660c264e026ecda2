// Install files and file containers without the layers above: identities, progress accounting,
// information events and self-registration failures.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/exceptions_Tavenrik.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallFile.h"
#include "sys/files.h"
#include "objects_test_support.h"

using namespace tav;

namespace {

using test::MessageOf;

std::string NewFolder(const std::string& name) {
  const std::string dir = sys::TempDirectory() + "\\" + name;
  sys::MakeDir(dir);
  return dir;
}

void WriteText(const std::string& path, const std::string& text) { ASSERT_TRUE(sys::WriteFileReplacing(path, text)); }

TEST(InstallFileIdentity, EveryFileHasItsOwnUniqueIDAndThe2001stIsRefused) {
  TComponent owner(nullptr);
  const int before = InstallFiles().Count();
  std::set<int> ids;
  std::vector<TInstallFile*> made;
  for (int i = before; i < kMaxInstallFiles; ++i) {
    made.push_back(new TInstallFile(&owner));
    ids.insert(made.back()->UniqueID());
  }
  EXPECT_EQ(ids.size(), made.size());
  EXPECT_EQ(*ids.rbegin(), kMaxInstallFiles - 1);
  EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { new TInstallFile(&owner); }),
            "Cannot create another install file: a program can hold at most 2000 install files");
  EXPECT_EQ(InstallFiles().Count(), kMaxInstallFiles);  // the refused one left no trace

  // A freed number is handed out again; a stored number gives back the one construction chose.
  const int freed = made[10]->UniqueID();
  delete made[10];
  auto* again = new TInstallFile(&owner);
  EXPECT_EQ(again->UniqueID(), freed);
  const int constructed = made[20]->UniqueID();
  made[20]->SetUniqueID(made[21]->UniqueID());  // a stream may repeat a number; it is not refused
  const int thirtieth = made[30]->UniqueID();
  delete made[30];
  auto* next = new TInstallFile(&owner);
  EXPECT_EQ(next->UniqueID(), std::min(constructed, thirtieth));
  EXPECT_EQ((new TInstallFile(&owner))->UniqueID(), std::max(constructed, thirtieth));
  EXPECT_EQ(MessageOf<IECustomInstallFileList>([] { InstallFiles().Add(nullptr); }),
            "Cannot add a blank entry to the TCustomInstallFileList object");
}

// A container with a group and files that are left out, so that processing runs every container
// step but writes nothing; the events are raised by hand from inside the step.
struct TEventRig {
  std::string dir = NewFolder("tav-events");
  TComponent owner{nullptr};
  TFileContainer* root = new TFileContainer(&owner);
  TInstallFileGroup* group = new TInstallFileGroup(&owner);
  TInstallFile* file = new TInstallFile(&owner);
  std::vector<std::string> seen;

  TEventRig() {
    root->SetName("Root");
    group->SetName("Group");
    group->SetContainer(root);
    file->SetName("Big");
    file->SetContainer(group);
    file->SetIncludeFromDir(dir);
    file->SetFileName("big.bin");
    // A real archive, so that the containers' install steps read their files' information.
    WriteText(dir + "\\big.bin", "some bytes");
    file->SetArchiveFile(dir + "\\files.1");
    file->Compress();
    file->SetInclude(false);
    root->OnStatus = [this](TCustomInstallFile*, int filePercent, int total) {
      seen.push_back("root " + std::to_string(filePercent) + " " + std::to_string(total));
    };
    group->OnStatus = [this](TCustomInstallFile*, int filePercent, int total) {
      seen.push_back("group " + std::to_string(filePercent) + " " + std::to_string(total));
    };
  }
  ~TEventRig() {
    sys::RemoveFile(dir + "\\big.bin");
    sys::RemoveFile(dir + "\\files.1");
    sys::RemoveEmptyDir(dir);
  }
};

TEST(FileContainerProgress, SkippedFilesAdvanceEveryContainerWithItsOwnFiguresIn64Bits) {
  TEventRig rig;
  rig.file->SetFileSize(300);
  // Outside an operation events reach nobody.
  rig.group->DoInformationEventControl(rig.file, ieNotInstalled, rig.file);
  EXPECT_TRUE(rig.seen.empty());

  rig.group->OnBeforeInstallObjects = [&](TInstallContainer*) {
    rig.group->SetSizeToProcess(1200);
    rig.group->SetSizeDone(300);
    rig.root->SetSizeToProcess(600);
    rig.root->SetSizeDone(0);
    rig.file->SetFileSize(300);
    rig.group->DoInformationEventControl(rig.file, ieNotInstalled, rig.file);
    // Files of several gigabytes: neither the sums nor the percentages wrap.
    rig.file->SetFileSize(3'000'000'000);
    rig.group->SetSizeToProcess(12'000'000'000);
    rig.group->SetSizeDone(3'000'000'000);
    rig.root->SetSizeToProcess(6'000'000'300);
    rig.group->DoInformationEventControl(rig.file, ieInstallAborted, rig.file);
  };
  rig.root->Process();
  EXPECT_EQ(rig.seen, (std::vector<std::string>{"group 100 50", "root 100 50", "group 100 50", "root 100 50"}));
  EXPECT_EQ(rig.group->SizeDone(), 6'000'000'000);
  EXPECT_EQ(rig.root->SizeDone(), 3'000'000'300);
  EXPECT_EQ(rig.group->State(), ifsNone);
  EXPECT_EQ(rig.root->State(), ifsNone);
  EXPECT_TRUE(rig.file->ArchiveInfoRead());

  rig.file->SetInclude(true);
  auto* second = new TInstallFile(&rig.owner);
  second->SetContainer(rig.group);
  second->SetFileName("second.bin");
  second->SetFileSize(2'500'000'000);
  EXPECT_EQ(rig.group->OwnSize(false), 5'500'000'000);
  EXPECT_EQ(rig.root->TotalSize(false), 5'500'000'000);
  EXPECT_EQ(rig.root->OwnSize(false), 0);
  rig.group->SetInclude(false);
  EXPECT_EQ(rig.root->TotalSize(false), 0);
  EXPECT_EQ(rig.root->TotalSize(true), 5'500'000'000);
}

TEST(FileContainerProgress, BadEventParametersAreRefusedWithTheContainersName) {
  TEventRig rig;
  std::vector<std::string> messages;
  rig.group->OnBeforeInstallObjects = [&](TInstallContainer*) {
    TObject notAList;
    TList shortList;
    shortList.Items = {rig.file};
    TList wrongFirst;
    TFileStatusParameter status;
    wrongFirst.Items = {&status, &status};
    messages.push_back(MessageOf<IEFileContainer>([&] { rig.group->DoInformationEventControl(rig.file, 1008, nullptr); }));
    messages.push_back(MessageOf<IEFileContainer>([&] { rig.group->DoInformationEventControl(rig.file, 1008, &notAList); }));
    messages.push_back(MessageOf<IEFileContainer>([&] { rig.group->DoInformationEventControl(rig.file, 1009, &shortList); }));
    messages.push_back(MessageOf<IEFileContainer>([&] { rig.group->DoInformationEventControl(rig.file, 1011, &wrongFirst); }));
    messages.push_back(MessageOf<IEFileContainer>([&] { rig.group->DoInformationEventControl(rig.file, 1014, rig.file); }));
  };
  rig.root->Process();
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Group got a nil PO parameter",
                          "DoInformationEventControl--PO is not a TList object",
                          "DoInformationEventControl--Not engouh parameters for status event",
                          "DoInformationEventControl says bad 1 parameter",
                          "The PO object passed to Group is not a TDownloadStatusParameter object",
                      }));
  EXPECT_EQ(MessageOf<IEFileContainer>([&] { rig.root->BuildArchives(coForceNetFilesLocal | coForceFilesNet); }),
            "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  EXPECT_EQ(MessageOf<IEFileRel_NoNetLocation>([&] { rig.file->NetPath(); }),
            "Could not find a net install location for Big");
}

TEST(FileContainerProgress, PruningDropsTheFilesWhoseSourceIsGone) {
  const std::string dir = NewFolder("tav-prune");
  WriteText(dir + "\\there.txt", "here");
  TComponent owner(nullptr);
  auto* group = new TInstallFileGroup(&owner);
  EXPECT_EQ(group->GroupName(), "Unnamed File Group");
  auto* there = new TInstallFile(&owner, group, dir + "\\there.txt");
  new TInstallFile(&owner, group, dir + "\\gone.txt");
  EXPECT_EQ(group->FindFile(dir + "\\THERE.TXT"), there);
  ASSERT_EQ(group->InstallFileCount(), 2);
  group->PruneMissingFiles();
  ASSERT_EQ(group->InstallFileCount(), 1);
  EXPECT_EQ(group->InstallFile(0), there);
  sys::RemoveFile(dir + "\\there.txt");
  sys::RemoveEmptyDir(dir);
}

TEST(FileContainerProgress, CopyingWithoutAnArchiveReadsTheSourcesAndReportsTheirProgress) {
  const std::string from = NewFolder("tav-copy-from"), to = NewFolder("tav-copy-to");
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>('a' + i % 26);
  WriteText(from + "\\plain.txt", bytes);
  WriteText(from + "\\left-out.txt", "read, but neither copied nor counted");
  TComponent owner(nullptr);
  auto* group = new TInstallFileGroup(&owner);
  group->SetDestDir(to);
  auto* file = new TInstallFile(&owner, group, from + "\\plain.txt");
  auto* left = new TInstallFile(&owner, group, from + "\\left-out.txt");
  left->SetInclude(false);
  file->SetDestDir(to);
  std::vector<int> totals;
  group->OnStatus = [&](TCustomInstallFile*, int, int total) { totals.push_back(total); };
  group->SetState(ifsCopying);
  EXPECT_EQ(file->FileSize(), 70000);
  EXPECT_EQ(group->SizeToProcess(), 70000);
  EXPECT_EQ(group->SizeDone(), 70000);
  ASSERT_FALSE(totals.empty());
  EXPECT_EQ(totals.back(), 100);
  sys::File copied = sys::File::Open(to + "\\plain.txt", sys::OpenMode::Read);
  ASSERT_TRUE(copied.IsOpen());
  std::string back(70000, '\0');
  back.resize(copied.Read(back.data(), back.size() + 1));
  EXPECT_EQ(back, bytes);
  copied.Close();
  EXPECT_FALSE(sys::FileExists(to + "\\left-out.txt"));
  EXPECT_EQ(group->State(), ifsNone);
  sys::RemoveFile(to + "\\plain.txt");
  sys::RemoveFile(from + "\\plain.txt");
  sys::RemoveFile(from + "\\left-out.txt");
  sys::RemoveEmptyDir(to);
  sys::RemoveEmptyDir(from);
}

TEST(SelfRegistration, FailuresNameTheQuotedCommandAndWaitForTheEndOfTheRun) {
  const std::string dir = NewFolder("tav self reg");
  WriteText(dir + "\\my server.exe", "not a program");
  WriteText(dir + "\\control.dll", "not a library");
  TComponent owner(nullptr);
  // A self-registering file is made a system-wide DLL; as a normal file it may go anywhere.
  auto place = [&](TInstallFile* file, const char* name, const char* fileName) {
    file->SetName(name);
    file->SetFileName(fileName);
    file->SetActiveX(true);
    EXPECT_EQ(file->FileType(), iftSystemWideDLL);
    file->SetFileType(iftNormal);
    file->SetDestDir(dir);
  };
  auto* exe = new TInstallFile(&owner);
  place(exe, "Server", "my server.exe");
  EXPECT_EQ(exe->DestPath(), dir + "\\my server.exe");
  const std::string exeError = MessageOf<IECustomInstallFile>([&] { exe->RegisterSelf(); });
  EXPECT_NE(exeError.find("WinExec(\"" + dir + "\\my server.exe\" /REGSERVER,SW_HIDE)"), std::string::npos) << exeError;

  auto* dll = new TInstallFile(&owner);
  place(dll, "Control", "control.dll");
  dll->SetOverwriteMode(owNever);  // the destination stays; registration runs all the same
  const std::string dllError = MessageOf<IECustomInstallFile>([&] { dll->Install(); });
  EXPECT_EQ(dllError.rfind("Could not register the ActiveX component, " + dir + "\\control.dll, because the LoadLibrary(", 0),
            0u)
      << dllError;

  // During a run the failure is kept for later.
  RegistrationFailuresPropagateSlot().Set(false);
  dll->Install();
  EXPECT_FALSE(dll->WillCopy());
  ASSERT_EQ(DeferredRegistrations().Count(), 1);
  EXPECT_EQ(DeferredRegistrations().Items(0), dll);
  delete dll;  // a destroyed file leaves the list
  EXPECT_EQ(DeferredRegistrations().Count(), 0);

  auto* missing = new TInstallFile(&owner);
  place(missing, "Missing", "absent.ocx");
  EXPECT_NE(MessageOf<IECustomInstallFile>([&] { missing->RegisterSelf(); }).find("does not exist"), std::string::npos);

  for (const char* name : {"my server.exe", "control.dll"}) sys::RemoveFile(dir + "\\" + name);
  sys::RemoveEmptyDir(dir);
}

}  // namespace
