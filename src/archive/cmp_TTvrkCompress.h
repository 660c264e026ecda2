#pragma once
// TTvrkCompress: adds files to archives, extracts members, spreads an archive over volumes and copies
// plain files under an overwrite rule. Runs on the caller's thread, polls Abort after every buffer and
// pumps messages and reports progress at least every 64 KB and at the end of every member.
#include <cstdint>
#include <functional>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "archive/cmp_TVersion.h"
#include "archive/routines_Compression.h"
#include "archive/volume_set.h"
#include "core/classes.h"
#include "core/strings.h"
#include "sys/files.h"

namespace tav {

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
extern const TNameList CompressionLevelNames;
// zlib's level for each TCompressionLevel.
int ZlibLevel(TCompressionLevel level);

enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

// Byte counts are 64-bit in memory, whatever width the archive stores them in, so that no sum or
// percentage of large members can overflow.
struct TlzhFileStats {
  std::uint8_t PercentDone = 0;
  std::int64_t BytesDone = 0;
  std::string FileName;
  std::int64_t CompressedSize = 0;
  std::uint8_t CompressionRatio = 0;
  std::int64_t FileSize = 0;
  TFileHeader Header;
  bool FileDone = false;
  std::uint8_t TotalPercentDone = 0;
  std::int64_t TotalBytesDone = 0;
  std::int64_t TotalCompressedSize = 0;
  std::uint8_t TotalCompressionRatio = 0;
  std::int64_t TotalFileSize = 0;
};

// part / whole in percent, rounded to nearest with halves to even; 0 when whole is 0; at most 255.
std::uint8_t Percentage(double part, double whole);

// The relative path, with the platform's separators, that a stored member name is extracted to below a
// folder. A name that is absolute, starts with a drive, climbs out with ".." or names no file fails with
// ETvrkCompress.
std::string MemberPath(const std::string& storedName);

// Creates a new file with a free temporary name in target's folder, with the permissions of an ordinary
// new file; path receives its name. The file is not open when none could be made.
sys::File CreateFileBeside(const std::string& target, std::string& path);

// A file made new (CreateNew) for a member still to be written. Unless its file is taken, it is
// closed and removed again when the claim ends: nothing stood there before it was made.
struct TClaimedFile {
  std::string path;
  sys::File file;

  TClaimedFile() = default;
  TClaimedFile(std::string p, sys::File f) : path(std::move(p)), file(std::move(f)) {}
  TClaimedFile(TClaimedFile&&) noexcept = default;
  TClaimedFile& operator=(TClaimedFile&& other) noexcept {
    Drop();
    path = std::move(other.path);
    file = std::move(other.file);
    return *this;
  }
  ~TClaimedFile() { Drop(); }
  void Drop();
};

class TTvrkCompress;
class TWriteBehind;
using TlzhFileStatsEvent = std::function<void(TTvrkCompress& sender, const TlzhFileStats& stats)>;
// path: on entry, when reading, the directory where the volume was expected (or last used), without a
// trailing separator; when spanning, the directory as last given or returned. The handler may change it.
using TlzhNewDiskEvent = std::function<void(TTvrkCompress& sender, int diskNumber, std::string& path)>;

class TTvrkCompress : public TComponent {
public:
  using TNotifyEvent = std::function<void(TObject& sender)>;
  enum TMode { cmNone, cmAdding, cmExtracting };

  explicit TTvrkCompress(TComponent* owner);
  ~TTvrkCompress() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  bool Abort() const { return abort_; }
  void SetAbort(bool abort) { abort_ = abort; }
  // The archive as given; reading a volume found elsewhere never changes it.
  const std::string& CompressedFile() const { return compressedFile_; }
  // Keeps the loaded directory when only the volume number changes.
  void SetCompressedFile(const std::string& path);
  TCompressionLevel CompressionLevel() const { return level_; }
  void SetCompressionLevel(TCompressionLevel level) { level_ = level; }
  const std::string& ExtractDirectory() const { return extractDirectory_; }
  void SetExtractDirectory(const std::string& dir) { extractDirectory_ = dir; }
  TStrings* FilesToProcess() const { return files_.get(); }
  // Deletes the blank lines from the list passed in, then copies it.
  void SetFilesToProcess(TStrings& files);
  std::int32_t Offset() const { return offset_; }
  void SetOffset(std::int32_t offset) { offset_ = offset; }
  TOverwriteType Overwrite() const { return overwrite_; }
  void SetOverwrite(TOverwriteType rule) { overwrite_ = rule; }

