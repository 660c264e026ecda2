#pragma once
// Command line of tvarc.
#include <cstdint>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"

namespace tav::tvarc {

struct Options {
  std::string command;
  std::vector<std::string> positional;  // operands after the command
  std::int32_t offset = 0;
  TOverwriteType overwrite = owAlways;
  bool append = false;
  int uniqueID = 0;
  TCompressionLevel level = colMax;
  std::int64_t volumeSize = 0;
};

// False for an unknown command or switch, a bad value or missing operands; error says which (or is
// empty when only the usage text is due).
bool Parse(const std::vector<std::string>& args, Options& options, std::string& error);

}  // namespace tav::tvarc
