// The distribution builder under Wine: self-extracting builds checked byte by byte against their
// trailer, installs from them in process and as a user starts them (the loading program unpacks and
// starts setup), the floppy transfer onto small disks and an install from them, and damaged inputs.
#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"
#include "archive/file_list.h"
#include "archive/self_extract.h"
#include "core/routines_Strings.h"
#include "engine/cmp_TInstall.h"
#include "install_support.h"
#include "program_support.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/cmp_TNetInstallLocation_base.h"
#include "objects/toolkit_directory.h"
#include "spine_classes.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "walk.h"

using namespace tav;
using namespace tav::test;
namespace fs = std::filesystem;

namespace {

using TBuildProjectForm = TProjectForm<"TBuildProjectForm">;

// A build machine path as Wine's drive for the Unix root sees it, in Windows' own form.
std::string WinPath(const char* unixPath) { return sys::Narrow(WinePath(unixPath)); }

const std::string kSetupExe = WinPath(TAV_SETUP_EXE);
const std::string kLoaderExe = WinPath(TAV_LOADER_EXE);

void Write(const std::string& path, const std::string& bytes) { ASSERT_TRUE(sys::WriteFileReplacing(path, bytes)) << path; }

std::string Slice(const std::string& bytes, std::uint32_t first, std::uint32_t last) {
  return last < bytes.size() && first <= last ? bytes.substr(first, last - first + 1) : "<outside>";
}

TSelfExtractInfo TrailerOf(const std::string& exe) {
  const std::string bytes = ReadAll(exe);
  TSelfExtractInfo info;
  EXPECT_GE(bytes.size(), kSelfExtractTrailerSize);
  if (bytes.size() >= kSelfExtractTrailerSize) {
    EXPECT_TRUE(ParseSelfExtractTrailer(
        reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - kSelfExtractTrailerSize),
        static_cast<std::int64_t>(bytes.size()), info));
  }
  return info;
}

std::vector<std::string> MemberNames(const std::string& archive) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(archive);
  c.LoadDirectory();
  std::vector<std::string> names;
  for (int i = 0; i < c.Headers().Count(); ++i) names.push_back(ExtractFileName(c.Headers().Get(i).FileName));
  return names;
}

// The build folder serves as the toolkit directory of these tests, as an installed toolkit would.
class ToolkitEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    sys::RegKey key = sys::RegKey::Open(sys::RootKey::CurrentUser, kToolkitSearchPathKey, true);
    ASSERT_TRUE(key.WriteString(kToolkitSearchPathName, "C:\\no such toolkit;" + ExtractFileDir(kLoaderExe)));
  }
};
const auto* const kToolkit = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// A net location whose server is a local folder.
class TFolderLocation : public TCustomNetInstallLocation {
public:
  explicit TFolderLocation(TComponent* owner) : TCustomNetInstallLocation(owner) {}
  bool LoginFilledIn() const override { return true; }
  TProtocol Protocol() const override { return ipHTTP; }
  std::string Hostname() const override { return "files.example"; }
  std::string Directory() const override { return ""; }
  void Download(const std::string& remoteName, const std::string& localPath) override {
    if (!sys::CopyFileTo(IncludeTrailingBackslash(server) + remoteName, localPath, false))
      throw Exception(std::string("no such remote file"));
  }
  bool DownloadAborted() const override { return false; }
  std::string server;
};

