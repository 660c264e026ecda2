// Text form reader: any text must fail cleanly or give a tree that writes to text and binary and reads
// back with the same values, and whose written text is stable.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/binary_form.h"
#include "config/form_values.h"
#include "config/text_form.h"
#include "core/exceptions_Tavenrik.h"

using namespace tav::config;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ObjectRecord root;
  try {
    root = ReadTextForm(input);
  } catch (const tav::EReadError&) {
    return 0;
  }
  const std::string text = WriteTextForm(root);
  const ObjectRecord again = ReadTextForm(text);
  if (!SameForm(root, again) || WriteTextForm(again) != text) std::abort();
  const std::string bytes = WriteBinaryForm(root);
  const ObjectRecord fromBinary = ReadBinaryForm(bytes);
  if (!SameForm(root, fromBinary) || WriteBinaryForm(fromBinary) != bytes) std::abort();
  return 0;
}
