#include "archive/cmp_TTvrkCompress.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "archive/block_deflate.h"
#include "archive/write_behind.h"
#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "sys/dates.h"
#include "sys/files_names.h"
#include "sys/pump.h"
#include "sys/sync.h"
#include "sys/unicode.h"

namespace tav {

namespace {

const char* const kMsgCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
const char* const kMsgAborted = "Operation aborted by user";

constexpr std::size_t kDeflateInput = 65536;
constexpr std::size_t kDeflateOutput = 65536;
constexpr std::size_t kInflateInput = 65536;
// Progress is reported once per this much output (and at each member's end): 64 KB keep the bars
// fluid while costing little next to the inflating itself.
constexpr std::size_t kInflateOutput = 65536;
constexpr std::size_t kCopyChunk = 8192;
constexpr auto kPumpInterval = std::chrono::milliseconds(40);
constexpr int kMaxVolume = 255;  // the volume number is one byte in the header

[[noreturn]] void CorruptMember(const std::string& name) {
  throw ETvrkCompress(TranslateMessage("The compressed data of the file %s is corrupt"), name);
}

[[noreturn]] void SizeMismatch(const std::string& name) {
  throw ETvrkCompress("The decompressed file's size does not match with the actual size of the file.  The file is %s",
                      name);
}

// Writes as much of data as fits below capacity (0: no limit of our own); returns the bytes written.
std::size_t WriteLimited(sys::File& file, const void* data, std::size_t n, std::int64_t capacity) {
  if (capacity > 0) {
    const std::int64_t room = std::max<std::int64_t>(0, capacity - file.Position());
    n = static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(n)));
  }
  return n == 0 ? 0 : file.Write(data, n);
}

// The file that an extracted member or a plain copy becomes. A free name is taken by one create, which
// never follows a symbolic link; an existing file (or a link, which is replaced itself) is written under
// a temporary name beside it and replaced only by Commit, so a failed or aborted member never destroys
// what was there; a new file that is not committed is removed again (by whichever thread frees it last).
class TDestination {
public:
  // claimed: dest made new by the caller already, open.
  TDestination(const std::string& dest, std::int64_t capacity, sys::File claimed = sys::File())
      : dest_(dest), capacity_(capacity) {
    const std::string name = ExtractFileName(dest);
    if (name.empty() || name == "." || name == "..")
      throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), dest);
    file_ = claimed.IsOpen() ? std::move(claimed) : sys::File::Open(dest, sys::OpenMode::CreateNew);
    if (file_.IsOpen()) {
      path_ = dest;
      return;
    }
    const sys::PathKind kind = sys::KindOf(dest);
    if (kind == sys::PathKind::File || kind == sys::PathKind::Link) file_ = CreateFileBeside(dest, temp_);
    if (!file_.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), dest);
    path_ = temp_;
  }
  ~TDestination() {
    if (committed_) return;
    file_.Close();
    sys::RemoveFile(path_);
  }
  TDestination(const TDestination&) = delete;
  TDestination& operator=(const TDestination&) = delete;

  // Writes n bytes; false once they did not all fit on the medium.
  bool Write(const void* data, std::size_t n) {
    const std::size_t put = n == 0 ? 0 : WriteLimited(file_, data, n, capacity_);
    written_ += static_cast<std::int64_t>(put);
    return put == n;
  }
  // Bytes that reached the file.
  std::int64_t Written() const { return written_; }
  // The Adler-32 of the bytes summed so far, in order.
  void Sum(const unsigned char* data, std::size_t n) { sum_ = adler32_z(sum_, data, n); }
  std::uint32_t Checksum() const { return static_cast<std::uint32_t>(sum_); }
  sys::File& File() { return file_; }
  // The old file is replaced in one step: it is never deleted before the new one stands in its place.
  void Commit() {
    if (!file_.Close() || (!temp_.empty() && !sys::RenameReplacing(temp_, dest_)))
      throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), dest_);
    committed_ = true;
  }

private:
  std::string dest_, temp_, path_;
  std::int64_t capacity_;
  sys::File file_;
  std::int64_t written_ = 0;
  uLong sum_ = adler32(0, nullptr, 0);
  bool committed_ = false;
};

// Members are inflated straight into blocks of this size, which are written whole.
constexpr std::size_t kWriteBlock = 128 * 1024;

// Leaves new bytes uninitialised: a block's pages are touched only as far as members fill them, so
// blocks that carry small files cost little memory.
template <class T>
struct TUninitialised : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = TUninitialised<U>;
  };
  TUninitialised() = default;
  template <class U>
  TUninitialised(const TUninitialised<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... A>
  void construct(U* p, A&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
  }
};
using TBlock = std::vector<unsigned char, TUninitialised<unsigned char>>;

// Write blocks, handed from the inflating thread to the writing one and back, so that a run of many
// members allocates none after its first few.
class TBlockPool {
public:
  // A block of kWriteBlock bytes.
  TBlock Take() {
    {
      std::lock_guard<sys::Mutex> lock(mutex_);
      if (!free_.empty()) {
        TBlock block = std::move(free_.back());
        free_.pop_back();
        return block;
      }
    }
    return TBlock(kWriteBlock);
  }
  void Give(TBlock&& block) {
    std::lock_guard<sys::Mutex> lock(mutex_);
    if (free_.size() < kKept) free_.push_back(std::move(block));
  }

private:
  static constexpr std::size_t kKept = 9;  // a little more than a write-behind queue holds
  sys::Mutex mutex_;
  std::vector<TBlock> free_;
};

#ifdef _WIN32
// Windows' view of two names being the same file: case is folded over the Windows-1252 letters in
// which stored names are kept.
std::string FoldedName(const std::string& utf8) {
  std::string bytes;
  if (!sys::Utf8ToCp1252(utf8, bytes)) return LowerCase(utf8);
  for (char& ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) ch = static_cast<char>(c + 0x20);
    else if (c == 0x8A || c == 0x8C || c == 0x8E) ch = static_cast<char>(c + 0x10);
    else if (c == 0x9F) ch = static_cast<char>(0xFF);
  }
  return bytes;
}
#endif

// Deletes a temporary file when the scope ends.
struct TTempFile {
  std::string path;
  ~TTempFile() {
    if (!path.empty()) sys::RemoveFile(path);
  }
};

// Compressed members up to this size are kept in memory until they go into the archive; larger ones
// go through a temporary file.
constexpr std::size_t kPackedInMemory = 4u << 20;

}  // namespace

// Where one member's compressed bytes wait until its header can be written with its final values: in
// memory, or once they outgrow it in the run's temporary file, made on first need and overwritten from
// its start for every member (freeing and reallocating its blocks each time costs more than
// compressing small files).
struct TTvrkCompress::TPacked {
  std::vector<unsigned char>& memory;
  TTempFile tempName;
  sys::File temp;
  bool spilled = false;
  std::int64_t size = 0;

