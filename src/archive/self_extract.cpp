#include "archive/self_extract.h"

#include <cstring>

namespace tav {

namespace {

constexpr char kSignature[] = "SELFEXTRACTING";
constexpr std::size_t kSignatureLength = sizeof kSignature - 1;

void Put32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

void MakeSelfExtractTrailer(const TSelfExtractInfo& info, unsigned char out[kSelfExtractTrailerSize]) {
  std::memset(out, 0, kSelfExtractTrailerSize);
  out[0] = static_cast<unsigned char>(kSignatureLength);
  std::memcpy(out + 1, kSignature, kSignatureLength);
  Put32(out + 16, info.setupStart);
  Put32(out + 20, info.setupEnd);
  Put32(out + 24, info.filesStart);
  Put32(out + 28, info.filesEnd);
}

bool ParseSelfExtractTrailer(const unsigned char trailer[kSelfExtractTrailerSize], std::int64_t fileSize,
                             TSelfExtractInfo& info) {
  if (fileSize < static_cast<std::int64_t>(kSelfExtractTrailerSize)) return false;
  if (trailer[0] != kSignatureLength || std::memcmp(trailer + 1, kSignature, kSignatureLength) != 0 || trailer[15] != 0)
    return false;
  TSelfExtractInfo read;
  read.setupStart = Get32(trailer + 16);
  read.setupEnd = Get32(trailer + 20);
  read.filesStart = Get32(trailer + 24);
  read.filesEnd = Get32(trailer + 28);
  // Everything embedded lies before the trailer.
  const std::int64_t limit = fileSize - static_cast<std::int64_t>(kSelfExtractTrailerSize);
  auto inside = [limit](std::uint32_t start, std::uint32_t end) {
    return start < end && static_cast<std::int64_t>(end) < limit;
  };
  if (!inside(read.setupStart, read.setupEnd)) return false;
  if (read.HasFiles() && !inside(read.filesStart, read.filesEnd)) return false;
  info = read;
  return true;
}

}  // namespace tav
