#pragma once
// The 56-byte record at the end of a self-extracting setup.exe that says where the embedded "setup.1"
// and "files.1" lie. Plain bytes in, plain bytes out: the loading program uses it too, so it needs no
// library beyond the language's own.
#include <cstddef>
#include <cstdint>

namespace tav {

constexpr std::size_t kSelfExtractTrailerSize = 56;

// Positions are byte offsets from the start of the executable; the ends are those of the last byte.
// A build without "files.1" has filesStart and filesEnd 0.
struct TSelfExtractInfo {
  std::uint32_t setupStart = 0, setupEnd = 0, filesStart = 0, filesEnd = 0;
  bool HasFiles() const { return filesStart != 0 || filesEnd != 0; }
};

// The trailer for info: signature length, "SELFEXTRACTING", the four positions, zeros elsewhere.
void MakeSelfExtractTrailer(const TSelfExtractInfo& info, unsigned char out[kSelfExtractTrailerSize]);

// Reads the trailer found at the end of a file of fileSize bytes. False when it does not carry the
// signature, when a position lies outside the bytes before the trailer, or a start is not before its
// end: a damaged download, or an executable that is not a self-extracting setup.
bool ParseSelfExtractTrailer(const unsigned char trailer[kSelfExtractTrailerSize], std::int64_t fileSize,
                             TSelfExtractInfo& info);

}  // namespace tav