  explicit TPacked(std::vector<unsigned char>& m) : memory(m) {}
  void Start() {
    memory.clear();
    spilled = false;
    size = 0;
  }
  // False when the temporary file took fewer bytes.
  bool Write(const unsigned char* data, std::size_t n) {
    size += static_cast<std::int64_t>(n);
    if (!spilled && memory.size() + n <= kPackedInMemory) {
      memory.insert(memory.end(), data, data + n);
      return true;
    }
    if (!spilled) {
      if (!temp.IsOpen()) {
        tempName.path = sys::CreateUniqueFile(sys::TempDirectory(), "bat");
        if (tempName.path.empty())
          throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), sys::TempDirectory());
        temp = sys::File::Open(tempName.path, sys::OpenMode::Create);
        if (!temp.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), tempName.path);
      }
      if (temp.Seek(0) != 0) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), tempName.path);
      spilled = true;
      const bool ok = memory.empty() || temp.Write(memory.data(), memory.size()) == memory.size();
      memory.clear();
      if (!ok) return false;
    }
    return temp.Write(data, n) == n;
  }
};

struct TTvrkCompress::TWork {
  z_stream deflater{};
  bool deflaterOpen = false;
  int deflaterLevel = 0;
  z_stream inflater{};
  bool inflaterOpen = false;
  std::vector<unsigned char> deflateIn = std::vector<unsigned char>(kDeflateInput);
  std::vector<unsigned char> deflateOut = std::vector<unsigned char>(kDeflateOutput);
  std::vector<unsigned char> inflated = std::vector<unsigned char>(kInflateOutput);
  std::shared_ptr<TBlockPool> blocks = std::make_shared<TBlockPool>();
  // Writes members behind the inflating when no queue of the caller's is active.
  std::unique_ptr<TWriteBehind> writer;
  std::vector<unsigned char> packed;  // a member compressed in memory

  // The archive volume as read: a window of it and where the next member's bytes are read from.
  std::vector<unsigned char> input = std::vector<unsigned char>(kInflateInput);
  std::int64_t inputStart = 0;
  std::size_t inputLength = 0;
  std::int64_t readPosition = 0;
  std::int64_t filePosition = -1;  // of the open volume; -1 when not known

  std::chrono::steady_clock::time_point lastPump{};  // when messages were pumped last

  // Of the extraction running (or the batch): folders known to exist, and the files written (kept folders).
  std::string lastFolder;
  std::unordered_set<std::string> folders;
  std::unordered_set<std::string> landed;

  TWriteBehind& Writer() {
    if (!writer) writer = std::make_unique<TWriteBehind>(8 * kWriteBlock);
    return *writer;
  }
  void Pump() {
    sys::PumpMessages();
    lastPump = std::chrono::steady_clock::now();
  }
  // Messages are pumped at most every kPumpInterval: enough for Cancel and the progress window, while
  // every pump costs a round trip to the window system.
  void PumpIfDue() {
    if (std::chrono::steady_clock::now() - lastPump >= kPumpInterval) Pump();
  }
  ~TWork() {
    if (deflaterOpen) deflateEnd(&deflater);
    if (inflaterOpen) inflateEnd(&inflater);
  }
  z_stream* Deflater(int level) {
    if (deflaterOpen && level == deflaterLevel) {
      if (deflateReset(&deflater) == Z_OK) return &deflater;
    }
    if (deflaterOpen) deflateEnd(&deflater);
    deflater = z_stream{};
    deflaterOpen = deflateInit(&deflater, level) == Z_OK;
    deflaterLevel = level;
    return deflaterOpen ? &deflater : nullptr;
  }
  std::unique_ptr<TBlockDeflate> blockDeflater;
  TBlockDeflate& BlockDeflater(int level) {
    if (!blockDeflater || blockDeflater->Level() != level)
      blockDeflater = std::make_unique<TBlockDeflate>(level, std::max(1u, std::thread::hardware_concurrency()));
    return *blockDeflater;
  }
  z_stream* Inflater() {
    if (inflaterOpen && inflateReset(&inflater) == Z_OK) return &inflater;
    if (inflaterOpen) inflateEnd(&inflater);
    inflater = z_stream{};
    // Raw: the stream's header and checksum are read by InflateMember.
    inflaterOpen = inflateInit2(&inflater, -MAX_WBITS) == Z_OK;
    return inflaterOpen ? &inflater : nullptr;
  }
};

std::string MemberPath(const std::string& storedName) {
  const auto refuse = [&] {
    throw ETvrkCompress("The stored name %s is not a path inside the extraction folder", storedName);
  };
  // Absolute, or on a drive ("C:x" is relative to a drive's own folder, not to ours).
  if (storedName.empty() || IsPathDelimiter(storedName[0]) || (storedName.size() >= 2 && storedName[1] == ':'))
    refuse();
#ifdef _WIN32
  const char separator = '\\';
#else
  const char separator = '/';
#endif
  std::string path, part;
  for (std::size_t i = 0; i <= storedName.size(); ++i) {
    if (i < storedName.size() && !IsPathDelimiter(storedName[i])) {
      part += storedName[i];
      continue;
    }
    if (part == "..") refuse();
    if (!part.empty() && part != ".") {
      if (!path.empty()) path += separator;
      path += part;
    }
    // The last part names the file: a name ending in a separator or "." names a folder.
    if (i == storedName.size() && (part.empty() || part == ".")) refuse();
    part.clear();
  }
  return path;
}

sys::File CreateFileBeside(const std::string& target, std::string& path) {
  sys::File file;
  const auto start = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  // A short name of its own, so that a target whose name is near the system's limit still gets one.
  path = sys::CreateFirstFreeName(ExtractFilePath(target) + "tvx", start, [&](const std::string& name) {
    file = sys::File::Open(name, sys::OpenMode::CreateNew);
    if (file.IsOpen()) return sys::CreateResult::Created;
    return sys::KindOf(name) == sys::PathKind::None ? sys::CreateResult::Failed : sys::CreateResult::Taken;
  });
  if (path.empty()) file.Close();
  return file;
}

constexpr std::string_view kCompressionLevelNames[] = {"colNone", "colFastest", "colDefault", "colMax"};
constinit const TNameList CompressionLevelNames(kCompressionLevelNames);

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case colNone: return 0;
    case colFastest: return 1;
    case colDefault: return Z_DEFAULT_COMPRESSION;
    case colMax: return 9;
  }
  return 9;
}

std::uint8_t Percentage(double part, double whole) {
  if (whole == 0) return 0;
  // nearbyint rounds halves to the even neighbour in the default rounding mode.
  const double p = std::nearbyint(part * 100.0 / whole);
  if (!(p > 0)) return 0;
  return static_cast<std::uint8_t>(std::min(p, 255.0));
}

TTvrkCompress::TTvrkCompress(TComponent* owner)
    : TComponent(owner), files_(std::make_unique<TStringList>()), work_(std::make_unique<TWork>()) {}

