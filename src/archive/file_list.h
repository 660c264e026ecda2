#pragma once
// The remote file list "filelist.lst": size, date and version of every file compressed in a build, so
// that an installer fetching files from a server can compare them without downloading them. A 4-byte
// little-endian count, then one 72-byte record per file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

constexpr std::size_t kFileListRecordSize = 72;

struct TFileListRecord {
  std::uint32_t Size = 0;
  double Date = 0;          // day count from 30 December 1899
  std::string Name;         // component name, at most 39 characters stored
  std::string Version;      // file version text, at most 19 characters stored
};

// The bytes of the list; names and versions too long for their fields are cut.
std::string WriteFileList(const std::vector<TFileListRecord>& records);

// False when data is shorter than its count demands (the count is never trusted beyond the data).
// Each text ends at its terminating zero or at its field's end, whichever comes first.
bool ReadFileList(std::string_view data, std::vector<TFileListRecord>& records);

}  // namespace tav
