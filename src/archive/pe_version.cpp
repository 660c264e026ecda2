#include "archive/pe_version.h"

#include <algorithm>
#include <cstring>

#include "sys/files.h"
#include "sys/unicode.h"

namespace tav {

namespace {

constexpr std::uint16_t kRtVersion = 16;
constexpr std::uint16_t kVsVersionInfo = 1;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
// The loader's own limit; more sections mean a damaged header.
constexpr unsigned kMaxSections = 96;
// A block's length is 16-bit, so a version resource never needs more.
constexpr std::uint32_t kMaxVersionSize = 0xFFFF;
constexpr unsigned kMaxQueryDepth = 8;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct Section {
  std::uint32_t va, rawSize, rawPointer;
};

// Resolves relative virtual addresses to file offsets through the section table, the way the system
// does for an image loaded as a data file: only bytes present in the file are reachable.
class Image {
public:
  explicit Image(PeSource& source) : source_(source) {}

  bool Load(std::uint32_t& resourceRva) {
    std::uint8_t dos[64];
    if (!source_.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t pe = U32(dos + 0x3C);
    std::uint8_t nt[24];
    if (!source_.ReadAt(pe, nt, sizeof nt) || std::memcmp(nt, "PE\0\0", 4) != 0) return false;
    const unsigned sectionCount = U16(nt + 6);
    const unsigned optionalSize = U16(nt + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections) return false;

    std::vector<std::uint8_t> optional(optionalSize);
    if (optionalSize < 2 || !source_.ReadAt(pe + 24, optional.data(), optional.size())) return false;
    std::size_t countAt, dirsAt;
    switch (U16(optional.data())) {
      case 0x10B: countAt = 92, dirsAt = 96; break;    // PE32
      case 0x20B: countAt = 108, dirsAt = 112; break;  // PE32+
      default: return false;
    }
    const std::size_t resourceAt = dirsAt + 2 * 8;
    if (optionalSize < resourceAt + 8 || U32(optional.data() + countAt) < 3) return false;
    resourceRva = U32(optional.data() + resourceAt);
    if (resourceRva == 0 || U32(optional.data() + resourceAt + 4) == 0) return false;

    std::vector<std::uint8_t> table(sectionCount * 40u);
    if (!source_.ReadAt(pe + 24 + optionalSize, table.data(), table.size())) return false;
    for (unsigned i = 0; i < sectionCount; ++i) {
      const std::uint8_t* s = table.data() + i * 40;
      sections_.push_back({U32(s + 12), U32(s + 16), U32(s + 20)});
    }
    return true;
  }

  bool ReadRva(std::uint64_t rva, void* buffer, std::size_t n) {
    for (const Section& s : sections_) {
      if (rva < s.va || rva >= std::uint64_t{s.va} + s.rawSize) continue;
      const std::uint64_t inSection = rva - s.va;
      if (n > s.rawSize - inSection) return false;
      return source_.ReadAt(std::uint64_t{s.rawPointer} + inSection, buffer, n);
    }
    return false;
  }

private:
  PeSource& source_;
  std::vector<Section> sections_;
};

struct DirEntry {
  std::uint32_t name, target;
  bool Named() const { return (name & 0x80000000u) != 0; }
  bool IsDirectory() const { return (target & 0x80000000u) != 0; }
  std::uint32_t Offset() const { return target & 0x7FFFFFFFu; }
};

// The entries of one resource directory at offset (from the start of the resources).
bool ReadDirectory(Image& image, std::uint32_t base, std::uint32_t offset, std::vector<DirEntry>& entries) {
  std::uint8_t head[16];
  if (!image.ReadRva(std::uint64_t{base} + offset, head, sizeof head)) return false;
  const std::size_t count = std::size_t{U16(head + 12)} + U16(head + 14);
  std::vector<std::uint8_t> raw(count * 8);
  if (!image.ReadRva(std::uint64_t{base} + offset + 16, raw.data(), raw.size())) return false;
  entries.clear();
  for (std::size_t i = 0; i < count; ++i) entries.push_back({U32(&raw[i * 8]), U32(&raw[i * 8 + 4])});
  return true;
}

const DirEntry* FindId(const std::vector<DirEntry>& entries, std::uint32_t id) {
  for (const DirEntry& e : entries) {
    if (!e.Named() && e.name == id) return &e;
  }
  return nullptr;
}

// One block of the VS_VERSIONINFO tree: [start, end) with its key, value and children ranges.
struct Block {
  std::size_t start = 0, end = 0;
  std::u16string key;
  std::size_t valueStart = 0, valueEnd = 0;
  std::size_t childrenStart = 0;
  std::uint16_t type = 0;
};

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Parses the block at start inside [start, limit); false when its header or key does not fit.
bool ParseBlock(const std::vector<std::uint8_t>& data, std::size_t start, std::size_t limit, Block& b) {
  if (start > limit || limit - start < 6) return false;
  const std::size_t length = U16(&data[start]);
  if (length < 6 || length > limit - start) return false;
  b.start = start;
  b.end = start + length;
  const std::size_t valueLength = U16(&data[start + 2]);
  b.type = U16(&data[start + 4]);
  b.key.clear();
  std::size_t p = start + 6;
  for (;;) {
    if (b.end - p < 2) return false;  // the key must end inside the block
    const char16_t c = U16(&data[p]);
    p += 2;
    if (c == 0) break;
    b.key += c;
  }
  b.valueStart = std::min(Align4(p), b.end);
  // Text values count UTF-16 units, binary ones bytes.
  const std::size_t valueBytes = b.type == 1 ? valueLength * 2 : valueLength;
  b.valueEnd = b.valueStart + std::min(valueBytes, b.end - b.valueStart);
  b.childrenStart = std::min(Align4(b.valueEnd), b.end);
  return true;
}

bool SameKey(const std::u16string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    auto y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<char16_t>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool FindChild(const std::vector<std::uint8_t>& data, const Block& parent, const std::string& key, Block& found) {
  // Every child is at least 6 bytes long, so the walk ends.
  for (std::size_t p = parent.childrenStart; p < parent.end; p = Align4(found.end)) {
    if (!ParseBlock(data, p, parent.end, found)) return false;
    if (SameKey(found.key, key)) return true;
  }
  return false;
}

bool RootBlock(const std::vector<std::uint8_t>& data, Block& root) {
  return ParseBlock(data, 0, data.size(), root);
}

}  // namespace

bool PeMemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  if (n) std::memcpy(buffer, data_ + offset, n);
  return true;
}

std::vector<std::uint8_t> ReadPeVersionResource(PeSource& source) {
  Image image(source);
  std::uint32_t base = 0;
  if (!image.Load(base)) return {};
  // Three levels: type, name, language. Each step goes exactly one level down, so a directory that
  // points back at an ancestor cannot make the walk loop.
  std::vector<DirEntry> entries;
  if (!ReadDirectory(image, base, 0, entries)) return {};
  const DirEntry* type = FindId(entries, kRtVersion);
  if (!type || !type->IsDirectory() || !ReadDirectory(image, base, type->Offset(), entries)) return {};
  const DirEntry* name = FindId(entries, kVsVersionInfo);
  if (!name || !name->IsDirectory() || !ReadDirectory(image, base, name->Offset(), entries)) return {};
  const DirEntry* language = FindId(entries, 0);
  if (!language) language = FindId(entries, 0x0409);
  if (!language && !entries.empty()) language = &entries.front();
  if (!language || language->IsDirectory()) return {};

  std::uint8_t dataEntry[16];
  if (!image.ReadRva(std::uint64_t{base} + language->Offset(), dataEntry, sizeof dataEntry)) return {};
  const std::uint32_t rva = U32(dataEntry), size = U32(dataEntry + 4);
  std::uint8_t head[2];
  if (size < 6 || !image.ReadRva(rva, head, sizeof head)) return {};
  const std::uint32_t length = U16(head);
  if (length < 6 || length > size || length > kMaxVersionSize) return {};
  std::vector<std::uint8_t> block(length);
  if (!image.ReadRva(rva, block.data(), block.size())) return {};
  return block;
}

std::vector<std::uint8_t> ReadPeVersionResourceFile(sys::File& file) {
  class FileSource : public PeSource {
  public:
    explicit FileSource(sys::File& file) : file_(file), size_(file_.Size()) {}
    std::uint64_t Size() const override { return size_ < 0 ? 0 : static_cast<std::uint64_t>(size_); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) override {
      if (offset > Size() || n > Size() - offset) return false;
      return file_.Seek(static_cast<std::int64_t>(offset)) == static_cast<std::int64_t>(offset) &&
             file_.Read(buffer, n) == n;
    }

  private:
    sys::File& file_;
    std::int64_t size_;
  };
  if (!file.IsOpen()) return {};
  FileSource source(file);
  return ReadPeVersionResource(source);
}

std::vector<std::uint8_t> ReadPeVersionResourceFile(const std::string& path) {
  sys::File file = sys::File::Open(path, sys::OpenMode::ReadShared);
  return ReadPeVersionResourceFile(file);
}

bool QueryFixedFileInfo(const std::vector<std::uint8_t>& data, FixedFileInfo& info) {
  Block root;
  if (!RootBlock(data, root) || root.valueEnd - root.valueStart < kFixedSize) return false;
  const std::uint8_t* v = &data[root.valueStart];
  if (U32(v) != kFixedSignature) return false;
  std::uint32_t* fields[] = {&info.signature,     &info.structVersion,    &info.fileVersionMS, &info.fileVersionLS,
                             &info.productVersionMS, &info.productVersionLS, &info.fileFlagsMask, &info.fileFlags,
                             &info.fileOS,        &info.fileType,         &info.fileSubtype,   &info.fileDateMS,
                             &info.fileDateLS};
  for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = U32(v + 4 * i);
  return true;
}

bool QueryVersionString(const std::vector<std::uint8_t>& data, const std::string& path, std::string& value) {
  Block block;
  if (!RootBlock(data, block)) return false;
  unsigned depth = 0;
  std::size_t p = 0;
  while (p < path.size()) {
    while (p < path.size() && path[p] == '\\') ++p;
    if (p == path.size()) break;
    const std::size_t q = std::min(path.find('\\', p), path.size());
    if (++depth > kMaxQueryDepth) return false;
    Block child;
    if (!FindChild(data, block, path.substr(p, q - p), child)) return false;
    block = child;
    p = q;
  }
  if (depth == 0) return false;  // the root holds binary data, not text
  std::u16string text;
  for (std::size_t i = block.valueStart; i + 1 < block.valueEnd; i += 2) {
    const char16_t c = U16(&data[i]);
    if (c == 0) break;
    text += c;
  }
  value = sys::Utf16ToUtf8(text);
  return true;
}

}  // namespace tav