TTvrkCompress::~TTvrkCompress() = default;

const TClassInfo& TTvrkCompress::StaticClassInfo() {
  using P = Props<TTvrkCompress>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TTvrkCompress::Abort, &TTvrkCompress::SetAbort>("Abort", false),
      P::String<&TTvrkCompress::CompressedFile, &TTvrkCompress::SetCompressedFile>("CompressedFile"),
      P::Enum<&TTvrkCompress::CompressionLevel, &TTvrkCompress::SetCompressionLevel>("CompressionLevel",
                                                                                     CompressionLevelNames, colMax),
      P::String<&TTvrkCompress::ExtractDirectory, &TTvrkCompress::SetExtractDirectory>("ExtractDirectory"),
      P::Object<[](TTvrkCompress& c) -> TPersistent* { return c.FilesToProcess(); }>("FilesToProcess"),
      P::Integer<&TTvrkCompress::Offset, &TTvrkCompress::SetOffset>("Offset", 0),
      // No default: the rule is always written.
      P::Enum<&TTvrkCompress::Overwrite, &TTvrkCompress::SetOverwrite>("Overwrite", OverwriteTypeNames),
      P::Event<&TTvrkCompress::OnAborted>("OnAborted"),
      P::Event<&TTvrkCompress::OnAfterAdding>("OnAfterAdding"),
      P::Event<&TTvrkCompress::OnBeforeAdding>("OnBeforeAdding"),
      P::Event<&TTvrkCompress::OnAfterExtracting>("OnAfterExtracting"),
      P::Event<&TTvrkCompress::OnBeforeExtracting>("OnBeforeExtracting"),
      P::Event<&TTvrkCompress::OnFullDisk>("OnFullDisk"),
      P::Event<&TTvrkCompress::OnListing>("OnListing"),
      P::Event<&TTvrkCompress::OnNewDisk>("OnNewDisk"),
      P::Event<&TTvrkCompress::OnReplace>("OnReplace"),
      P::Event<&TTvrkCompress::OnStatus>("OnStatus"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TTvrkCompress, TComponent>("TTvrkCompress", props);
  return info;
}

void TTvrkCompress::SetCompressedFile(const std::string& path) {
  if (SameText(path, compressedFile_)) return;
  if (loaded_ && !SameText(ChangeFileExt(path, ".1"), ChangeFileExt(compressedFile_, ".1"))) loaded_ = false;
  compressedFile_ = path;
}

void TTvrkCompress::SetFilesToProcess(TStrings& files) {
  for (int i = files.Count() - 1; i >= 0; --i) {
    if (Trim(files[i]).empty()) files.Delete(i);
  }
  files_->Assign(files);
}

void TTvrkCompress::FullDisk() {
  if (OnFullDisk) {
    OnFullDisk(*this);
    return;
  }
  throw EtcDiskFull(TranslateMessage("The disk is full"));
}

void TTvrkCompress::Fire(const TlzhFileStatsEvent& event) {
  if (event) event(*this, stats_);
}

void TTvrkCompress::CheckAbort() {
  if (abort_) throw EtcAborted(kMsgAborted);
}

std::size_t TTvrkCompress::WriteLimited(sys::File& file, const void* data, std::size_t n) {
  return tav::WriteLimited(file, data, n, diskCapacity_);
}

void TTvrkCompress::ComputeTotals() {
  stats_.TotalFileSize = headers_.TotalFileSize();
  stats_.TotalCompressedSize = headers_.TotalCompressedSize();
  stats_.TotalCompressionRatio = Percentage(static_cast<double>(stats_.TotalCompressedSize),
                                            static_cast<double>(stats_.TotalFileSize));
  stats_.TotalBytesDone = 0;
  stats_.TotalPercentDone = 0;
  stats_.FileDone = false;
}

void TTvrkCompress::FillStats(const TFileHeader& header) {
  stats_.FileName = header.FileName;
  stats_.FileSize = header.FileSize;
  stats_.CompressedSize = header.CompressedSize;
  stats_.CompressionRatio = Percentage(header.CompressedSize, header.FileSize);
  stats_.Header = header;
  stats_.BytesDone = 0;
  stats_.PercentDone = 0;
  stats_.FileDone = false;
}

std::string TTvrkCompress::Destination() const {
  return IncludeTrailingPathDelimiter(extractDirectory_) +
         (keepFolders_ ? MemberPath(ExtractName) : ExtractFileName(ExtractName));
}

void TTvrkCompress::MakeFolder(const std::string& dir) {
  TWork& w = *work_;
  if (dir == w.lastFolder && !dir.empty()) return;
  CreateDirectories(dir);
  w.lastFolder = dir;
}

void TTvrkCompress::EndBatch() {
  if (batch_ > 0 && --batch_ > 0) return;
  CloseAdding();
  volume_.Close();
  openArchive_.clear();
  ResetInput(-1);
  work_->lastFolder.clear();
}

void TTvrkCompress::PrepareFolder(const std::string& dest) {
  TWork& w = *work_;
  const std::string dir = ExtractFileDir(dest);
  if (dir.empty() || dir == w.lastFolder) return;
  if (!keepFolders_) {
    MakeFolder(dir);
    return;
  }
  // The extraction folder is the caller's to choose; below it, every folder is made here and a
  // symbolic link is never followed out of it.
  const std::string base = IncludeTrailingPathDelimiter(extractDirectory_);
  const std::string root = ExcludeTrailingPathDelimiter(base);
  if (!root.empty() && w.folders.insert(root).second && !sys::DirExists(root)) CreateDirectories(root);
  for (std::size_t at = base.size(); at <= dir.size(); ++at) {
    if (at < dir.size() && !IsPathDelimiter(dir[at])) continue;
    const std::string folder = dir.substr(0, at);
    if (w.folders.count(folder) != 0) continue;
    if (!sys::MakeDir(folder)) {
      const sys::PathKind kind = sys::KindOf(folder);
      if (kind == sys::PathKind::Link)
        throw ETvrkCompress("The folder %s is a symbolic link; nothing is extracted through it", folder);
      if (kind != sys::PathKind::Dir) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), dest);
    }
    w.folders.insert(folder);
  }
  w.lastFolder = dir;
}

// ---- directory ----

