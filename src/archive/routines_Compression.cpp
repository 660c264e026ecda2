#include "archive/routines_Compression.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "archive/cmp_TVersion.h"
#include "core/classes.h"
#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"
#include "sys/unicode.h"

namespace tav {

namespace {

const char* const kMsgCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

void PutInt32(TFileHeaderRecord& r, std::size_t at, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) r[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}

void PutDouble(TFileHeaderRecord& r, std::size_t at, double v) {
  const auto u = std::bit_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) r[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

double GetDouble(const std::uint8_t* p) {
  std::uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return std::bit_cast<double>(u);
}

// A short string: length byte, then capacity bytes (zero past the length).
void PutShortString(TFileHeaderRecord& r, std::size_t at, const std::string& utf8, std::size_t capacity) {
  const std::string bytes = StoredName(utf8, capacity);
  r[at] = static_cast<std::uint8_t>(bytes.size());
  std::memcpy(&r[at + 1], bytes.data(), bytes.size());
}

bool GetShortString(const TFileHeaderRecord& r, std::size_t at, std::size_t capacity, std::string& out) {
  const std::size_t n = r[at];
  if (n > capacity) return false;
  out = sys::Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(&r[at + 1]), n));
  return true;
}

}  // namespace

TFileHeaderRecord TFileHeader::Encode() const {
  TFileHeaderRecord r{};
  PutInt32(r, header_offset::FileNumber, FileNumber);
  PutDouble(r, header_offset::FileDate, FileDate);
  r[header_offset::EndDisk] = EndDisk;
  PutInt32(r, header_offset::EndPosition, EndPosition);
  PutShortString(r, header_offset::FileName, FileName, kFileNameCapacity);
  PutInt32(r, header_offset::NextHeader, NextHeader);
  PutInt32(r, header_offset::FileSize, FileSize);
  PutInt32(r, header_offset::DataStart, DataStart);
  PutInt32(r, header_offset::CompressedSize, CompressedSize);
  r[header_offset::StartDisk] = StartDisk;
  PutInt32(r, header_offset::UniqueID, UniqueID);
  PutShortString(r, header_offset::FileVersion, FileVersion, kFileVersionCapacity);
  return r;
}

bool TFileHeader::Decode(const TFileHeaderRecord& r, TFileHeader& h) {
  h = TFileHeader();
  h.FileNumber = GetInt32(&r[header_offset::FileNumber]);
  h.FileDate = GetDouble(&r[header_offset::FileDate]);
  h.EndDisk = r[header_offset::EndDisk];
  h.EndPosition = GetInt32(&r[header_offset::EndPosition]);
  if (!GetShortString(r, header_offset::FileName, kFileNameCapacity, h.FileName)) return false;
  h.NextHeader = GetInt32(&r[header_offset::NextHeader]);
  h.FileSize = GetInt32(&r[header_offset::FileSize]);
  h.DataStart = GetInt32(&r[header_offset::DataStart]);
  h.CompressedSize = GetInt32(&r[header_offset::CompressedSize]);
  h.StartDisk = r[header_offset::StartDisk];
  h.UniqueID = GetInt32(&r[header_offset::UniqueID]);
  return GetShortString(r, header_offset::FileVersion, kFileVersionCapacity, h.FileVersion);
}

std::string StoredName(const std::string& utf8, std::size_t capacity) {
  std::string out, bytes;
  if (sys::Utf8ToCp1252(utf8, bytes)) {
    out = std::move(bytes);
  } else {
    // Convert character by character so one foreign character does not lose the whole name.
    for (std::size_t i = 0; i < utf8.size();) {
      std::size_t n = 1;
      const auto lead = static_cast<unsigned char>(utf8[i]);
      if (lead >= 0xF0) n = 4;
      else if (lead >= 0xE0) n = 3;
      else if (lead >= 0xC0) n = 2;
      n = std::min(n, utf8.size() - i);
      std::string one;
      out += sys::Utf8ToCp1252(utf8.substr(i, n), one) && one.size() == 1 ? one : std::string("?");
      i += n;
    }
  }
  if (out.size() > capacity) out.resize(capacity);
  return out;
}

