// Reads arbitrary bytes as the end of a self-extracting setup.exe: an accepted trailer must describe
// regions inside the file, and writing it back must give the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/self_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav;
  if (size < kSelfExtractTrailerSize) {
    unsigned char none[kSelfExtractTrailerSize] = {};
    TSelfExtractInfo info;
    if (ParseSelfExtractTrailer(none, static_cast<std::int64_t>(size), info)) std::abort();
    return 0;
  }
  const unsigned char* trailer = data + size - kSelfExtractTrailerSize;
  TSelfExtractInfo info;
  if (!ParseSelfExtractTrailer(trailer, static_cast<std::int64_t>(size), info)) return 0;
  const std::int64_t limit = static_cast<std::int64_t>(size - kSelfExtractTrailerSize);
  if (info.setupStart >= info.setupEnd || info.setupEnd >= limit) std::abort();
  if (info.HasFiles() && (info.filesStart >= info.filesEnd || info.filesEnd >= limit)) std::abort();
  unsigned char again[kSelfExtractTrailerSize];
  MakeSelfExtractTrailer(info, again);
  if (std::memcmp(again, trailer, 32) != 0) std::abort();
  return 0;
}