void TTvrkCompress::LoadDirectory() {
  CloseAdding();  // what it reads is then complete on disk
  sys::File file = sys::File::Open(compressedFile_, sys::OpenMode::ReadShared);
  if (!file.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the compressed file %s"), compressedFile_);
  idTable_.fill(0);
  loaded_ = false;
  try {
    headers_.ReadDirectory(file, offset_);
  } catch (const ETvrkCompress&) {
    headers_.Clear();
    throw ETvrkCompress(kMsgCorrupt);
  }
  for (int i = 0; i < headers_.Count(); ++i) {
    const std::int32_t id = headers_[i].UniqueID;
    if (id >= 0 && id < kIDTableSize) idTable_[static_cast<std::size_t>(id)] = i;
  }
  loaded_ = true;
}

int TTvrkCompress::GetFileCount() {
  if (!loaded_ && mode_ != cmAdding) LoadDirectory();
  return headers_.Count();
}

void TTvrkCompress::GetFileStats(int index, TlzhFileStats& stats) {
  if (!loaded_ && mode_ != cmAdding) LoadDirectory();
  if (index < 0 || index >= headers_.Count())
    throw ETvrkCompress("Tried to access the %dth file. This file is not defined", index);
  const TFileHeader& h = std::as_const(headers_)[index];
  stats = TlzhFileStats();
  stats.FileName = h.FileName;
  stats.FileSize = h.FileSize;
  stats.CompressedSize = h.CompressedSize;
  stats.CompressionRatio = Percentage(h.CompressedSize, h.FileSize);
  stats.Header = h;
  stats.TotalFileSize = headers_.TotalFileSize();
  stats.TotalCompressedSize = headers_.TotalCompressedSize();
  stats.TotalCompressionRatio =
      Percentage(static_cast<double>(stats.TotalCompressedSize), static_cast<double>(stats.TotalFileSize));
  stats.TotalBytesDone = stats_.TotalBytesDone;
  stats.TotalPercentDone = stats_.TotalPercentDone;
}

int TTvrkCompress::GetHeaderIndex(int uniqueID) {
  if (!loaded_) LoadDirectory();
  if (uniqueID < 0 || uniqueID >= kIDTableSize) return 0;
  return idTable_[static_cast<std::size_t>(uniqueID)];
}

TVolumeSet::TDiskRequest TTvrkCompress::DiskRequest() {
  return [this](int n, std::string& folder) {
    if (!OnNewDisk) return false;
    OnNewDisk(*this, n, folder);
    return true;
  };
}

void TTvrkCompress::OpenVolume(TVolumeSet& volumes, int n, sys::OpenMode mode) {
  volume_.Close();
  ResetInput(-1);
  const std::string path = volumes.Locate(n);
  volume_ = sys::File::Open(path, mode);
  if (!volume_.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the compressed file %s"), path);
  ResetInput(0);
}

void TTvrkCompress::ResetInput(std::int64_t position) {
  TWork& w = *work_;
  w.inputStart = 0;
  w.inputLength = 0;
  w.readPosition = std::max<std::int64_t>(position, 0);
  w.filePosition = position;
}

std::size_t TTvrkCompress::ReadInput(const unsigned char*& data, std::size_t max) {
  TWork& w = *work_;
  if (w.readPosition < w.inputStart || w.readPosition >= w.inputStart + static_cast<std::int64_t>(w.inputLength)) {
    // Members read in order follow one another: the file is only sought when the reader jumps.
    if (w.filePosition != w.readPosition) {
      w.filePosition = volume_.Seek(w.readPosition);
      if (w.filePosition != w.readPosition) return 0;
    }
    w.inputStart = w.readPosition;
    w.inputLength = volume_.Read(w.input.data(), w.input.size());
    w.filePosition += static_cast<std::int64_t>(w.inputLength);
    if (w.inputLength == 0) return 0;
  }
  const auto at = static_cast<std::size_t>(w.readPosition - w.inputStart);
  const std::size_t n = std::min(max, w.inputLength - at);
  data = w.input.data() + at;
  w.readPosition += static_cast<std::int64_t>(n);
  return n;
}

void TTvrkCompress::OpenArchiveVolume(int n) {
  // A handler may have pointed the component at another archive meanwhile.
  if (volumes_.BaseName() != compressedFile_ || volumes_.Spanned() != headers_.Spanned)
    volumes_ = TVolumeSet(compressedFile_, headers_.Spanned, DiskRequest());
  openArchive_.clear();
  OpenVolume(volumes_, n, sys::OpenMode::ReadShared);
  openArchive_ = compressedFile_;
}

// ---- adding ----

void TTvrkCompress::AddFiles(TlzhCommand command, int uniqueID) {
  abort_ = false;
  mode_ = cmAdding;
  headers_.Spanned = false;
  offset_ = 0;
  loaded_ = false;
  try {
    DoAddFiles(command, uniqueID);
  } catch (const EtcAborted&) {
    files_->Clear();
    if (OnAborted) OnAborted(*this);
    return;
  } catch (const EAbort&) {
    files_->Clear();
    return;
  } catch (...) {
    abort_ = true;
    files_->Clear();
    throw;
  }
  files_->Clear();
}

void TTvrkCompress::DoAddFiles(TlzhCommand command, int uniqueID) {
  const std::string archivePath = compressedFile_;
  const std::vector<std::string> lines = files_->ToVector();
  // Within a batch the archive added to last is still open, its directory in memory: adding to it again
  // neither reopens it nor reads its chain of headers.
  const bool continuing = batch_ > 0 && command == lzcOnlyAdd && adding_.IsOpen() && SameText(addingPath_, archivePath);
  if (!continuing) {
    CloseAdding();
    const std::string dir = ExtractFileDir(archivePath);
    if (!dir.empty()) CreateDirectories(dir);
  }
  sys::File& archive = adding_;
  std::int64_t end = kPrologueSize;  // where the next member goes
  int committed = 0;
  // A short list's sources stay open from reading their details to compressing them; a long one's are
  // opened again one at a time rather than holding a handle per file.
  constexpr std::size_t kKeptOpen = 64;
  std::vector<sys::File> opened;
  std::vector<sys::File>* const sources = lines.size() <= kKeptOpen ? &opened : nullptr;
  if (continuing) {
    end = addingEnd_;
    committed = addingCommitted_;
    headers_.BuildFromList(lines, true, sources);
  } else if (command == lzcOnlyAdd && sys::FileExists(archivePath)) {
    idTable_.fill(0);
    archive = sys::File::Open(archivePath, sys::OpenMode::ReadWrite);
    if (!archive.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), archivePath);
    try {
      headers_.ReadDirectory(archive, 0);
      // Volume 1 of a spanned archive holds its headers together; members cannot be interleaved there.
      if (headers_.Spanned) throw ETvrkCompress("Cannot add files to the spanned archive %s", archivePath);
      if (headers_.Count() > 0) {
        end = headers_[headers_.Count() - 1].NextHeader;
        if (end < kPrologueSize + kFileHeaderSize || end > archive.Size()) throw ETvrkCompress(kMsgCorrupt);
      }
      for (int i = 0; i < headers_.Count(); ++i) {
        const std::int32_t id = headers_[i].UniqueID;
        if (id >= 0 && id < kIDTableSize) idTable_[static_cast<std::size_t>(id)] = i;
      }
      committed = headers_.Count();
      headers_.BuildFromList(lines, true, sources);
    } catch (...) {
      CloseAdding();  // a failed add leaves the archive closed, as it found it
      throw;
    }
  } else {
    idTable_.fill(0);
    // The sources are opened before an existing archive is truncated.
    headers_.BuildFromList(lines, false, sources);
    headers_.Spanned = false;
    archive = sys::File::Open(archivePath, sys::OpenMode::Create);
    if (!archive.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), archivePath);
  }
  addingPath_ = archivePath;

  // The prologue counts only members that are complete, so an interrupted run leaves a readable
  // archive: the count grows after each member and anything after the last one is cut off on failure.
  if (!continuing) TFileHeaders::WritePrologue(archive, committed, false);
  const int firstNew = committed;
  ComputeTotals();
  stats_.TotalCompressedSize = 0;

  bool wrote = false;
  TPacked packed(work_->packed);
  std::vector<unsigned char>& buffer = work_->deflateIn;  // free between members
  try {
    for (int i = committed; i < headers_.Count(); ++i) {
      TFileHeader& h = headers_[i];
      const std::size_t n = static_cast<std::size_t>(i - firstNew);
      sys::File source = n < opened.size() && opened[n].IsOpen()
                             ? std::move(opened[n])
                             : sys::File::Open(h.SourcePath, sys::OpenMode::ReadShared);
      if (!source.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), h.SourcePath);

      FillStats(h);
      stats_.CompressedSize = 0;
      Fire(OnBeforeAdding);
      packed.Start();
      CompressMember(h, source, packed);
      source.Close();
      headers_.Changed();  // the member's size is the one read

      const std::int64_t packedSize = packed.size;
      if (end + kFileHeaderSize + packedSize > INT32_MAX)
        throw ETvrkCompress("The file %s is too large for the archive", archivePath);
      wrote = true;
      if (archive.Position() != end && archive.Seek(end) != end)
        throw ETvrkCompress("Could not write the file headers for the compressed file");
      // The header goes in with its final values, unless the data falls short of them below.
      h.DataStart = static_cast<std::int32_t>(end + kFileHeaderSize);
      h.EndPosition = static_cast<std::int32_t>(end + kFileHeaderSize + packedSize - 1);
      h.NextHeader = h.EndPosition + 1;
      h.CompressedSize = static_cast<std::int32_t>(packedSize);
      h.UniqueID = uniqueID;
      TFileHeaders::WriteHeader(archive, h);

      std::int64_t copied = 0;
      bool copyFailed = false;
      if (!packed.spilled) {
        copied = static_cast<std::int64_t>(WriteLimited(archive, packed.memory.data(), packed.memory.size()));
      } else {
        copyFailed = packed.temp.Seek(0) != 0;
        while (!copyFailed && copied < packedSize) {
          const std::size_t want = static_cast<std::size_t>(
              std::min<std::int64_t>(packedSize - copied, static_cast<std::int64_t>(buffer.size())));
          const std::size_t got = packed.temp.Read(buffer.data(), want);
          if (got == 0) break;
          const std::size_t put = WriteLimited(archive, buffer.data(), got);
          copied += static_cast<std::int64_t>(put);
          if (put < got) copyFailed = true;
        }
      }
      if (copyFailed || copied < packedSize) {
        FullDisk();
        // Carried on: the header tells what did get there.
        const std::int64_t pos = archive.Position();
        h.EndPosition = static_cast<std::int32_t>(pos - 1);
        h.NextHeader = static_cast<std::int32_t>(pos);
        if (archive.Seek(end) != end) throw ETvrkCompress("Could not write the file headers for the compressed file");
        TFileHeaders::WriteHeader(archive, h);
      }
      stats_.TotalCompressedSize += packedSize;

      TFileHeaders::WritePrologue(archive, committed + 1, false);
      ++committed;
      if (uniqueID >= 0 && uniqueID < kIDTableSize) idTable_[static_cast<std::size_t>(uniqueID)] = i;
      end = h.NextHeader;
      archive.Seek(end);
      Fire(OnAfterAdding);
    }
  } catch (...) {
    if (wrote && archive.Seek(end) == end) archive.Truncate();
    headers_.Truncate(committed);
    CloseAdding();
    throw;
  }
  addingEnd_ = end;
  addingCommitted_ = committed;
  if (batch_ == 0) CloseAdding();
}