std::string FirstField(const std::string& line) { return line.substr(0, line.find(';')); }

std::string VolumeName(const std::string& path, int n) { return ChangeFileExt(path, "." + std::to_string(n)); }

TFileHeader& TFileHeaders::Get(int index) {
  const TFileHeader& header = std::as_const(*this).Get(index);
  Changed();
  return const_cast<TFileHeader&>(header);
}

const TFileHeader& TFileHeaders::Get(int index) const {
  if (index < 0 || index >= Count())
    throw ETvrkCompress("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", index);
  return *headers_[static_cast<std::size_t>(index)];
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> header) {
  if (!header || Trim(header->FileName).empty()) throw ETvrkCompress("Tried to add an invalid file header");
  headers_.push_back(std::move(header));
  byName_.clear();
  Changed();
}

void TFileHeaders::Truncate(int count) {
  if (count >= 0 && count < Count()) headers_.resize(static_cast<std::size_t>(count));
  byName_.clear();
  Changed();
}

int TFileHeaders::FindByName(const std::string& line) const {
  if (byName_.empty()) {
    for (int i = Count() - 1; i >= 0; --i) byName_[LowerCase(headers_[static_cast<std::size_t>(i)]->FileName)] = i;
  }
  // A member is stored under its source path cut to the header's capacity: look it up the same way, so
  // a file with a long source path finds the member it was added as.
  const auto found = byName_.find(LowerCase(sys::Cp1252ToUtf8(StoredName(FirstField(line), kFileNameCapacity))));
  return found == byName_.end() ? -1 : found->second;
}

void TFileHeaders::BuildFromList(const std::vector<std::string>& lines, bool append, std::vector<sys::File>* sources) {
  std::vector<std::unique_ptr<TFileHeader>> built;
  if (sources) sources->clear();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto h = std::make_unique<TFileHeader>();
    h->SourcePath = FirstField(lines[i]);
    h->FileName = sys::Cp1252ToUtf8(StoredName(h->SourcePath, kFileNameCapacity));
    sys::File source = sys::File::Open(h->SourcePath, sys::OpenMode::ReadShared);
    if (!source.IsOpen()) throw ETvrkCompress(TranslateMessage("Cannot open the file %s"), h->SourcePath);
    h->FileDate = sys::DosDateTimeToDateTime(source.DosDateTime());
    const std::int64_t size = source.Size();
    // Sizes and positions are 32-bit in the header.
    if (size < 0 || size > INT32_MAX)
      throw ETvrkCompress("The file %s is too large for the archive", h->SourcePath);
    h->FileSize = static_cast<std::int32_t>(size);
    std::string version = ReadFileVersion(source);
    if (sources && source.Seek(0) == 0) {
      sources->push_back(std::move(source));
    } else {
      if (sources) sources->emplace_back();  // opened again when read
      source.Close();
    }
    if (version.size() > kFileVersionCapacity) version.resize(kFileVersionCapacity);
    h->FileVersion = version;
    h->FileNumber = static_cast<std::int32_t>(i + 1);
    if (Trim(h->FileName).empty()) throw ETvrkCompress("Tried to add an invalid file header");
    built.push_back(std::move(h));
  }
  // Only a complete list replaces or extends the directory.
  if (!append) headers_.clear();
  for (auto& h : built) headers_.push_back(std::move(h));
  byName_.clear();
  Changed();
}

