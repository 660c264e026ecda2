// tvbuild <project> <build folder>: makes a product's distribution from its project without a compiler.
//
// The project (its text form, or a binary stream) is checked against the setup program's classes, then
// put as the TFORM1 resource into a copy of the toolkit's stock setup program; that copy builds the
// distribution with -b from a BUILD.INF naming the build folder. Relative source folders of the project
// are read relative to the project file's folder, where the build runs.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "archive/cmp_TVersion.h"
#include "check.h"
#include "config/binary_form.h"
#include "config/text_form.h"
#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"
#include "objects/routines_Registry.h"
#include "objects/toolkit_directory.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/unicode.h"
#include "ui/win32.h"
#include "walk.h"

namespace {

namespace fs = std::filesystem;
using tav::config::ObjectRecord;
using tav::config::Property;
using tav::config::ValueType;

constexpr char kStockSetup[] = "setup-release.exe";
constexpr char kLoader[] = "TavenrikLoadProgram.exe";
constexpr char kUninstaller[] = "uninstall.exe";
// The uninstaller as distributions carry it, built for size; installed as uninstall.exe.
constexpr char kReleaseUninstaller[] = "uninstall-release.exe";
constexpr char kProjectResource[] = "TFORM1";
// The folder inside the build folder where a build is made before it replaces the previous one.
constexpr char kStagingName[] = "tvbuild-staging";
// A build of a large product may take a while; a build that shows nothing for this long is stopped.
constexpr DWORD kBuildTimeoutMs = 60 * 60 * 1000;

struct Failure {
  std::string what;
};

std::string ReadWhole(const std::string& path) {
  tav::sys::File file = tav::sys::File::Open(path, tav::sys::OpenMode::ReadShared);
  if (!file.IsOpen()) throw Failure{path + ": cannot open the file for reading"};
  std::string data(static_cast<std::size_t>(std::max<std::int64_t>(file.Size(), 0)), '\0');
  data.resize(file.Read(data.data(), data.size()));
  if (file.Failed()) throw Failure{path + ": cannot read the file"};
  return data;
}

std::string FullPath(const std::string& path) {
  const std::wstring wide = tav::sys::Wide(path);
  std::wstring full(MAX_PATH, L'\0');
  DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n + 1);
    n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (n == 0) throw Failure{path + ": not a valid path"};
  full.resize(n);
  return tav::ExcludeTrailingBackslash(tav::sys::Narrow(full));
}

Property* FindProperty(ObjectRecord& record, const std::string& name) {
  for (Property& p : record.properties)
    if (tav::SameText(p.name, name)) return &p;
  return nullptr;
}

void SetDefaultString(ObjectRecord& record, const std::string& name, const std::string& text) {
  Property* p = FindProperty(record, name);
  if (p && !(p->value.type == ValueType::String || p->value.type == ValueType::LString)) return;
  if (p && !p->value.bytes.empty()) return;
  if (!p) {
    record.properties.push_back(Property{name, {}});
    p = &record.properties.back();
  }
  p->value.type = text.size() > 255 ? ValueType::LString : ValueType::String;
  p->value.bytes = text;
}

// What the designer gives a new uninstaller: the toolkit's own, unless the project names one.
void FillUninstallerDefaults(ObjectRecord& record, const std::string& toolkit) {
  if (tav::SameText(record.className, "TUninstallEXE")) {
    SetDefaultString(record, "IncludeFromDir", toolkit);
    SetDefaultString(record, "FileName", kReleaseUninstaller);
    SetDefaultString(record, "DestName", kUninstaller);
  }
  for (ObjectRecord& child : record.children) FillUninstallerDefaults(child, toolkit);
}

