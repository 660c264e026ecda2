#include "archive/file_list.h"

#include <cstring>

namespace tav {

namespace {

constexpr std::size_t kNameField = 40, kVersionField = 20;

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}

std::uint32_t Get32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(u[0]) | static_cast<std::uint32_t>(u[1]) << 8 |
         static_cast<std::uint32_t>(u[2]) << 16 | static_cast<std::uint32_t>(u[3]) << 24;
}

// text in a zero-terminated field of width bytes, cut to width - 1 characters.
void PutText(std::string& out, const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width - 1);
  field.resize(width, '\0');
  out += field;
}

std::string GetText(const char* p, std::size_t width) {
  const void* zero = std::memchr(p, 0, width);
  return std::string(p, zero ? static_cast<const char*>(zero) - p : width);
}

}  // namespace

std::string WriteFileList(const std::vector<TFileListRecord>& records) {
  std::string out;
  out.reserve(4 + records.size() * kFileListRecordSize);
  Put32(out, static_cast<std::uint32_t>(records.size()));
  for (const TFileListRecord& r : records) {
    Put32(out, r.Size);
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof r.Date);
    std::memcpy(&bits, &r.Date, sizeof bits);
    for (int i = 0; i < 8; ++i) out += static_cast<char>(bits >> (8 * i));
    PutText(out, r.Name, kNameField);
    PutText(out, r.Version, kVersionField);
  }
  return out;
}

bool ReadFileList(std::string_view data, std::vector<TFileListRecord>& records) {
  records.clear();
  if (data.size() < 4) return false;
  const std::uint32_t count = Get32(data.data());
  // The count is capped by what the data can hold before anything is reserved for it.
  if (count > (data.size() - 4) / kFileListRecordSize) return false;
  records.reserve(count);
  const char* p = data.data() + 4;
  for (std::uint32_t i = 0; i < count; ++i, p += kFileListRecordSize) {
    TFileListRecord r;
    r.Size = Get32(p);
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b) bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[4 + b])) << (8 * b);
    std::memcpy(&r.Date, &bits, sizeof bits);
    r.Name = GetText(p + 12, kNameField);
    r.Version = GetText(p + 52, kVersionField);
    records.push_back(std::move(r));
  }
  return true;
}

}  // namespace tav
