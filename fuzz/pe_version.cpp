// Feeds arbitrary bytes to the PE version reader as an image, and to the block queries directly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tav::PeMemorySource source(data, size);
  const std::vector<std::uint8_t> block = tav::ReadPeVersionResource(source);
  // The input itself as a version block reaches the tree walk without needing a valid image.
  const std::vector<std::uint8_t> raw(data, data + size);
  for (const auto* b : {&block, &raw}) {
    tav::FixedFileInfo fixed;
    tav::QueryFixedFileInfo(*b, fixed);
    std::string value;
    tav::QueryVersionString(*b, "\\StringFileInfo\\040904E4\\CompanyName", value);
    tav::QueryVersionString(*b, "\\VarFileInfo\\Translation", value);
    tav::QueryVersionString(*b, "\\A\\B\\C\\D\\E\\F\\G\\H\\I", value);
  }
  return 0;
}