// The language the stock program's project resource has, so that it is replaced and not doubled.
WORD ProjectResourceLanguage(const std::string& exe) {
  HMODULE module = LoadLibraryExW(tav::sys::Wide(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) throw Failure{exe + ": cannot be read as a program"};
  struct Found {
    WORD language = 0;
    bool found = false;
  } found;
  EnumResourceLanguagesW(
      module, MAKEINTRESOURCEW(10), L"TFORM1",
      [](HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR data) -> BOOL {
        auto* f = reinterpret_cast<Found*>(data);
        f->language = lang;
        f->found = true;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&found));
  FreeLibrary(module);
  if (!found.found) throw Failure{exe + ": carries no project resource " + kProjectResource};
  return found.language;
}

std::string ResourceBytes(const std::string& exe, WORD language) {
  HMODULE module = LoadLibraryExW(tav::sys::Wide(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return {};
  std::string bytes;
  if (HRSRC res = FindResourceExW(module, MAKEINTRESOURCEW(10), L"TFORM1", language)) {
    if (HGLOBAL data = LoadResource(module, res))
      bytes.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, res));
  }
  FreeLibrary(module);
  return bytes;
}

void PutProject(const std::string& exe, const std::string& stream) {
  const WORD language = ProjectResourceLanguage(exe);
  HANDLE update = BeginUpdateResourceW(tav::sys::Wide(exe).c_str(), FALSE);
  if (!update) throw Failure{exe + ": cannot open the program to change its resources"};
  if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), L"TFORM1", language, const_cast<char*>(stream.data()),
                       static_cast<DWORD>(stream.size()))) {
    EndUpdateResourceW(update, TRUE);
    throw Failure{exe + ": cannot put the project into the program's resources"};
  }
  if (!EndUpdateResourceW(update, FALSE)) throw Failure{exe + ": cannot write the program's resources"};
  // Read back: a program that does not carry exactly this project must not become a distribution.
  if (ResourceBytes(exe, language) != stream) throw Failure{exe + ": the project did not arrive in the program"};
}

// The build finds the loading program through the toolkit folder: this tool's own folder must come first.
void RegisterToolkit(const std::string& toolkit) {
  if (tav::SameText(tav::ToolkitDirectory("", false), toolkit)) return;
  const std::string list =
      tav::ReadRegString(tav::hkCurrentUser, tav::kToolkitSearchPathKey, tav::kToolkitSearchPathName, "");
  tav::sys::RegKey key = tav::sys::RegKey::Open(tav::sys::RootKey::CurrentUser, tav::kToolkitSearchPathKey, true);
  if (!key.IsOpen() || !key.WriteString(tav::kToolkitSearchPathName, list.empty() ? toolkit : toolkit + ";" + list))
    throw Failure{"cannot register the toolkit folder " + toolkit + " in HKEY_CURRENT_USER" +
                  tav::kToolkitSearchPathKey};
  if (!tav::SameText(tav::ToolkitDirectory("", false), toolkit))
    throw Failure{"the toolkit folder " + toolkit + " is not found through its registration"};
}

// Moves everything in from into to, replacing files of the same name and merging folders.
void MoveInto(const std::string& from, const std::string& to) {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(tav::sys::Wide(from), ec)) {
    const std::string name = tav::sys::Narrow(e.path().filename().wstring());
    const std::string source = from + "\\" + name, target = to + "\\" + name;
    if (e.is_directory()) {
      if (tav::sys::DirExists(target)) {
        MoveInto(source, target);
        continue;
      }
      if (!tav::sys::RenameFile(source, target)) throw Failure{"cannot move " + source + " to " + target};
    } else if (!tav::sys::RenameReplacing(source, target)) {
      throw Failure{"cannot move " + source + " to " + target};
    }
  }
}

// The work folder holding the carrying program and its BUILD.INF; removed again in every case.
struct WorkFolder {
  std::string path;
  ~WorkFolder() {
    if (path.empty()) return;
    for (const char* name : {"setup.exe", "BUILD.INF"}) tav::sys::RemoveFile(path + "\\" + name);
    tav::sys::RemoveEmptyDir(path);
  }
};