void TTvrkCompress::CloseAdding() {
  adding_.Close();
  addingPath_.clear();
}

void TTvrkCompress::CompressMember(TFileHeader& header, sys::File& source, TPacked& packed) {
  const int level = ZlibLevel(level_);
  std::int64_t consumed = 0, written = 0;
  // A large member is deflated in blocks on every core; the stream is the same on any machine.
  if (level != 0 && header.FileSize >= static_cast<std::int32_t>(2 * TBlockDeflate::kBlock)) {
    TBlockDeflate& d = work_->BlockDeflater(level);
    auto put = [&](const std::vector<unsigned char>& bytes) {
      if (!packed.Write(bytes.data(), bytes.size())) FullDisk();
      written += static_cast<std::int64_t>(bytes.size());
    };
    put(d.Start());
    for (bool last = false; !last;) {
      std::size_t n = 0;
      while (n < d.Capacity()) {
        const std::size_t got = source.Read(d.Input() + n, d.Capacity() - n);
        if (source.Failed()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), header.SourcePath);
        if (got == 0) break;
        n += got;
      }
      last = n < d.Capacity();
      if (consumed + static_cast<std::int64_t>(n) > INT32_MAX)
        throw ETvrkCompress("The file %s is too large for the archive", header.SourcePath);
      if (!d.Deflate(n, last)) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), compressedFile_);
      for (std::size_t k = 0; k < d.Blocks(); ++k) {
        put(d.Output(k));
        consumed += static_cast<std::int64_t>(d.InputLength(k));
        AddStatus(consumed, written);
      }
    }
    put(d.Trailer());
    MemberCompressed(header, consumed, written);
    return;
  }
  z_stream* z = work_->Deflater(level);
  if (!z) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), compressedFile_);
  std::vector<unsigned char>& in = work_->deflateIn;
  std::vector<unsigned char>& out = work_->deflateOut;
  int flush = Z_NO_FLUSH;
  do {
    const std::size_t got = source.Read(in.data(), in.size());
    if (source.Failed()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), header.SourcePath);
    consumed += static_cast<std::int64_t>(got);
    if (consumed > INT32_MAX) throw ETvrkCompress("The file %s is too large for the archive", header.SourcePath);
    flush = got < in.size() ? Z_FINISH : Z_NO_FLUSH;
    z->next_in = in.data();
    z->avail_in = static_cast<uInt>(got);
    do {
      z->next_out = out.data();
      z->avail_out = static_cast<uInt>(out.size());
      deflate(z, flush);  // cannot fail with a valid stream and buffers
      const std::size_t have = out.size() - z->avail_out;
      if (have > 0) {
        if (!packed.Write(out.data(), have)) FullDisk();
        written += static_cast<std::int64_t>(have);
        AddStatus(consumed - z->avail_in, written);
      }
    } while (z->avail_out == 0);
  } while (flush != Z_FINISH);
  MemberCompressed(header, consumed, written);
}

