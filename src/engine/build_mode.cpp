// The installer's build mode (-b), its floppy transfer (-f) and the reading of the trailer of a
// self-extracting distribution (-e).
#include <memory>
#include <vector>

#include "archive/cmp_TVersion.h"
#include "archive/file_list.h"
#include "archive/self_extract.h"
#include "core/routines_API.h"
#include "core/run_log.h"
#include "engine/cmp_TInstall.h"
#include "engine/run_outcome.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/toolkit_directory.h"
#include "paths/cmp_TPathSpecifier.h"
#include "sys/files.h"
#include "ui/application.h"

namespace tav {

namespace {

constexpr char kLoaderName[] = "TavenrikLoadProgram.exe";
constexpr char kTavenrikInfo[] = "T32V35";
constexpr std::size_t kTransferBlock = 8192;
constexpr int kIdOk = 1;
constexpr unsigned kOkCancel = 1;

const char* const kExtractionInfo =
    "Could not read the extraction info from the archive file %s when trying to find the correct offset into the "
    "self extracting file";

// The trailer of a self-extracting executable; anything but a sound one is the extraction-info error.
TSelfExtractInfo ReadTrailer(const std::string& path) {
  sys::File f = sys::File::Open(path, sys::OpenMode::ReadShared);
  unsigned char trailer[kSelfExtractTrailerSize];
  TSelfExtractInfo info;
  const std::int64_t size = f.IsOpen() ? f.Size() : -1;
  if (size < static_cast<std::int64_t>(kSelfExtractTrailerSize) ||
      f.Seek(size - static_cast<std::int64_t>(kSelfExtractTrailerSize)) < 0 ||
      f.Read(trailer, sizeof trailer) != sizeof trailer || !ParseSelfExtractTrailer(trailer, size, info))
    throw IEInstall(std::string(kExtractionInfo), path);
  return info;
}

// Appends the whole of source to dest; the bytes that arrived.
std::int64_t AppendFile(sys::File& dest, const std::string& source) {
  sys::File in = sys::File::Open(source, sys::OpenMode::ReadShared);
  if (!in.IsOpen()) return -1;
  std::vector<unsigned char> buffer(64 * 1024);
  std::int64_t total = 0;
  for (;;) {
    const std::size_t got = in.Read(buffer.data(), buffer.size());
    if (got == 0) break;
    const std::size_t put = dest.Write(buffer.data(), got);
    total += static_cast<std::int64_t>(put);
    if (put < got) break;
  }
  return total;
}

// Copies bytes [from, to) of in to out in blocks, letting the interface breathe after each; false on a
// short read or write.
bool CopyRange(sys::File& in, sys::File& out, std::int64_t from, std::int64_t to) {
  if (in.Seek(from) != from) return false;
  std::vector<unsigned char> buffer(kTransferBlock);
  for (std::int64_t left = to - from; left > 0;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kTransferBlock));
    const std::size_t got = in.Read(buffer.data(), want);
    if (got < want || out.Write(buffer.data(), got) < got) return false;
    left -= static_cast<std::int64_t>(got);
    Application().ProcessMessages();
  }
  return true;
}

void Fire(const TNotifyEvent& event, TObject* sender) {
  if (event) event(sender);
}

}  // namespace

void TCustomInstall::SetUseLoadingProgram(bool value) {
  useLoadingProgram_ = value;
  if (!value || Loading()) return;
  // The loading program always hands setup the main archive.
  TStandardPathSpecList* list = StandardPathSpecifiers();
  SetArchiveFileType(list ? list->FindByClass<TpsMainArchiveFile>() : nullptr);
  SetArchiveFile("");
}

void TCustomInstall::SetPresetupFiles(TStrings& value) {
  for (int i = value.Count() - 1; i >= 0; --i)
    if (Trim(value[i]).empty()) value.Delete(i);
  presetupFiles_.Assign(value);
}

void TCustomInstall::AddPresetupFile(const std::string& fileName, bool unique) {
  if (unique) {
    for (int i = 0; i < presetupFiles_.Count(); ++i)
      if (SameText(ExtractFileName(presetupFiles_[i]), ExtractFileName(fileName))) return;
  }
  presetupFiles_.Add(fileName);
}

