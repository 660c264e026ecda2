#pragma once
// Version resources read straight from PE images (32- and 64-bit), without the Windows loader, so that
// the same code serves the builder on any OS. Queries answer as version.dll's VerQueryValue does.
// Damaged input never fails loudly: it reads as "no version information".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sys/files.h"

namespace tav {

// Random access to the bytes of an image.
class PeSource {
public:
  virtual ~PeSource() = default;
  virtual std::uint64_t Size() const = 0;
  // False unless all n bytes at offset were read.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
};

class PeMemorySource : public PeSource {
public:
  PeMemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override;

private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// The VS_FIXEDFILEINFO record.
struct FixedFileInfo {
  std::uint32_t signature = 0, structVersion = 0;
  std::uint32_t fileVersionMS = 0, fileVersionLS = 0, productVersionMS = 0, productVersionLS = 0;
  std::uint32_t fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
  std::uint32_t fileDateMS = 0, fileDateLS = 0;
};

// The VS_VERSIONINFO block of the image: resource type 16, name 1 (the one the system reads), in the
// language neutral entry, else US English, else the first language present. Empty when there is none.
std::vector<std::uint8_t> ReadPeVersionResource(PeSource& image);
// The same for a file on disk (opened for reading, others may read and write meanwhile).
std::vector<std::uint8_t> ReadPeVersionResourceFile(const std::string& path);
// The same for a file open for reading; its position is left anywhere.
std::vector<std::uint8_t> ReadPeVersionResourceFile(sys::File& file);

// The root block's fixed file information; false when it is missing, short or lacks its signature.
bool QueryFixedFileInfo(const std::vector<std::uint8_t>& block, FixedFileInfo& info);
// A text value by its path below the root ("\StringFileInfo\040904E4\CompanyName"), keys compared
// without regard to case, the first match winning; the text ends at its first NUL. False when absent.
bool QueryVersionString(const std::vector<std::uint8_t>& block, const std::string& path, std::string& value);

}  // namespace tav