void TTvrkCompress::MemberCompressed(TFileHeader& header, std::int64_t consumed, std::int64_t written) {
  // A source that changed size since its header was built is stored as read.
  header.FileSize = static_cast<std::int32_t>(consumed);
  stats_.FileSize = header.FileSize;
  stats_.CompressionRatio = Percentage(static_cast<double>(written), static_cast<double>(header.FileSize));
  stats_.FileDone = true;
  AddStatus(consumed, written);
  stats_.FileDone = false;
}

void TTvrkCompress::AddStatus(std::int64_t consumed, std::int64_t written) {
  CheckAbort();
  work_->PumpIfDue();
  stats_.TotalBytesDone += consumed - stats_.BytesDone;
  stats_.BytesDone = consumed;
  stats_.CompressedSize = written;
  stats_.PercentDone = Percentage(static_cast<double>(stats_.BytesDone), static_cast<double>(stats_.FileSize));
  stats_.TotalPercentDone =
      Percentage(static_cast<double>(stats_.TotalBytesDone), static_cast<double>(stats_.TotalFileSize));
  Fire(OnStatus);
}

// ---- extracting ----

void TTvrkCompress::ExtractFiles() {
  abort_ = false;
  mode_ = cmExtracting;
  // Members are written behind the inflating: into the caller's queue when it asked for that, else
  // into our own, which this call waits for.
  TWriteBehind* active = ActiveWriteBehind();
  writer_ = deferWrites_ && active ? active : &work_->Writer();
  deferWrites_ = false;
  const bool own = writer_ != active;
  struct TUnclaim {
    TTvrkCompress& c;
    ~TUnclaim() { c.DropClaim(); }
  } unclaim{*this};
  // On the way out with an error, the members handed over are finished (or removed) first.
  const auto settle = [&] {
    if (!own) return;
    try {
      writer_->Wait();
    } catch (...) {
      // The first failure is the one on its way.
    }
  };
  try {
    DoExtractFiles();
    if (own) writer_->Wait();
  } catch (const EtcAborted&) {
    settle();
    volume_.Close();
    if (OnAborted) OnAborted(*this);
    return;
  } catch (const EAbort&) {
    settle();
    volume_.Close();
    return;
  } catch (...) {
    settle();
    volume_.Close();
    abort_ = true;
    throw;
  }
}

void TClaimedFile::Drop() {
  if (file.IsOpen()) {
    file.Close();
    sys::RemoveFile(path);
  }
  path.clear();
}

void TTvrkCompress::DoExtractFiles() {
  if (!loaded_) LoadDirectory();
  volumes_ = TVolumeSet(compressedFile_, headers_.Spanned, DiskRequest());
  currentVolume_ = 0;
  ComputeTotals();
  TWork& w = *work_;
  if (batch_ == 0) w.lastFolder.clear();
  w.folders.clear();
  w.landed.clear();
  // With folders kept each line stands for one member: a name is matched by its exact spelling before
  // case is ignored, and a name given again means the next member stored under it.
  std::unordered_map<std::string, std::vector<int>> exact;
  std::unordered_map<std::string, std::size_t> used;
  if (keepFolders_) {
    for (int i = 0; i < headers_.Count(); ++i) exact[headers_[i].FileName].push_back(i);
  }
  for (int line = 0; line < files_->Count(); ++line) {
    const std::string wanted = files_->Get(line);
    int index = -1;
    if (keepFolders_) {
      const auto found = exact.find(FirstField(wanted));
      if (found != exact.end()) {
        std::size_t& next = used[found->first];
        index = found->second[std::min(next++, found->second.size() - 1)];
      }
    }
    if (index < 0) index = headers_.FindByName(wanted);
    if (index < 0)
      throw ETvrkCompress(TranslateMessage("The file <%s> was not found in the archive <%s>"), wanted, compressedFile_);
    const TFileHeader header = std::as_const(headers_)[index];
    FillStats(header);
    // The name asked for, not the stored one: a stored name may be cut short.
    if (Trim(ExtractName).empty()) ExtractName = keepFolders_ ? header.FileName : ExtractFileName(FirstField(wanted));
    Fire(OnBeforeExtracting);
    std::string dest = Destination();
    if (keepFolders_) {
#ifdef _WIN32
      const std::string key = FoldedName(dest);
#else
      const std::string key = dest;
#endif
      if (!w.landed.insert(key).second) throw ETvrkCompress("Two members would be extracted to the same file %s", dest);
    }
    bool extract = true;
    // Under owAlways only OnReplace needs to know beforehand that the file is there: creating it tells.
    if ((overwrite_ != owAlways || OnReplace) && sys::FileExists(dest)) {
      writer_->Wait();  // the file may be one still being written
      switch (TVersionResource::IsFileNewerByInfo(header.FileVersion, dest, overwrite_, header.FileDate)) {
        case 0: throw ETvrkCompress("Error comparing file versions in TTvrkCompress");
        case 2:
          Fire(OnReplace);
          dest = Destination();
          break;
        default: extract = false; break;
      }
    }
    if (extract) {
      ExtractMember(header, dest);
    } else {
      MemberEnds();
      stats_.FileDone = true;
      Fire(OnStatus);
    }
    ExtractName.clear();
  }
  if (batch_ == 0) volume_.Close();
  files_->Clear();
  ExtractName.clear();
}

void TTvrkCompress::MemberEnds() {
  work_->PumpIfDue();
  CheckAbort();
}