class Builder : public ProjectTest {
protected:
  void SetUp() override {
    SetUpProject(TBuildProjectForm::StaticClassInfo());
    RunFolders(sys::TempDirectory() + "\\tav-build-" + std::to_string(GetCurrentProcessId()));
    for (const std::string& d : {root, src, target}) sys::MakeDir(d);
    Write(src + "\\alpha.txt", "Alpha, the first file.\r\n");
    std::string beta;
    for (int i = 0; i < 30000; ++i) beta += static_cast<char>((i * 7919 + i / 13) % 251);
    Write(src + "\\beta.bin", beta);
  }
  void TearDown() override {
    ProjectTest::TearDown();
    TvrkCompress().SetOffset(0);
    TvrkCompress().SetDiskCapacity(0);
    std::error_code ec;
    fs::remove_all(sys::Wide(root), ec);
  }
  void Create() {
    Open<TBuildProjectForm>();
    InstallFrom(src, {"Alpha", "Beta"}, target);
  }
  // The installed files against their sources.
  void ExpectInstalled() {
    for (const char* name : {"alpha.txt", "beta.bin"})
      EXPECT_EQ(ReadAll(target + "\\Data\\" + name), ReadAll(src + "\\" + name)) << name;
  }
};

// A self-extracting build with presetup files: every hook in order, "setup.1" holding the setup
// program and the presetup files, the trailer's positions those of the first and last byte of each
// archive inside setup.exe, the installer's archive settings put back; then an install that finds its
// files inside setup.exe alone.
TEST_F(Builder, SelfExtractingBuildIsExactAndInstallsFromTheExecutableAlone) {
  Create();
  Write(src + "\\helper.dll", "presetup helper");
  Write(src + "\\notes.txt", "presetup notes");
  TStringList presetup;
  presetup.SetStrings({src + "\\helper.dll", "   ", src + "\\notes.txt", ""});
  install->SetPresetupFiles(presetup);
  EXPECT_EQ(presetup.Count(), 2);  // the blank lines leave the given list itself
  install->AddPresetupFile("D:\\elsewhere\\HELPER.DLL", true);
  EXPECT_EQ(install->PresetupFiles().Count(), 2);
  std::vector<std::string> hooks;
  auto hook = [&](const char* name) { return [&hooks, name](TObject*) { hooks.push_back(name); }; };
  install->OnBeforeBuildSetupArchive = hook("before setup.1");
  install->OnAfterBuildSetupArchive = hook("after setup.1");
  install->OnBeforeCopyInstaller = hook("before copy");
  install->OnAfterSetupProgram = hook("setup program");
  install->OnAfterBuildArchives = hook("archives");
  install->OnBeforeSelfExtractor = hook("before self-extractor");
  install->OnAfterSelfExtractor = hook("after self-extractor");
  TCustomPathSpecifier* const archiveType = install->ArchiveFileType();
  install->Build(kSetupExe, dist, true);

  EXPECT_EQ(hooks, (std::vector<std::string>{"before setup.1", "after setup.1", "setup program", "archives",
                                             "before self-extractor", "after self-extractor"}));
  EXPECT_EQ(install->ArchiveFileType(), archiveType);
  EXPECT_EQ(install->ArchiveFile(), "");
  EXPECT_EQ(MemberNames(dist + "\\setup.1"), (std::vector<std::string>{"setup.exe", "helper.dll", "notes.txt"}));
  EXPECT_EQ(MemberNames(dist + "\\files.1"), (std::vector<std::string>{"alpha.txt", "beta.bin"}));

  const std::string exe = ReadAll(dist + "\\setup.exe"), loader = ReadAll(kLoaderExe);
  const std::string setup1 = ReadAll(dist + "\\setup.1"), files1 = ReadAll(dist + "\\files.1");
  const TSelfExtractInfo info = TrailerOf(dist + "\\setup.exe");
  EXPECT_EQ(exe.substr(0, loader.size()), loader);
  EXPECT_EQ(info.setupStart, loader.size());
  EXPECT_EQ(info.setupEnd, loader.size() + setup1.size() - 1);  // the last byte, not one past it
  EXPECT_EQ(info.filesStart, info.setupEnd + 1);
  EXPECT_EQ(info.filesEnd + 1 + kSelfExtractTrailerSize, exe.size());
  EXPECT_TRUE(Slice(exe, info.setupStart, info.setupEnd) == setup1);
  EXPECT_TRUE(Slice(exe, info.filesStart, info.filesEnd) == files1);

  // Downloaded alone into another folder: the archive is found inside it through -e.
  const std::string download = root + "\\download";
  sys::MakeDir(download);
  ASSERT_TRUE(sys::CopyFileTo(dist + "\\setup.exe", download + "\\setup.exe", false));
  Arguments({"-s" + download, "-eSETUP.EXE"});
  Create();
  install->StartHook(form);
  for (const std::string& m : shown) ADD_FAILURE() << "message: " << m;
  ExpectInstalled();
}

