#include "archive/volume_set.h"

#include <utility>

#include "archive/routines_Compression.h"
#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"
#include "sys/files.h"

namespace tav {

namespace {
constexpr int kVolumeAttempts = 4;
}  // namespace

TVolumeSet::TVolumeSet(std::string baseName, bool spanned, TDiskRequest request)
    : base_(std::move(baseName)), spanned_(spanned), request_(std::move(request)) {}

TVolumeSet TVolumeSet::ToWrite(const std::string& folder, const std::string& fileName, TDiskRequest request) {
  TVolumeSet set(IncludeTrailingPathDelimiter(folder) + fileName, true, std::move(request));
  set.folder_ = folder;
  return set;
}

std::string TVolumeSet::PathOf(int n) const {
  const std::string name = spanned_ ? VolumeName(base_, n) : base_;
  if (!folder_) return name;
  return IncludeTrailingPathDelimiter(*folder_) + ExtractFileName(name);
}

std::string TVolumeSet::OfferedFolder(int n) const {
  return ExcludeTrailingPathDelimiter(ExtractFileDir(PathOf(n)));
}

std::string TVolumeSet::Locate(int n) {
  for (int attempt = 0; attempt < kVolumeAttempts; ++attempt) {
    if (sys::FileExists(PathOf(n))) return PathOf(n);
    std::string folder = OfferedFolder(n);
    if (!request_ || !request_(n, folder))
      throw ETvrkCompress(TranslateMessage("Could not open the correct disk file %d"), n);
    folder_ = folder;
    if (sys::FileExists(PathOf(n))) return PathOf(n);
  }
  throw ETvrkCompress(TranslateMessage("Cannot open the compressed file %s"), PathOf(n));
}

std::string TVolumeSet::NewVolume(int n) {
  std::string folder = folder_ ? *folder_ : OfferedFolder(n);
  if (!request_ || !request_(n, folder))
    throw ETvrkCompress("There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
  folder_ = folder;
  return PathOf(n);
}

}  // namespace tav