void TTvrkCompress::ExtractMember(const TFileHeader& header, const std::string& dest) {
  // Members of one single-file archive are read through one open handle (in a batch, from one run to
  // the next).
  if (!volume_.IsOpen() || headers_.Spanned || openArchive_ != compressedFile_)
    OpenArchiveVolume(header.StartDisk == 0 ? 1 : header.StartDisk);
  currentVolume_ = header.StartDisk;
  PrepareFolder(dest);
  // The file is made here, so that a name that cannot be made fails its own member; its bytes, date
  // and final name are given to the writing thread, and a file it never finishes is removed.
  sys::File claimed;
  if (claimed_.file.IsOpen() && claimed_.path == dest) claimed = std::move(claimed_.file);
  auto out = std::make_shared<TDestination>(dest, diskCapacity_, std::move(claimed));
  if (header.DataStart < 0) throw ETvrkCompress(kMsgCorrupt);
  work_->readPosition = static_cast<std::int64_t>(offset_) + header.DataStart;
  // A full disk asks OnFullDisk, which only this thread may call: with a handler, nothing is written behind.
  TWriteBehind* behind = OnFullDisk ? nullptr : writer_;
  const std::shared_ptr<TBlockPool> pool = work_->blocks;
  const auto shortWrite = [this, behind] {
    if (behind) throw EtcDiskFull(TranslateMessage("The disk is full"));
    FullDisk();
  };
  const auto hand = [&](std::function<void()> job, std::size_t bytes) {
    if (behind)
      behind->Push(std::move(job), bytes);
    else
      job();
  };
  // Inflated straight into write blocks; a full one goes to the writer.
  TBlock block = pool->Take();
  std::size_t fill = 0;
  std::int64_t produced = 0;
  const auto space = [&] {
    if (fill == block.size()) {
      hand([out, pool, shortWrite, full = std::move(block)]() mutable {
        out->Sum(full.data(), full.size());
        if (!out->Write(full.data(), full.size())) shortWrite();
        pool->Give(std::move(full));
      }, kWriteBlock);
      block = pool->Take();
      fill = 0;
    }
    // A block is filled in steps of the progress report.
    return std::make_pair(block.data() + fill, std::min(kInflateOutput, block.size() - fill));
  };
  const auto filled = [&](std::size_t n) {
    fill += n;
    produced += static_cast<std::int64_t>(n);
  };
  const std::uint32_t check = InflateMember(header, {space, filled});
  MemberEnds();
  stats_.FileDone = true;
  Fire(OnStatus);
  if (produced != header.FileSize) SizeMismatch(header.FileName);
  hand([out, pool, shortWrite, fill, check, size = header.FileSize, date = header.FileDate,
        name = header.FileName, rest = std::move(block)]() mutable {
    out->Sum(rest.data(), fill);
    if (out->Checksum() != check) CorruptMember(name);
    if (!out->Write(rest.data(), fill)) shortWrite();
    pool->Give(std::move(rest));
    if (out->Written() != size) SizeMismatch(name);
    if (!out->File().SetDosDateTime(sys::DateTimeToDosDateTime(date)))
      throw ETvrkCompress("Cannot set the date of the file just extracted.");
    out->Commit();
  }, kWriteBlock);  // the block's memory, however little of it is used
  if (headers_.Spanned) volume_.Close();
}

void TTvrkCompress::TestMember(int index) {
  abort_ = false;
  if (!loaded_) LoadDirectory();
  if (index < 0 || index >= headers_.Count())
    throw ETvrkCompress("Tried to access the %dth file. This file is not defined", index);
  const TFileHeader header = headers_[index];
  FillStats(header);
  std::int64_t total = 0;
  volumes_ = TVolumeSet(compressedFile_, headers_.Spanned, DiskRequest());
  try {
    OpenArchiveVolume(header.StartDisk == 0 ? 1 : header.StartDisk);
    currentVolume_ = header.StartDisk;
    if (header.DataStart < 0) throw ETvrkCompress(kMsgCorrupt);
    work_->readPosition = static_cast<std::int64_t>(offset_) + header.DataStart;
    std::vector<unsigned char>& buffer = work_->inflated;
    uLong sum = adler32(0, nullptr, 0);
    const std::uint32_t check =
        InflateMember(header, {[&] { return std::make_pair(buffer.data(), buffer.size()); },
                               [&](std::size_t n) {
                                 sum = adler32_z(sum, buffer.data(), n);
                                 total += static_cast<std::int64_t>(n);
                               }});
    if (total == header.FileSize && sum != check) CorruptMember(header.FileName);
    MemberEnds();
  } catch (...) {
    volume_.Close();
    throw;
  }
  volume_.Close();
  stats_.FileDone = true;
  Fire(OnStatus);
  if (total != header.FileSize) SizeMismatch(header.FileName);
}

// Inflates from the read position of the member's start volume on, across volumes, to the end of the
// zlib stream: a member whose data ends (at its end position or the end of the file) before its stream
// does is damaged, however much it produced. zlib inflates the deflate data; the stream's header is
// checked here and its Adler-32 returned, for the caller to compare with what was produced (the
// writing thread sums the bytes it writes, off the inflating one).
std::uint32_t TTvrkCompress::InflateMember(const TFileHeader& header, const TInflateTarget& out) {
  const auto corrupt = [&] { CorruptMember(header.FileName); };
  z_stream* z = work_->Inflater();
  if (!z) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), Destination());
  if (header.EndDisk < currentVolume_) corrupt();
  const std::int64_t last = static_cast<std::int64_t>(offset_) + header.EndPosition;  // inclusive
  z->next_in = nullptr;
  z->avail_in = 0;
  // More input for z; false at the end of the member's data.
  const auto fill = [&] {
    while (z->avail_in == 0) {
      std::size_t want = kInflateInput;
      if (currentVolume_ == header.EndDisk) {
        const std::int64_t left = last + 1 - work_->readPosition;
        want = left <= 0 ? 0 : static_cast<std::size_t>(std::min<std::int64_t>(left, kInflateInput));
      }
      const unsigned char* data = nullptr;
      const std::size_t got = want == 0 ? 0 : ReadInput(data, want);
      if (got == 0) {
        // This volume is used up: the member goes on in the next one, or its data ends here.
        if (currentVolume_ >= header.EndDisk) return false;
        ++currentVolume_;
        OpenArchiveVolume(currentVolume_);
        continue;
      }
      z->next_in = const_cast<unsigned char*>(data);
      z->avail_in = static_cast<uInt>(got);
    }
    return true;
  };
  const auto byte = [&]() -> std::uint32_t {
    if (!fill()) corrupt();
    --z->avail_in;
    return *z->next_in++;
  };
  // Deflate, a window of at most 32 KB, no preset dictionary, and the header's own check.
  const std::uint32_t cmf = byte(), flg = byte();
  if ((cmf & 0x0F) != Z_DEFLATED || (cmf >> 4) > 7 || (flg & 0x20) != 0 || ((cmf << 8) | flg) % 31 != 0) corrupt();
  bool ended = false;
  std::int64_t produced = 0;
  while (!ended) {
    const auto [room, size] = out.Space();
    z->next_out = room;
    z->avail_out = static_cast<uInt>(size);
    while (z->avail_out > 0 && !ended) {
      if (!fill()) break;
      const int rc = inflate(z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended = true;
      } else if (rc != Z_OK) {
        corrupt();  // damaged data
      }
    }
    CheckAbort();
    const std::size_t have = size - z->avail_out;
    if (have == 0) {
      if (!ended) corrupt();
      break;
    }
    produced += static_cast<std::int64_t>(have);
    out.Filled(have);
    stats_.BytesDone += static_cast<std::int64_t>(have);
    stats_.TotalBytesDone += static_cast<std::int64_t>(have);
    stats_.PercentDone = Percentage(static_cast<double>(stats_.BytesDone), static_cast<double>(stats_.FileSize));
    stats_.TotalPercentDone =
        Percentage(static_cast<double>(stats_.TotalBytesDone), static_cast<double>(stats_.TotalFileSize));
    // More output than the header promises is damage; stop before it fills the disk.
    if (produced > header.FileSize) break;
    if (ended) break;  // the member's closing event reports this buffer
    work_->PumpIfDue();
    CheckAbort();
    Fire(OnStatus);
  }
  if (!ended) return 0;  // the size check fails the member
  std::uint32_t check = 0;
  for (int i = 0; i < 4; ++i) check = (check << 8) | byte();
  return check;
}