int Build(const std::string& projectArg, const std::string& buildArg) {
  const std::string project = FullPath(projectArg);
  const std::string projectDir = tav::ExtractFileDir(project);
  const std::string data = ReadWhole(project);
  ObjectRecord root;
  try {
    root = data.compare(0, 4, "TPF0") == 0 ? tav::config::ReadBinaryForm(data) : tav::config::ReadTextForm(data);
  } catch (const tav::Exception& e) {
    throw Failure{project + ": " + e.Message()};
  }
  if (RunCheck(root, std::cerr) != 0) throw Failure{project + ": the project does not fit the setup program; nothing was built"};
  if (!tav::SameText(root.className, "TForm1"))
    throw Failure{project + ": the project's root must be an object of class TForm1, not " + root.className};

  const std::string toolkit = tav::ExtractFileDir(tav::sys::ModuleFileName());
  for (const char* name : {kStockSetup, kLoader, kReleaseUninstaller, tav::kToolkitMarkerFile}) {
    if (!tav::sys::FileExists(toolkit + "\\" + name))
      throw Failure{"the toolkit folder " + toolkit + " lacks " + name};
  }
  FillUninstallerDefaults(root, toolkit);
  const std::string stream = tav::config::WriteBinaryForm(root);

  const std::string build = FullPath(buildArg);
  try {
    tav::CreateDirectories(build);
  } catch (const tav::Exception& e) {
    throw Failure{build + ": " + e.Message()};
  }
  if (!tav::sys::DirExists(build)) throw Failure{build + ": cannot create the build folder"};
  // The build runs in a folder of its own inside the build folder; its results replace the previous
  // distribution only once the whole build has worked, so a failed build loses nothing.
  const std::string staging = build + "\\" + kStagingName;
  std::error_code ec;
  fs::remove_all(tav::sys::Wide(staging), ec);
  if (!tav::sys::MakeDir(staging)) throw Failure{staging + ": cannot create the folder"};
  struct RemoveStaging {
    std::string path;
    ~RemoveStaging() {
      std::error_code ec;
      fs::remove_all(tav::sys::Wide(path), ec);
    }
  } removeStaging{staging};

  WorkFolder work;
  const std::string temp = tav::sys::TempDirectory() + "\\tvbuild-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount());
  if (!tav::sys::MakeDir(temp)) throw Failure{temp + ": cannot create a work folder"};
  work.path = temp;
  const std::string setup = temp + "\\setup.exe";
  if (!tav::sys::CopyFileTo(toolkit + "\\" + kStockSetup, setup, false))
    throw Failure{"cannot copy " + toolkit + "\\" + kStockSetup + " to " + setup};
  PutProject(setup, stream);
  if (!tav::sys::WriteFileReplacing(temp + "\\BUILD.INF", staging + "\r\n"))
    throw Failure{temp + "\\BUILD.INF: cannot write the file"};
  RegisterToolkit(toolkit);

  if (!SetCurrentDirectoryW(tav::sys::Wide(projectDir).c_str())) throw Failure{projectDir + ": cannot enter the folder"};
  // The build's log says why when it fails without a message box.
  const std::string buildLog = temp + "\\build.log";
  const tav::TWalkResult run = tav::WalkSetup(
      L"\"" + tav::sys::Wide(setup) + L"\" -b \"-l" + tav::sys::Wide(buildLog) + L"\"", L"", kBuildTimeoutMs);
  if (!run.Started) throw Failure{setup + ": cannot be started"};
  // The build mode speaks only to report a failure.
  for (const std::wstring& m : run.Messages) std::cerr << "tvbuild: " << tav::sys::Narrow(m) << "\n";
  if (!run.Ended) throw Failure{"the build did not end and was stopped"};
  if (!run.Messages.empty() || run.ExitCode != 0) {
    tav::sys::File file = tav::sys::File::Open(buildLog, tav::sys::OpenMode::ReadShared);
    char buffer[4096];
    for (std::size_t n; file.IsOpen() && (n = file.Read(buffer, sizeof buffer)) > 0;) std::cerr.write(buffer, n);
    throw Failure{"the build failed (exit code " + std::to_string(run.ExitCode) + "); the build folder is as it was"};
  }
  if (tav::sys::FileSizeOf(staging + "\\setup.exe") <= 0) throw Failure{"the build made no setup.exe"};
  // What an earlier build left must not mix with this one.
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) {
    const std::string old = build + "\\" + name;
    if (tav::sys::FileExists(old) && !tav::sys::RemoveFile(old)) throw Failure{old + ": cannot replace the file"};
  }
  MoveInto(staging, build);
  const std::string result = build + "\\setup.exe";
  const std::int64_t size = tav::sys::FileSizeOf(result);
  std::cout << "tvbuild: " << result << ": " << size << " bytes";
  for (const char* name : {"setup.1", "files.1"}) {
    const std::int64_t part = tav::sys::FileSizeOf(build + "\\" + name);
    if (part > 0) std::cout << ", " << name << " " << part;
  }
  std::cout << "\n";
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::cerr << "usage: tvbuild <project> <build folder>\n"
                 "  makes the distribution of the project (its text form) in the build folder:\n"
                 "  setup.exe (self-extracting), setup.1 and files.1\n";
    return 2;
  }
  try {
    return Build(tav::sys::Narrow(argv[1]), tav::sys::Narrow(argv[2]));
  } catch (const Failure& f) {
    std::cerr << "tvbuild: " << f.what << "\n";
  } catch (const tav::Exception& e) {
    std::cerr << "tvbuild: " << e.Message() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "tvbuild: " << e.what() << "\n";
  }
  return 1;
}