  TNotifyEvent OnAborted;
  TlzhFileStatsEvent OnAfterAdding;
  TlzhFileStatsEvent OnBeforeAdding;
  TlzhFileStatsEvent OnAfterExtracting;
  TlzhFileStatsEvent OnBeforeExtracting;
  TNotifyEvent OnFullDisk;
  TlzhFileStatsEvent OnListing;
  TlzhNewDiskEvent OnNewDisk;
  TlzhFileStatsEvent OnReplace;
  TlzhFileStatsEvent OnStatus;

  // Name under which the next member is extracted; cleared after each member.
  std::string ExtractName;

  // With folders kept, a member is extracted to its stored relative path below ExtractDirectory (see
  // MemberPath) instead of its last name part; the folders below ExtractDirectory are made without
  // following symbolic links, and two members of one run that land on the same file (by Windows' rules
  // of case on Windows) fail the run.
  void SetKeepFolders(bool keep) { keepFolders_ = keep; }
  bool KeepFolders() const { return keepFolders_; }

  // Bytes that fit on the target medium of every file this component writes (archive, volume,
  // extracted file); a write beyond it falls short like one onto a full disk. 0: no limit of our own.
  void SetDiskCapacity(std::int64_t bytes) { diskCapacity_ = bytes; }
  std::int64_t DiskCapacity() const { return diskCapacity_; }

  void AddFiles(TlzhCommand command, int uniqueID);
  void ExtractFiles();
  // The next ExtractFiles leaves the members it extracts to the write-behind queue of the install
  // running (ActiveWriteBehind), which finishes them later, instead of waiting for them; without an
  // active queue it waits as always.
  void SetDeferWrites(bool defer) { deferWrites_ = defer; }
  // The next ExtractFiles writes the member that goes to the claim's path into its file, which the
  // caller made new (learning so that nothing stood there); unused, the file is removed when that call
  // ends, or by DropClaim (for a caller that fails before it extracts).
  void ClaimDestination(TClaimedFile claim) { claimed_ = std::move(claim); }
  void DropClaim() { claimed_.Drop(); }
  // Between BeginBatch and its EndBatch (they nest) the archive stays open from one ExtractFiles to the
  // next and the folder made last is remembered, so that a run of one-member extractions reads the
  // archive as one sequence instead of opening it and finding its folder again for every member.
  // EndBatch closes the archive. Likewise AddFiles with lzcOnlyAdd to the archive added to last keeps it
  // open with its directory, so a build that adds its members one by one reads no header twice.
  void BeginBatch() { ++batch_; }
  void EndBatch();
  // Closes the archive a batch keeps open for adding (before it is deleted or read by someone else).
  void CloseAdding();
  // Makes dir and its parents (CreateDirectories), unless it is the folder made or found last in this
  // batch or extraction run.
  void MakeFolder(const std::string& dir);
  void SpanToDisks(const std::string& directory, const std::string& name);
  void CopyUncompressed(const std::string& source, const std::string& dest);
  // Inflates member index (0-based) without writing it anywhere; fails as extraction would on damage.
  void TestMember(int index);

  int GetFileCount();
  void GetFileStats(int index, TlzhFileStats& stats);
  int GetHeaderIndex(int uniqueID);
  void LoadDirectory();
  bool DirectoryLoaded() const { return loaded_; }
  const TFileHeaders& Headers() const { return headers_; }
  const TIDTable& IDTable() const { return idTable_; }
  TMode Mode() const { return mode_; }
  const TlzhFileStats& Stats() const { return stats_; }

