// Reads arbitrary bytes as a remote file list: a list that is accepted holds no more records than the
// bytes carry, its texts fit their fields, and writing it back reads the same again.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "archive/file_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav;
  std::vector<TFileListRecord> records;
  if (!ReadFileList(std::string_view(reinterpret_cast<const char*>(data), size), records)) return 0;
  if (4 + records.size() * kFileListRecordSize > size) std::abort();
  for (const TFileListRecord& r : records)
    if (r.Name.size() > 40 || r.Version.size() > 20) std::abort();
  std::vector<TFileListRecord> again;
  if (!ReadFileList(WriteFileList(records), again) || again.size() != records.size()) std::abort();
  for (std::size_t i = 0; i < records.size(); ++i)
    if (again[i].Name != records[i].Name.substr(0, 39) || again[i].Size != records[i].Size) std::abort();
  return 0;
}
