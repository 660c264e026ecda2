#pragma once
// Message formatting: %s, %d, %u, %x, %f, %n (thousands separators) with optional flags, width and
// precision, and %% for a percent sign. A placeholder without a matching argument is left as written.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace tav {

class FormatArg {
public:
  template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  FormatArg(T v) : value_(static_cast<std::int64_t>(v)) {}
  FormatArg(double v) : value_(v) {}
  FormatArg(const std::string& v) : value_(v) {}
  FormatArg(const char* v) : value_(std::string(v ? v : "")) {}
  FormatArg(std::string_view v) : value_(std::string(v)) {}
  const std::variant<std::int64_t, double, std::string>& Value() const { return value_; }

private:
  std::variant<std::int64_t, double, std::string> value_;
};

std::string FormatList(const std::string& format, const std::vector<FormatArg>& args);

template <class... Args>
std::string Format(const std::string& format, const Args&... args) {
  return FormatList(format, std::vector<FormatArg>{FormatArg(args)...});
}

}  // namespace tav