// A project without files: no "files.1", zeros at 24 and 28. Without a loading program: a copy of
// the setup program under its own name and no self-extracting build at all.
TEST_F(Builder, BuildsWithoutFilesAndWithoutALoadingProgram) {
  Create();
  delete form->FindComponent("Alpha");
  delete form->FindComponent("Beta");
  install->Build(kSetupExe, dist, true);
  EXPECT_FALSE(sys::FileExists(dist + "\\files.1"));
  const std::string exe = ReadAll(dist + "\\setup.exe");
  ASSERT_GT(exe.size(), kSelfExtractTrailerSize);
  const std::string trailer = exe.substr(exe.size() - kSelfExtractTrailerSize);
  EXPECT_EQ(trailer.substr(0, 16), std::string("\x0eSELFEXTRACTING\0", 16));
  EXPECT_EQ(trailer.substr(24), std::string(32, '\0'));
  EXPECT_EQ(TrailerOf(dist + "\\setup.exe").setupEnd + 1 + kSelfExtractTrailerSize, exe.size());

  Create();
  const std::string plain = root + "\\plain";
  install->SetUseLoadingProgram(false);
  std::string error;
  try {
    install->Build(kSetupExe, plain, true);
  } catch (const IEInstall& e) {
    error = e.Message();
  }
  EXPECT_EQ(error, "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  EXPECT_FALSE(sys::DirExists(plain));
  std::vector<std::string> hooks;
  install->OnBeforeCopyInstaller = [&](TObject*) { hooks.push_back("before copy"); };
  install->OnAfterCopyInstaller = [&](TObject*) { hooks.push_back("after copy"); };
  install->OnBeforeBuildSetupArchive = [&](TObject*) { hooks.push_back("setup.1"); };
  install->Build(kSetupExe, plain + "\\deeper", false);
  EXPECT_EQ(hooks, (std::vector<std::string>{"before copy", "after copy"}));
  EXPECT_EQ(DirNames(plain + "\\deeper"), (std::vector<std::string>{"files.1", ExtractFileName(kSetupExe)}));
  EXPECT_EQ(ReadAll(plain + "\\deeper\\" + ExtractFileName(kSetupExe)), ReadAll(kSetupExe));

  // Without the toolkit on the search path the loading program cannot be found.
  Create();
  sys::RegKey key = sys::RegKey::Open(sys::RootKey::CurrentUser, kToolkitSearchPathKey, true);
  std::string saved;
  key.ReadString(kToolkitSearchPathName, saved);
  key.WriteString(kToolkitSearchPathName, root);
  error.clear();
  try {
    install->Build(kSetupExe, root + "\\none", true);
  } catch (const IEInstall& e) {
    error = e.Message();
  }
  key.WriteString(kToolkitSearchPathName, saved);
  EXPECT_EQ(error, "The HKEY_LOCAL_MACHINE | \\Software\\Corwin Vale\\T32V35 key in the registry is either missing or "
                   "points to an invalid Tavenrik directory");
}

// Damaged inputs end with the extraction-info error and install nothing: a setup.exe cut short in
// download, and an executable that is no self-extracting setup. A remote file list whose count
// claims more than it holds is refused; a sound one, written by a web build, fills in the files.
TEST_F(Builder, DamagedInputsGiveClearErrors) {
  Create();
  install->Build(kSetupExe, dist, true);
  const std::string exe = ReadAll(dist + "\\setup.exe");
  Write(root + "\\cut.exe", exe.substr(0, exe.size() - 1000));
  ASSERT_TRUE(sys::CopyFileTo(kLoaderExe, root + "\\foreign.exe", false));
  Write(root + "\\tiny.exe", "MZ");
  for (const char* name : {"cut.exe", "foreign.exe", "tiny.exe"}) {
    shown.clear();
    Arguments({"-s" + root, std::string("-e") + name});
    Create();
    install->StartHook(form);
    ASSERT_EQ(shown.size(), 1u) << name;
    EXPECT_EQ(shown[0], "Could not read the extraction info from the archive file " + root + "\\" + name +
                            " when trying to find the correct offset into the self extracting file");
    EXPECT_FALSE(sys::FileExists(target + "\\Data\\alpha.txt"));
  }

  // The remote file list: written by a web build, read back through the net location.
  Arguments({"-s" + dist});
  Create();
  auto* location = new TFolderLocation(form);
  install->SetNetLocation(location);
  dynamic_cast<TFileRelated*>(form->FindComponent("Group1"))->SetNetLocation(location);
  install->SetState(csLoading);
  install->SetDistributeType(dtWeb);
  install->ClearState(csLoading);
  install->Build(kSetupExe, dist, true);
  location->server = dist + "\\HTTP Root directory\\files.example";
  const std::string list = ReadAll(location->server + "\\filelist.lst");
  std::vector<TFileListRecord> records;
  ASSERT_TRUE(ReadFileList(list, records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Name, "Alpha");
  EXPECT_EQ(records[1].Name, "Beta");
  EXPECT_EQ(records[1].Size, 30000u);

  // What the server's list says wins over anything known locally.
  records[1].Size = 12345;
  records[1].Version = "9.8.7.6";
  records[1].Date = 40000.5;
  Write(location->server + "\\filelist.lst", WriteFileList(records));
  auto* beta = dynamic_cast<TCustomInstallFile*>(form->FindComponent("Beta"));
  install->ReadArchiveInfo();
  EXPECT_EQ(beta->FileSize(), 12345);
  EXPECT_EQ(beta->FileVersion(), "9.8.7.6");
  EXPECT_EQ(beta->FileDate(), 40000.5);

  // A count of a million over two records: refused before anything is believed.
  std::string corrupt = list;
  corrupt[2] = '\x0f';
  Write(location->server + "\\filelist.lst", corrupt);
  install->SetArchiveInfoRead(false);
  std::string error;
  try {
    install->ReadArchiveInfo();
  } catch (const IEInstall& e) {
    error = e.Message();
  }
  EXPECT_EQ(error.rfind("Cannot read the remote list of files: ", 0), 0u) << error;
}

// Swaps the contents of drive A: as a user swaps floppies: each disk is a folder of its own.
class FloppyDrive {
public:
  explicit FloppyDrive(const std::string& store) : store_(store) {
    sys::MakeDir(store_);
    Clear(kDrive);
  }
  static constexpr const char* kDrive = "A:\\";
  // Takes the disk now in the drive out (into the store as number current) and puts disk n in.
  void Insert(int n) {
    if (current_ > 0) Move(kDrive, Disk(current_));
    Clear(kDrive);
    Move(Disk(n), kDrive);
    current_ = n;
  }
  void EjectAll() {
    if (current_ > 0) Move(kDrive, Disk(current_));
    Clear(kDrive);
    current_ = 0;
  }
  std::string Disk(int n) const { return store_ + "\\disk" + std::to_string(n); }

private:
  static void Clear(const std::string& dir) {
    for (const std::string& name : DirNames(dir)) sys::RemoveFile(IncludeTrailingBackslash(dir) + name);
  }
  static void Move(const std::string& from, const std::string& to) {
    sys::MakeDir(to);
    Clear(to);
    for (const std::string& name : DirNames(from))
      ASSERT_TRUE(sys::CopyFileTo(IncludeTrailingBackslash(from) + name, IncludeTrailingBackslash(to) + name, false));
    Clear(from);
  }
  std::string store_;
  int current_ = 0;
};

// -f copies the loading program and "setup.1" to drive A: and spans "files.1" over three small disks,
// asking for each; an install from those disks asks for them again and installs every byte.
TEST_F(Builder, TransfersToThreeFloppiesAndInstallsFromThem) {
  ASSERT_TRUE(sys::DirExists("A:\\")) << "drive A: is not mapped in the test prefix";
  Create();
  install->Build(kSetupExe, dist, true);
  const TSelfExtractInfo info = TrailerOf(dist + "\\setup.exe");
  const std::int64_t files1 = sys::FileSizeOf(dist + "\\files.1");
  FloppyDrive drive(root + "\\disks");
  drive.Insert(1);

  // Without -e there is nothing to transfer.
  Arguments({"-s" + dist, "-f"});
  Create();
  EXPECT_EQ(install->endRequests, 1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Sorry... You can only transfer this installation to floppies through the self-extracting "
                      "file. Usage example: setup.exe *TODISK");

  shown.clear();
  onMessage = [&](const std::string& text) {
    int n = 0;
    if (std::sscanf(text.c_str(), "Please insert disk %d", &n) == 1) drive.Insert(n);
    return 1;
  };
  TvrkCompress().SetDiskCapacity(files1 / 2 - 100);  // three disks
  Arguments({"-s" + dist, "-esetup.exe", "-f"});
  Create();  // the floppy transfer runs while the project loads; the hook is set for the run below
  TvrkCompress().SetDiskCapacity(0);
  EXPECT_EQ(shown, (std::vector<std::string>{"Please insert disk 2", "Please insert disk 3", "Please insert disk 1"}));
  EXPECT_EQ(install->endRequests, 1);
  drive.EjectAll();
  const std::string exe = ReadAll(dist + "\\setup.exe");
  EXPECT_EQ(ReadAll(drive.Disk(1) + "\\setup.exe"), exe.substr(0, info.setupStart));
  EXPECT_EQ(ReadAll(drive.Disk(1) + "\\setup.1"), ReadAll(dist + "\\setup.1"));
  EXPECT_EQ(DirNames(drive.Disk(2)), std::vector<std::string>{"files.2"});
  EXPECT_EQ(DirNames(drive.Disk(3)), std::vector<std::string>{"files.3"});

  // The install from the disks: setup runs with -sA:\ and asks for disks 2 and 3 on the way.
  shown.clear();
  drive.Insert(1);
  Arguments({"-sA:"});
  Create();
  std::vector<int> asked;
  install->OnNewDisk = [&](TCustomInstallFile*, int n, std::string& path) {
    asked.push_back(n);
    drive.Insert(n);
    path = "A:";
  };
  install->StartHook(form);
  drive.EjectAll();
  for (const std::string& m : shown) ADD_FAILURE() << "message: " << m;
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back(), 3);
  ExpectInstalled();
}

// --- The setup program and the loading program, started as a user starts them ---------------------

std::string FolderListing(const std::string& dir) {
  std::string text;
  for (const std::string& name : DirNames(dir)) text += name + "\n";
  return text;
}

// Stands in for the setup program that the loading program starts: records its arguments and what
// lies beside it, then ends with a code of its own. Runs only in a copy started that way.
TEST(LoaderChild, RecordsHowItWasStarted) {
  const char* report = std::getenv("TAV_LOADER_REPORT");
  if (!report || !*report) GTEST_SKIP() << "only run as the setup program of a loader test";
  std::string text = sys::ModuleFileName() + "\n";
  for (int i = 1; i < __argc; ++i) text += std::string(__argv[i]) + "\n";
  text += "--\n" + FolderListing(ExtractFileDir(sys::ModuleFileName()));
  sys::WriteFileReplacing(report, text);
  std::fflush(nullptr);
  ExitProcess(7);
}

class Distribution : public Builder {
protected:
  // Starts a program as the user would; the result of its walk.
  TWalkResult Start(const std::string& commandLine, const std::string& cwd = "") {
    wchar_t here[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, here);
    if (!cwd.empty()) SetCurrentDirectoryW(sys::Wide(cwd).c_str());
    TWalkResult walk = WalkSetup(sys::Wide(commandLine), L"", 180000);
    SetCurrentDirectoryW(here);
    EXPECT_TRUE(walk.Started && walk.Ended) << commandLine;
    return walk;
  }
  static std::vector<std::string> LoaderFolders() {
    std::vector<std::string> folders;
    for (const std::string& name : DirNames(sys::TempDirectory()))
      if (name.size() == 35 && name.rfind("tvl", 0) == 0) folders.push_back(name);
    return folders;
  }
};

// The loading program of a self-extracting build: it unpacks "setup.1" whole into a new folder of
// its own under the temporary folder, starts the setup program there with -s, -c and -e, and ends
// with its exit code; *TODISK starts it with -f instead of -c and removes the folder itself.
TEST_F(Distribution, LoaderUnpacksEverythingAndStartsSetupAsExpected) {
  Create();
  Write(src + "\\helper.dll", "presetup helper");
  install->AddPresetupFile(src + "\\helper.dll", true);
  // This test program is the "setup program" of the build; its copy runs the case above.
  install->Build(sys::ModuleFileName(), dist, true);
  const std::vector<std::string> before = LoaderFolders();
  auto run = [&](const std::string& arguments, const std::string& report) {
    SetEnvironmentVariableW(L"TAV_LOADER_REPORT", sys::Wide(report).c_str());
    SetEnvironmentVariableW(L"GTEST_FILTER", L"LoaderChild.*");
    const TWalkResult walk = Start("\"" + dist + "\\setup.exe\"" + arguments);
    SetEnvironmentVariableW(L"GTEST_FILTER", nullptr);
    SetEnvironmentVariableW(L"TAV_LOADER_REPORT", nullptr);
    EXPECT_EQ(walk.ExitCode, 7u) << arguments;  // the setup program's own
    EXPECT_TRUE(walk.Messages.empty()) << arguments;
    TStringList lines;
    lines.SetText(ReadAll(report));
    return lines.ToVector();
  };
  const std::string self = ExtractFileName(sys::ModuleFileName());
  const std::vector<std::string> installRun = run("", root + "\\install.txt");
  const std::vector<std::string> diskRun = run(" *todisk", root + "\\disk.txt");
  for (const std::vector<std::string>* lines : {&installRun, &diskRun}) {
    ASSERT_FALSE(lines->empty());
    const std::string folder = ExtractFileDir((*lines)[0]);
    EXPECT_EQ(ExtractFileDir(folder), sys::TempDirectory());
    EXPECT_EQ(ExtractFileName((*lines)[0]), self);
  }
  EXPECT_EQ(std::vector<std::string>(installRun.begin() + 1, installRun.end()),
            (std::vector<std::string>{"-s" + dist, "-c", "-esetup.exe", "--", "helper.dll", self}));
  EXPECT_EQ(std::vector<std::string>(diskRun.begin() + 1, diskRun.end()),
            (std::vector<std::string>{"-f", "-s" + dist, "-esetup.exe", "--", "helper.dll", self}));
  const std::string folder = ExtractFileDir(diskRun[0]);
  EXPECT_NE(ExtractFileDir(installRun[0]), folder);
  // The floppy transfer's folder is gone; the install's stays for setup's own clean-up (-c), which
  // this stand-in does not do.
  std::vector<std::string> after = LoaderFolders();
  EXPECT_EQ(std::count(after.begin(), after.end(), ExtractFileName(folder)), 0);
  std::vector<std::string> added;
  for (const std::string& f : after)
    if (std::find(before.begin(), before.end(), f) == before.end()) added.push_back(f);
  ASSERT_EQ(added.size(), 1u);
  const std::string installFolder = sys::TempDirectory() + "\\" + added[0];
  EXPECT_EQ(DirNames(installFolder), (std::vector<std::string>{"helper.dll", self}));
  std::error_code ec;
  fs::remove_all(sys::Wide(installFolder), ec);

  // Damaged: the self-extracting setup.exe cut short in its download, alone in its folder.
  const std::string exe = ReadAll(dist + "\\setup.exe");
  sys::MakeDir(root + "\\cut");
  Write(root + "\\cut\\setup.exe", exe.substr(0, exe.size() * 2 / 3));
  const TWalkResult cut = Start("\"" + root + "\\cut\\setup.exe\"");
  ASSERT_EQ(cut.Messages.size(), 1u);
  EXPECT_EQ(cut.Messages[0].rfind(L"This setup program is damaged or incomplete", 0), 0u);
  EXPECT_NE(cut.ExitCode, 0u);
  EXPECT_EQ(LoaderFolders().size(), before.size());
}

// The whole way: the shipped project built by setup.exe -b from its BUILD.INF, and the setup.exe
// it makes, copied alone elsewhere, started as a user would: the wizard is walked to its good end,
// the files are installed and the loading program's folder is gone afterwards.
TEST_F(Distribution, BuildsFromBuildInfAndInstallsAsAUserWould) {
  const std::string program = root + "\\program";
  sys::MakeDir(program);
  ASSERT_TRUE(sys::CopyFileTo(kSetupExe, program + "\\setup.exe", false));
  Write(program + "\\BUILD.INF", dist + "\r\nignored\r\n");
  // The shipped project names its files relative to the folder it is built from: the demo's payload
  // and the toolkit's uninstaller under bin, gathered as the build gathers them.
  const std::string stage = root + "\\stage";
  for (const std::string& d : {stage, stage + "\\payload", stage + "\\bin"}) sys::MakeDir(d);
  for (const char* name : {"readme.txt", "license.txt", "help.txt", "sample.txt"})
    Write(stage + "\\payload\\" + name, ReadAll(WinPath(TAV_DEMO_DIR) + "\\payload\\" + name));
  ASSERT_TRUE(sys::CopyFileTo(ExtractFileDir(kLoaderExe) + "\\uninstall.exe", stage + "\\bin\\uninstall.exe", false));
  const TWalkResult build = Start("\"" + program + "\\setup.exe\" -b", stage);
  for (const std::wstring& m : build.Messages) ADD_FAILURE() << "build message: " << sys::Narrow(m);
  EXPECT_EQ(build.ExitCode, 0u);
  EXPECT_EQ(DirNames(dist), (std::vector<std::string>{"files.1", "setup.1", "setup.exe"}));
  EXPECT_EQ(MemberNames(dist + "\\setup.1"), std::vector<std::string>{"setup.exe"});
  const TSelfExtractInfo info = TrailerOf(dist + "\\setup.exe");
  EXPECT_TRUE(info.HasFiles());

  const std::string download = root + "\\download";
  sys::MakeDir(download);
  ASSERT_TRUE(sys::CopyFileTo(dist + "\\setup.exe", download + "\\setup.exe", false));
  wchar_t programFiles[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
  const std::string installed = sys::Narrow(programFiles) + "\\Tavenrik Demo";
  for (const char* name : {"readme.txt", "license.txt"}) sys::RemoveFile(installed + "\\" + name);
  const std::vector<std::string> before = LoaderFolders();
  const TWalkResult walk = Start("\"" + download + "\\setup.exe\"");
  for (const std::wstring& m : walk.Messages) ADD_FAILURE() << "message: " << sys::Narrow(m);
  EXPECT_EQ(walk.ExitCode, 0u);
  ASSERT_FALSE(walk.Pages.empty());
  EXPECT_EQ(walk.Pages.back(), L"Setup complete");
  for (const char* name : {"readme.txt", "license.txt"})
    EXPECT_EQ(ReadAll(installed + "\\" + name), ReadAll(WinPath(TAV_DEMO_DIR) + "\\payload\\" + name)) << name;
  // Setup's clean-up runs once it has ended; give it a moment.
  for (int i = 0; i < 60 && LoaderFolders().size() > before.size(); ++i) Sleep(500);
  EXPECT_EQ(LoaderFolders(), before);
}

}  // namespace