  // Called when a write fell short: OnFullDisk when assigned, else EtcDiskFull.
  virtual void FullDisk();

private:
  // Asks OnNewDisk for a disk; false when it is not assigned.
  TVolumeSet::TDiskRequest DiskRequest();
  // Opens volume n (1-based) of the set into volume_, asking for its disk when it is missing.
  void OpenVolume(TVolumeSet& volumes, int n, sys::OpenMode mode);
  // Opens volume n of CompressedFile for reading; the folder found for one volume is where the next
  // one is looked for during the same operation.
  void OpenArchiveVolume(int n);
  void DoAddFiles(TlzhCommand command, int uniqueID);
  struct TPacked;
  void CompressMember(TFileHeader& header, sys::File& source, TPacked& packed);
  // Records what was read and written of a member and reports its end.
  void MemberCompressed(TFileHeader& header, std::int64_t consumed, std::int64_t written);
  void AddStatus(std::int64_t consumed, std::int64_t written);
  void DoExtractFiles();
  void ExtractMember(const TFileHeader& header, const std::string& dest);
  // Where inflated bytes go: Space gives room for the next ones (never none), Filled says how much of
  // it was produced.
  struct TInflateTarget {
    std::function<std::pair<unsigned char*, std::size_t>()> Space;
    std::function<void(std::size_t n)> Filled;
  };
  // Reports progress after every filled space; the last one is left to the status event that closes
  // the member. Returns the stream's Adler-32 for the caller to check (0 when the stream did not end).
  std::uint32_t InflateMember(const TFileHeader& header, const TInflateTarget& out);
  // At a member's end: pumps messages when the last pump is 40 ms or 64 KB ago, then checks Abort.
  void MemberEnds();
  void DoSpanToDisks(const std::string& directory, const std::string& name);
  std::string Destination() const;
  void ComputeTotals();
  void FillStats(const TFileHeader& header);
  void Fire(const TlzhFileStatsEvent& event);
  void CheckAbort();
  // Writes as much as the medium takes (see SetDiskCapacity); returns the bytes written.
  std::size_t WriteLimited(sys::File& file, const void* data, std::size_t n);
  // Makes the folder that dest goes into, once per run.
  void PrepareFolder(const std::string& dest);
  // Forgets what is buffered of volume_ (a volume was opened or closed).
  void ResetInput(std::int64_t position);
  // Up to max bytes of volume_ at the read position, from a buffer filled by sequential reads; 0 at the end.
  std::size_t ReadInput(const unsigned char*& data, std::size_t max);

  bool abort_ = false;
  std::string compressedFile_;
  TCompressionLevel level_ = colMax;
  std::string extractDirectory_;
  std::unique_ptr<TStringList> files_;
  std::int32_t offset_ = 0;
  TOverwriteType overwrite_ = owAlways;
  std::int64_t diskCapacity_ = 0;

  TFileHeaders headers_;
  bool loaded_ = false;
  TIDTable idTable_{};
  TMode mode_ = cmNone;
  int currentVolume_ = 0;
  TlzhFileStats stats_;
  sys::File volume_;
  TVolumeSet volumes_{std::string(), false, nullptr};  // those of CompressedFile, for the operation running
  bool keepFolders_ = false;
  int batch_ = 0;
  bool deferWrites_ = false;
  TClaimedFile claimed_;
  TWriteBehind* writer_ = nullptr;  // where the running extraction writes behind
  std::string openArchive_;  // the file volume_ was opened from
  // The archive being added to in a batch: where its next member goes and how many members it holds.
  sys::File adding_;
  std::string addingPath_;
  std::int64_t addingEnd_ = 0;
  int addingCommitted_ = 0;

  // Kept from member to member and run to run, so that many small members cost no allocations.
  struct TWork;
  std::unique_ptr<TWork> work_;
};

// The shared compressor, created on first use.
TTvrkCompress& TvrkCompress();

void RegisterCompressClasses();

}  // namespace tav
