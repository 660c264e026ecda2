#include "tvarc_options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace tav::tvarc {

namespace {

bool ParseNumber(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  value = v;
  return true;
}

bool Fail(std::string& error, const std::string& message) {
  error = message;
  return false;
}

struct CommandShape {
  std::size_t minOperands;
  std::size_t maxOperands;  // SIZE_MAX: any number
  std::vector<std::string> switches;
};

const std::map<std::string, CommandShape>& Commands() {
  static const std::map<std::string, CommandShape> commands = {
      {"list", {1, 1, {"--offset"}}},
      {"extract", {2, SIZE_MAX, {"--offset", "--overwrite"}}},
      {"add", {2, SIZE_MAX, {"--append", "--unique-id", "--level"}}},
      {"span", {2, 2, {"--volume-size", "--offset"}}},
      {"test", {1, 1, {"--offset"}}},
      {"version", {1, 1, {}}},
  };
  return commands;
}

}  // namespace

bool Parse(const std::vector<std::string>& args, Options& o, std::string& error) {
  if (args.empty()) return false;
  const auto shape = Commands().find(args[0]);
  if (shape == Commands().end()) {
    error = "unknown command " + args[0];
    return false;
  }
  o.command = args[0];
  bool volumeSizeGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      o.positional.push_back(a);
      continue;
    }
    bool known = false;
    for (const auto& s : shape->second.switches) known = known || s == a;
    if (!known) {
      error = "unknown switch " + a + " for " + o.command;
      return false;
    }
    if (a == "--append") {
      o.append = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    std::int64_t n = 0;
    if (a == "--offset") {
      if (!ParseNumber(v, 0, INT32_MAX, n)) return Fail(error, "bad --offset " + v);
      o.offset = static_cast<std::int32_t>(n);
    } else if (a == "--unique-id") {
      if (!ParseNumber(v, INT32_MIN, INT32_MAX, n)) return Fail(error, "bad --unique-id " + v);
      o.uniqueID = static_cast<int>(n);
    } else if (a == "--volume-size") {
      if (!ParseNumber(v, 1, INT32_MAX, n)) return Fail(error, "bad --volume-size " + v);
      o.volumeSize = n;
      volumeSizeGiven = true;
    } else if (a == "--overwrite") {
      static const std::map<std::string, TOverwriteType> rules = {
          {"always", owAlways}, {"never", owNever}, {"version", owVersion}, {"date", owDate},
          {"versiondate", owVersionDate}};
      const auto r = rules.find(v);
      if (r == rules.end()) return Fail(error, "bad --overwrite " + v);
      o.overwrite = r->second;
    } else if (a == "--level") {
      static const std::map<std::string, TCompressionLevel> levels = {
          {"none", colNone}, {"fastest", colFastest}, {"default", colDefault}, {"max", colMax}};
      const auto l = levels.find(v);
      if (l == levels.end()) return Fail(error, "bad --level " + v);
      o.level = l->second;
    }
  }
  if (o.positional.size() < shape->second.minOperands || o.positional.size() > shape->second.maxOperands) {
    error = "wrong number of operands for " + o.command;
    return false;
  }
  if (o.command == "span" && !volumeSizeGiven) {
    error = "span needs --volume-size";
    return false;
  }
  return true;
}

}  // namespace tav::tvarc