void TCustomInstall::BuildFromBuildInf() {
  try {
    const std::string inf = IncludeTrailingBackslash(ProgramDirectory()) + "BUILD.INF";
    if (!sys::FileExists(inf))
      throw IEInstall(
          std::string("Need to have a BUILD.INF file in this directory with the first line specifying the build directory"));
    TStringList lines;
    {
      sys::File f = sys::File::Open(inf, sys::OpenMode::ReadShared);
      std::string text(static_cast<std::size_t>(std::max<std::int64_t>(f.Size(), 0)), '\0');
      text.resize(f.Read(text.data(), text.size()));
      lines.SetText(text);
    }
    if (lines.Count() == 0)
      throw IEInstall(std::string("Must be 1 line in BUILD.INF. This line should specify the build directory"));
    LogEvent("Phase: building the distribution in %s", lines[0]);
    Build(sys::ModuleFileName(), lines[0], true);
    SetProgramExitCode(kExitInstalled);
  } catch (const Exception& e) {
    SetProgramExitCode(kExitFailed);
    Application().MessageBox(e.Message(), Application().Title(), 0);
  }
  EndProgram();
}

void TCustomInstall::Build(const std::string& exeName, const std::string& buildDirectory, bool selfExtracting) {
  if (selfExtracting && !useLoadingProgram_)
    throw IEInstall(std::string(
        "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False"));
  const std::string dir = IncludeTrailingBackslash(buildDirectory);
  const std::string setupExe = dir + "setup.exe", setup1 = dir + "setup.1", files1 = dir + "files.1";
  PutSetupProgramInPlace(exeName, buildDirectory, setupExe);
  Fire(OnAfterSetupProgram, this);

  TCustomPathSpecifier* const savedType = ArchiveFileType();
  const std::string savedFile = ArchiveFile();
  SetArchiveFileType(nullptr);
  SetArchiveFile(files1);
  auto restore = [&] {
    SetArchiveFileType(savedType);
    SetArchiveFile(savedFile);
  };
  try {
    constexpr int kBuildValue4 = 4;
    switch (distributeType_) {
      case dtTraditional:
        BuildArchives(coRelocateArchives | kBuildValue4 | coForceNetFilesLocal | coIncludeExcluded);
        break;
      case dtWeb:
        BuildArchives(coRelocateArchives | kBuildValue4 | coForceFilesNet | coIncludeExcluded);
        WriteRemoteFileList();
        break;
      case dtTraditionalNet:
        BuildArchives(coRelocateArchives | kBuildValue4 | coIncludeExcluded);
        WriteRemoteFileList();
        break;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  Fire(OnAfterBuildArchives, this);
  if (selfExtracting) MakeSelfExtractor(setupExe, setup1, files1);
}

void TCustomInstall::PutSetupProgramInPlace(const std::string& exeName, const std::string& buildDirectory,
                                            const std::string& setupExe) {
  if (useLoadingProgram_) {
    try {
      BuildSetupArchive(buildDirectory, exeName);
    } catch (const EtcDiskFull&) {
      throw IEInstall(std::string(
          "The disk that you have specified has been determined to be either too full or is corrupt while trying to "
          "copy the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you should "
          "leave enough space on the drive for the SETUP.1 archive file."));
    }
    std::string toolkit;
    try {
      toolkit = ToolkitDirectory(kTavenrikInfo, true);
    } catch (...) {
      throw IEInstall(std::string("The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an "
                                  "invalid Tavenrik directory"),
                      std::string("\\Software\\Corwin Vale\\T32V35"));
    }
    const std::string loader = IncludeTrailingBackslash(toolkit) + kLoaderName;
    if (!sys::FileExists(loader)) throw IEInstall(std::string("The loader program %s was not found"), loader);
    if (!sys::CopyFileTo(loader, setupExe, false))
      throw IEInstall(std::string("Cannot copy the loading program from %s to %s"), loader, setupExe);
    return;
  }
  Fire(OnBeforeCopyInstaller, this);
  CreateDirectories(buildDirectory);
  const std::string target = IncludeTrailingBackslash(buildDirectory) + ExtractFileName(exeName);
  if (!sys::CopyFileTo(exeName, target, false))
    throw IEInstall(std::string("Cannot copy the installation application from %s to %s"), exeName, target);
  Fire(OnAfterCopyInstaller, this);
}

void TCustomInstall::BuildSetupArchive(const std::string& buildDirectory, const std::string& exeName) {
  if (Trim(exeName).empty()) throw IEInstall(std::string("Cannot create setup file. Executable is blank"));
  Fire(OnBeforeBuildSetupArchive, this);
  if (!sys::FileExists(exeName)) throw IEInstall(std::string("TInstall: Cannot find the executable file %s"), exeName);
  const std::string archive = IncludeTrailingBackslash(buildDirectory) + "setup.1";
  auto compress = [&](const std::string& path, TlzhCommand command, bool presetup) {
    // Free-standing: no container, no archive specifier, gone again once compressed.
    auto file = std::make_unique<TInstallFile>(nullptr, path);
    file->SetArchiveFileType(nullptr);
    file->SetArchiveFile(archive);
    file->SetAddToArchive(command);
    if (presetup) file->SetNet(false);
    file->Compress();
  };
  compress(exeName, lzcOverwrite, false);
  for (int i = 0; i < presetupFiles_.Count(); ++i) compress(presetupFiles_[i], lzcOnlyAdd, true);
  Fire(OnAfterBuildSetupArchive, this);
}

void TCustomInstall::MakeSelfExtractor(const std::string& setupExe, const std::string& setup1,
                                       const std::string& files1) {
  Fire(OnBeforeSelfExtractor, this);
  static const char* const kShort = "Cannot create the self-extracting exe because %s could not be loaded onto %s";
  sys::File exe = sys::File::Open(setupExe, sys::OpenMode::ReadWrite);
  if (!exe.IsOpen() || exe.Seek(exe.Size()) < 0) throw IEInstall(std::string(kShort), setup1, setupExe);
  // Each archive is recorded by its first and its last byte.
  auto append = [&](const std::string& archive, std::uint32_t& start, std::uint32_t& end) {
    const std::int64_t at = exe.Position();
    const std::int64_t size = sys::FileSizeOf(archive);
    if (size <= 0 || AppendFile(exe, archive) != size || at + size > 0xFFFFFFFFLL)
      throw IEInstall(std::string(kShort), archive, setupExe);
    start = static_cast<std::uint32_t>(at);
    end = static_cast<std::uint32_t>(at + size - 1);
  };
  TSelfExtractInfo info;
  append(setup1, info.setupStart, info.setupEnd);
  if (sys::FileExists(files1)) append(files1, info.filesStart, info.filesEnd);
  unsigned char trailer[kSelfExtractTrailerSize];
  MakeSelfExtractTrailer(info, trailer);
  if (exe.Write(trailer, sizeof trailer) != sizeof trailer || !exe.Close())
    throw IEInstall(std::string(kShort), setup1, setupExe);
  Fire(OnAfterSelfExtractor, this);
}

void TCustomInstall::WriteRemoteFileList() {
  const std::string dir = IncludeTrailingBackslash(ExtractFileDir(ArchiveFile())) + NetPath();
  CreateDirectories(dir);
  std::vector<TFileListRecord> records;
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    TCustomInstallFile* file = InstallFiles().Items(i);
    if (!file->Compressed()) continue;
    TFileListRecord r;
    r.Size = static_cast<std::uint32_t>(file->FileSize());
    r.Date = file->FileDate();
    r.Name = file->Name();
    r.Version = file->FileVersion();
    records.push_back(std::move(r));
  }
  const std::string path = IncludeTrailingBackslash(dir) + "filelist.lst";
  if (!sys::WriteFileReplacing(path, WriteFileList(records)))
    throw IEInstall(std::string("Cannot create the file %s"), path);
}

void TCustomInstall::ReadRemoteFileList() {
  TCustomNetInstallLocation* location = GetNetLocation(this);
  if (!location) throw IEFileRel_NoNetLocation(std::string("%s has no net location to read the remote list of files from"), Name());
  const std::string temp = TempFileName(false);
  struct Remove {
    std::string path;
    ~Remove() { sys::RemoveFile(path); }
  } removeTemp{temp};
  location->Download("filelist.lst", temp);
  std::string bytes;
  {
    sys::File f = sys::File::Open(temp, sys::OpenMode::ReadShared);
    const std::int64_t size = f.IsOpen() ? f.Size() : -1;
    if (size < 0) throw IEInstall(std::string("Cannot read the remote list of files: %s"), temp);
    bytes.resize(static_cast<std::size_t>(size));
    bytes.resize(f.Read(bytes.data(), bytes.size()));
  }
  std::vector<TFileListRecord> records;
  if (!ReadFileList(bytes, records)) throw IEInstall(std::string("Cannot read the remote list of files: %s"), temp);
  for (const TFileListRecord& r : records) {
    for (int i = 0; i < InstallFiles().Count(); ++i) {
      TCustomInstallFile* file = InstallFiles().Items(i);
      if (!SameText(file->Name(), r.Name)) continue;
      file->SetFileSize(r.Size);
      file->SetFileDate(r.Date);
      file->SetFileVersion(r.Version);
      break;
    }
  }
}

void TCustomInstall::ReadSelfExtractInfo() {
  const TSelfExtractInfo info = ReadTrailer(FullArchiveFile());
  TvrkCompress().SetOffset(static_cast<std::int32_t>(info.filesStart));
}

void TCustomInstall::TransferToFloppies(const std::string& target) {
  TCursor savedCursor = crDefault;
  if (hostForm_) {
    savedCursor = hostForm_->Cursor();
    hostForm_->SetCursor(crHourGlass);
  }
  Application().ProcessMessages();
  TTvrkCompress& compressor = TvrkCompress();
  try {
    if (!switches_.Has(swSelfExtract))
      throw IEInstall(std::string("Sorry... You can only transfer this installation to floppies through the "
                                  "self-extracting file. Usage example: setup.exe *TODISK"));
    const std::string exe = FullArchiveFile();
    const TSelfExtractInfo info = ReadTrailer(exe);
    const std::string disk = IncludeTrailingBackslash(target);
    LogEvent("Phase: transferring the installation to %s", disk);
    ShowStatus("Transferring this installation to floppies. Please wait...");
    {
      sys::File in = sys::File::Open(exe, sys::OpenMode::ReadShared);
      sys::File loader = sys::File::Open(disk + "setup.exe", sys::OpenMode::Create);
      if (!in.IsOpen() || !loader.IsOpen() || !CopyRange(in, loader, 0, info.setupStart) || !loader.Close())
        throw IEInstall(std::string("Cannot create setup.exe on the A drive. Probably not enough room"));
      sys::File setup1 = sys::File::Open(disk + "setup.1", sys::OpenMode::Create);
      if (!setup1.IsOpen() || !CopyRange(in, setup1, info.setupStart, static_cast<std::int64_t>(info.setupEnd) + 1) ||
          !setup1.Close())
        throw IEInstall(std::string("Cannot create setup.1 on the A drive. Probably not enough room"));
    }
    ClearStatus();
    if (info.HasFiles()) {
      struct Handlers {
        TTvrkCompress& c;
        ~Handlers() {
          c.OnNewDisk = nullptr;
          c.OnStatus = nullptr;
          c.SetOffset(0);  // the shared compressor reads plain archives again
        }
      } handlers{compressor};
      compressor.SetCompressedFile(exe);
      compressor.SetOffset(static_cast<std::int32_t>(info.filesStart));
      compressor.OnNewDisk = [this, savedCursor](TTvrkCompress&, int diskNumber, std::string&) {
        if (hostForm_) hostForm_->SetCursor(crDefault);
        const bool ok = Application().MessageBox(Format("Please insert disk %d", diskNumber), Application().Title(),
                                                 kOkCancel) == kIdOk;
        if (hostForm_) hostForm_->SetCursor(crHourGlass);
        if (!ok) throw IEInstall(std::string("Aborted by user"));
      };
      compressor.OnStatus = [this](TTvrkCompress& c, const TlzhFileStats& stats) {
        if (OnTransferStatus) OnTransferStatus(c, stats);
        Application().ProcessMessages();
      };
      compressor.SpanToDisks(disk, "files.1");
    }
    SetProgramExitCode(kExitInstalled);
  } catch (const Exception& e) {
    ClearStatus();
    SetProgramExitCode(kExitFailed);
    Application().MessageBox(e.Message(), Application().Title(), 0);
  }
  if (hostForm_) hostForm_->SetCursor(savedCursor);
  Application().ProcessMessages();
  EndProgram();
}

}  // namespace tav
