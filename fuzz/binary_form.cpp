// Binary stream reader: hostile bytes must fail cleanly; whatever is accepted must write back to the
// same bytes, and go through the text form and back with the same values.
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
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ObjectRecord root;
  try {
    root = ReadBinaryForm(bytes);
  } catch (const tav::EReadError&) {
    return 0;
  }
  if (WriteBinaryForm(root) != bytes) std::abort();
  const std::string text = WriteTextForm(root);
  const ObjectRecord fromText = ReadTextForm(text);
  if (!SameForm(root, fromText)) std::abort();
  if (WriteTextForm(fromText) != text) std::abort();
  return 0;
}