// ---- spanning ----

void TTvrkCompress::SpanToDisks(const std::string& directory, const std::string& name) {
  abort_ = false;
  try {
    DoSpanToDisks(directory, name);
  } catch (const EtcAborted&) {
    volume_.Close();
    loaded_ = false;
    if (OnAborted) OnAborted(*this);
    return;
  } catch (...) {
    volume_.Close();
    loaded_ = false;
    abort_ = true;
    throw;
  }
  // The directory in memory now describes the copy, not CompressedFile.
  loaded_ = false;
}

void TTvrkCompress::DoSpanToDisks(const std::string& directory, const std::string& name) {
  if (!loaded_) LoadDirectory();
  if (headers_.Spanned) throw ETvrkCompress("The compressed file %s is already spanned", compressedFile_);
  volume_.Close();
  openArchive_.clear();
  currentVolume_ = 1;
  headers_.Spanned = true;
  ComputeTotals();

  sys::File source = sys::File::Open(compressedFile_, sys::OpenMode::ReadShared);
  if (!source.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the compressed file %s"), compressedFile_);
  TVolumeSet disks = TVolumeSet::ToWrite(directory, ExtractFileName(name), DiskRequest());
  const std::string firstVolume = disks.BaseName();
  volume_ = sys::File::Open(firstVolume, sys::OpenMode::Create);
  if (!volume_.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), firstVolume);
  headers_.WriteDirectory(volume_);
  if (diskCapacity_ > 0 && volume_.Position() > diskCapacity_)
    throw ETvrkCompress("Could not write the file headers for the compressed file");

  std::vector<unsigned char> chunk(kCopyChunk);
  for (int i = 0; i < headers_.Count(); ++i) {
    TFileHeader& h = headers_[i];
    FillStats(h);
    const std::int64_t last = static_cast<std::int64_t>(offset_) + h.EndPosition;  // inclusive, in the source
    const std::int64_t from = static_cast<std::int64_t>(offset_) + h.DataStart;
    if (h.DataStart < 0 || source.Seek(from) != from) throw ETvrkCompress(kMsgCorrupt);
    h.DataStart = static_cast<std::int32_t>(volume_.Position());
    h.StartDisk = static_cast<std::uint8_t>(currentVolume_);
    for (;;) {
      CheckAbort();
      const std::int64_t left = last + 1 - source.Position();
      if (left <= 0) break;
      const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyChunk));
      const std::size_t got = source.Read(chunk.data(), want);
      // A source shorter than its headers say would make a copy that lies about its members.
      if (got < want) throw ETvrkCompress(kMsgCorrupt);
      sys::PumpMessages();
      std::size_t put = WriteLimited(volume_, chunk.data(), got);
      while (put < got) {
        volume_.Close();
        if (++currentVolume_ > kMaxVolume)
          throw ETvrkCompress(TranslateMessage("There is too little space on this disk to operate"));
        const std::string path = disks.NewVolume(currentVolume_);
        volume_ = sys::File::Open(path, sys::OpenMode::Create);
        if (!volume_.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot create the file %s"), path);
        // A fresh volume that takes nothing at all cannot hold the archive.
        const std::size_t more = WriteLimited(volume_, chunk.data() + put, got - put);
        if (more == 0) throw ETvrkCompress(TranslateMessage("There is too little space on this disk to operate"));
        put += more;
      }
      stats_.BytesDone += static_cast<std::int64_t>(got);
      stats_.TotalBytesDone += static_cast<std::int64_t>(got);
      stats_.PercentDone =
          Percentage(static_cast<double>(stats_.BytesDone), static_cast<double>(stats_.CompressedSize));
      stats_.TotalPercentDone = Percentage(static_cast<double>(stats_.TotalBytesDone),
                                           static_cast<double>(stats_.TotalCompressedSize));
      Fire(OnStatus);
    }
    h.EndPosition = static_cast<std::int32_t>(volume_.Position() - 1);
    h.EndDisk = static_cast<std::uint8_t>(currentVolume_);
  }
  volume_.Close();
  source.Close();

  // The first disk may have been taken out meanwhile: ask for it again when it is not there. It is
  // looked for under the name it was written with, in the folder it was written to.
  TVolumeSet first(firstVolume, false, DiskRequest());
  OpenVolume(first, 1, sys::OpenMode::ReadWrite);
  headers_.WriteDirectory(volume_);
  volume_.Close();
}

// ---- plain copies ----

void TTvrkCompress::CopyUncompressed(const std::string& source, const std::string& dest) {
  abort_ = false;
  offset_ = 0;
  extractDirectory_ = ExtractFileDir(dest);
  ExtractName = ExtractFileName(dest);
  std::string target = dest;
  if (sys::FileExists(dest)) {
    switch (TVersionResource::IsFileNewerByName(source, dest, overwrite_)) {
      case 0: throw ETvrkCompress("Error comparing file versions in TTvrkCompress");
      case 2:
        Fire(OnReplace);
        target = Destination();
        break;
      default: return;
    }
  }
  stats_ = TlzhFileStats();
  stats_.FileName = source;
  sys::File in = sys::File::Open(source, sys::OpenMode::ReadShared);
  if (!in.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), source);
  const std::int64_t size = in.Size();
  stats_.FileSize = size;
  const std::uint32_t date = in.DosDateTime();
  TDestination out(target, diskCapacity_);
  std::vector<unsigned char>& buffer = work_->inflated;  // free while no member is inflated
  for (;;) {
    if (abort_) return;  // quietly; an existing destination keeps what it held
    const std::size_t got = in.Read(buffer.data(), buffer.size());
    if (in.Failed()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), source);
    if (!out.Write(buffer.data(), got)) FullDisk();
    stats_.BytesDone += static_cast<std::int64_t>(got);
    stats_.TotalBytesDone += static_cast<std::int64_t>(got);
    stats_.PercentDone = stats_.TotalPercentDone =
        Percentage(static_cast<double>(stats_.BytesDone), static_cast<double>(stats_.FileSize));
    Fire(OnStatus);
    sys::PumpMessages();
    if (got < buffer.size()) {
      out.File().SetDosDateTime(date);
      stats_.FileDone = true;
      Fire(OnStatus);
      out.Commit();
      return;
    }
  }
}

// ---- shared instance and registration ----

TTvrkCompress& TvrkCompress() {
  static std::unique_ptr<TTvrkCompress> instance;
  if (!instance) instance = std::make_unique<TTvrkCompress>(nullptr);
  return *instance;
}

void RegisterCompressClasses() { RegisterClass(TTvrkCompress::StaticClassInfo()); }

}  // namespace tav
