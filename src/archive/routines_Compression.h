#pragma once
// The archive's on-disk layout: the 5-byte prologue, the 172-byte file header and the directory of
// headers. Writer and reader share these definitions; every field is serialised explicitly in
// little-endian order.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sys/dates.h"
#include "sys/files.h"

namespace tav {

constexpr std::int64_t kPrologueSize = 5;
constexpr std::int64_t kFileHeaderSize = 172;
constexpr std::size_t kFileNameCapacity = 100;
constexpr std::size_t kFileVersionCapacity = 20;
constexpr int kIDTableSize = 2000;

using TFileHeaderRecord = std::array<std::uint8_t, kFileHeaderSize>;

// Byte offsets of the header fields inside the record.
namespace header_offset {
constexpr std::size_t FileNumber = 0;
constexpr std::size_t FileDate = 4;
constexpr std::size_t EndDisk = 12;
constexpr std::size_t EndPosition = 16;
constexpr std::size_t FileName = 20;
constexpr std::size_t NextHeader = 124;
constexpr std::size_t FileSize = 128;
constexpr std::size_t DataStart = 132;
constexpr std::size_t CompressedSize = 136;
constexpr std::size_t StartDisk = 140;
constexpr std::size_t UniqueID = 144;
constexpr std::size_t FileVersion = 148;
}  // namespace header_offset

class TFileHeader {
public:
  std::int32_t FileNumber = 0;
  sys::TDateTime FileDate = 0;
  std::uint8_t EndDisk = 0;
  std::int32_t EndPosition = 0;
  // UTF-8 in memory; stored in Windows-1252 and cut to 100 characters.
  std::string FileName;
  std::int32_t NextHeader = 0;
  std::int32_t FileSize = 0;
  std::int32_t DataStart = 0;
  std::int32_t CompressedSize = 0;
  std::uint8_t StartDisk = 0;
  std::int32_t UniqueID = 0;
  std::string FileVersion;  // cut to 20 characters
  bool ReadFromArchive = false;
  // Not stored: the path the source was opened by, which the stored name may have cut.
  std::string SourcePath;

  TFileHeaderRecord Encode() const;
  // False when the record cannot have been written by an archive writer (a string longer than its
  // capacity).
  static bool Decode(const TFileHeaderRecord& record, TFileHeader& header);
};

// Windows-1252 form of a UTF-8 name, characters without a code point there as '?', cut to capacity.
std::string StoredName(const std::string& utf8, std::size_t capacity);

// The first ";"-separated field of a work-list line.
std::string FirstField(const std::string& line);
// Volume n of the archive whose (first) volume is path: "files.1" -> "files.2".
std::string VolumeName(const std::string& path, int n);

class TFileHeaders {
public:
  bool Spanned = false;

  int Count() const { return static_cast<int>(headers_.size()); }
  // An index outside the list fails. A header's FileName does not change once it is in the list.
  // A header taken for writing may change its sizes: the totals are counted again.
  TFileHeader& Get(int index);
  const TFileHeader& Get(int index) const;
  TFileHeader& operator[](int index) { return Get(index); }
  const TFileHeader& operator[](int index) const { return Get(index); }
  // A header whose FileName is blank after trimming is refused.
  void Add(std::unique_ptr<TFileHeader> header);
  void Clear() {
    headers_.clear();
    byName_.clear();
    Changed();
  }
  // Removes the headers from index on.
  void Truncate(int count);
  // 0-based index of the first header named like the line's first field (without regard to case), or -1.
  int FindByName(const std::string& line) const;

  // One header per source line; the line's position (1-based) is its FileNumber. Each source is opened.
  // With sources, the files stay open there, one per line and positioned at their start, for reading them.
  void BuildFromList(const std::vector<std::string>& lines, bool append, std::vector<sys::File>* sources = nullptr);

  // Reads the prologue and all headers of the archive that starts at offset.
  void ReadDirectory(sys::File& file, std::int64_t offset);
  // Writes the prologue at 0 and, when spanned, every header after it.
  void WriteDirectory(sys::File& file);
  // Writes just the prologue at 0 with the given count.
  static void WritePrologue(sys::File& file, std::int32_t count, bool spanned);
  static void ReadHeader(sys::File& file, TFileHeader& header);
  static void WriteHeader(sys::File& file, const TFileHeader& header);

  // Counted once and kept until the list changes: extracting member by member asks for them every time.
  std::int64_t TotalFileSize() const;
  std::int64_t TotalCompressedSize() const;
  // To be called when a header held from before changes its sizes.
  void Changed() { totalFileSize_ = totalCompressedSize_ = -1; }

private:
  void CountTotals() const;
  mutable std::int64_t totalFileSize_ = -1, totalCompressedSize_ = -1;
  std::vector<std::unique_ptr<TFileHeader>> headers_;
  // Lower-cased name -> first index; built on the first lookup, so a long list is not searched
  // once per name.
  mutable std::unordered_map<std::string, int> byName_;
};

// Entry k holds the index of the header whose UniqueID is k.
using TIDTable = std::array<std::int32_t, kIDTableSize>;

}  // namespace tav
