#pragma once
// The volumes of one archive and where they are found. The archive's name stays as given; the folder
// the user points at for a missing volume is remembered here, so that the next volume is looked for
// there first and the name the caller gave is never rewritten.
#include <functional>
#include <optional>
#include <string>

namespace tav {

class TVolumeSet {
public:
  // Asks for the disk holding volume n (1-based). folder: on entry the folder where the volume was
  // looked for (or last used); the answer may change it. False when there is nobody to ask.
  using TDiskRequest = std::function<bool(int n, std::string& folder)>;

  // The volumes of the archive baseName: itself when not spanned, else volume n is baseName with the
  // extension "." + n.
  TVolumeSet(std::string baseName, bool spanned, TDiskRequest request);
  // Volumes to be written, named after fileName with the extension "." + n, in folder; the first
  // request for a new disk offers folder as given.
  static TVolumeSet ToWrite(const std::string& folder, const std::string& fileName, TDiskRequest request);

  const std::string& BaseName() const { return base_; }
  bool Spanned() const { return spanned_; }

  // Where volume n is looked for now: beside the base name until a request named another folder.
  std::string PathOf(int n) const;
  // The path of volume n, which exists. A missing volume is asked for at most four times; it fails
  // with ETvrkCompress "Could not open the correct disk file %d" when there is nobody to ask, and
  // "Cannot open the compressed file %s" when the volume is still missing after the fourth answer.
  std::string Locate(int n);
  // Asks for the disk that volume n is to be written on and gives the path to create it at. Fails when
  // there is nobody to ask.
  std::string NewVolume(int n);

private:
  // The folder a request offers for volume n.
  std::string OfferedFolder(int n) const;

  std::string base_;
  bool spanned_;
  TDiskRequest request_;
  std::optional<std::string> folder_;  // the last folder a request answered with
};

}  // namespace tav