void TFileHeaders::ReadDirectory(sys::File& file, std::int64_t offset) {
  Clear();
  std::uint8_t prologue[kPrologueSize];
  if (offset < 0 || file.Seek(offset) != offset || file.Read(prologue, sizeof prologue) != sizeof prologue)
    throw ETvrkCompress("Could not read the file header count for the compressed file");
  const std::int32_t count = GetInt32(prologue);
  Spanned = prologue[4] != 0;
  // Every header takes 172 bytes of its own after the prologue, which caps the count by the file's size.
  const std::int64_t room = file.Size() - offset - kPrologueSize;
  if (count < 0 || count > room / kFileHeaderSize) throw ETvrkCompress(kMsgCorrupt);
  // Headers of small members lie close together: one read of a window serves several of them.
  constexpr std::size_t kWindow = 32 * 1024;
  std::vector<std::uint8_t> window;
  std::int64_t windowStart = 0, filePosition = offset + kPrologueSize;
  std::int64_t p = offset + kPrologueSize;
  headers_.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    if (p < windowStart || p + kFileHeaderSize > windowStart + static_cast<std::int64_t>(window.size())) {
      if (p != filePosition && file.Seek(p) != p) throw ETvrkCompress(kMsgCorrupt);
      window.resize(kWindow);
      window.resize(file.Read(window.data(), kWindow));
      windowStart = p;
      filePosition = p + static_cast<std::int64_t>(window.size());
      if (window.size() < static_cast<std::size_t>(kFileHeaderSize)) throw ETvrkCompress(kMsgCorrupt);
    }
    TFileHeaderRecord r;
    std::memcpy(r.data(), window.data() + (p - windowStart), r.size());
    auto h = std::make_unique<TFileHeader>();
    if (!TFileHeader::Decode(r, *h)) throw ETvrkCompress(kMsgCorrupt);
    h->ReadFromArchive = true;
    const std::int64_t next = offset + static_cast<std::int64_t>(h->NextHeader);
    // Headers follow one another; a chain that goes back would revisit headers.
    if (i + 1 < count && next < p + kFileHeaderSize) throw ETvrkCompress(kMsgCorrupt);
    p = next;
    Add(std::move(h));
  }
}

void TFileHeaders::WritePrologue(sys::File& file, std::int32_t count, bool spanned) {
  TFileHeaderRecord r{};
  PutInt32(r, 0, count);
  r[4] = spanned ? 1 : 0;
  if (file.Seek(0) != 0 || file.Write(r.data(), kPrologueSize) != kPrologueSize)
    throw ETvrkCompress("Could not write the file headers for the compressed file");
}

void TFileHeaders::WriteDirectory(sys::File& file) {
  WritePrologue(file, Count(), Spanned);
  if (!Spanned) return;
  for (auto& h : headers_) {
    h->NextHeader = static_cast<std::int32_t>(file.Position() + kFileHeaderSize);
    WriteHeader(file, *h);
  }
}

void TFileHeaders::ReadHeader(sys::File& file, TFileHeader& header) {
  TFileHeaderRecord r;
  if (file.Read(r.data(), r.size()) != r.size() || !TFileHeader::Decode(r, header))
    throw ETvrkCompress(kMsgCorrupt);
}

void TFileHeaders::WriteHeader(sys::File& file, const TFileHeader& header) {
  const TFileHeaderRecord r = header.Encode();
  if (file.Write(r.data(), r.size()) != r.size())
    throw ETvrkCompress("Could not write the file headers for the compressed file");
}

void TFileHeaders::CountTotals() const {
  totalFileSize_ = totalCompressedSize_ = 0;
  for (const auto& h : headers_) {
    totalFileSize_ += h->FileSize;
    totalCompressedSize_ += h->CompressedSize;
  }
}

std::int64_t TFileHeaders::TotalFileSize() const {
  if (totalFileSize_ < 0) CountTotals();
  return totalFileSize_;
}

std::int64_t TFileHeaders::TotalCompressedSize() const {
  if (totalCompressedSize_ < 0) CountTotals();
  return totalCompressedSize_;
}

}  // namespace tav
