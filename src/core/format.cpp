#include "core/format.h"

#include <cstdio>

namespace tav {

namespace {

std::string WithThousands(const std::string& digits) {
  // digits may carry a sign and a fraction; separators go into the integral part only.
  std::size_t start = (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) ? 1 : 0;
  std::size_t end = digits.find('.');
  if (end == std::string::npos) end = digits.size();
  std::string out = digits.substr(0, start);
  for (std::size_t i = start; i < end; ++i) {
    out += digits[i];
    const std::size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  return out + digits.substr(end);
}

double AsDouble(const FormatArg& a) {
  if (auto* i = std::get_if<std::int64_t>(&a.Value())) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&a.Value())) return *d;
  return 0;
}

std::int64_t AsInt(const FormatArg& a) {
  if (auto* i = std::get_if<std::int64_t>(&a.Value())) return *i;
  if (auto* d = std::get_if<double>(&a.Value())) return static_cast<std::int64_t>(*d);
  return 0;
}

std::string AsString(const FormatArg& a) {
  if (auto* s = std::get_if<std::string>(&a.Value())) return *s;
  if (auto* i = std::get_if<std::int64_t>(&a.Value())) return std::to_string(*i);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", std::get<double>(a.Value()));
  return buf;
}

}  // namespace

std::string FormatList(const std::string& format, const std::vector<FormatArg>& args) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    bool left = false;
    if (j < format.size() && format[j] == '-') { left = true; ++j; }
    int width = -1, precision = -1;
    if (j < format.size() && format[j] >= '0' && format[j] <= '9') {
      width = 0;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9') width = width * 10 + (format[j++] - '0');
    }
    if (j < format.size() && format[j] == '.') {
      ++j;
      precision = 0;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9') precision = precision * 10 + (format[j++] - '0');
    }
    if (j >= format.size() || next >= args.size()) {
      out += format.substr(i, j - i + (j < format.size() ? 1 : 0));
      i = j;
      continue;
    }
    const char conv = static_cast<char>(format[j] | 0x20);
    const FormatArg& arg = args[next];
    std::string piece;
    char buf[128];
    switch (conv) {
      case 'd':
        piece = std::to_string(AsInt(arg));
        if (precision > 0) {
          const bool neg = piece[0] == '-';
          std::string digits = neg ? piece.substr(1) : piece;
          if (static_cast<int>(digits.size()) < precision) digits.insert(0, precision - digits.size(), '0');
          piece = (neg ? "-" : "") + digits;
        }
        break;
      case 'u':
        piece = std::to_string(static_cast<std::uint64_t>(AsInt(arg)));
        break;
      case 'x':
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(AsInt(arg)));
        piece = buf;
        if (precision > 0 && static_cast<int>(piece.size()) < precision) piece.insert(0, precision - piece.size(), '0');
        break;
      case 'f':
      case 'n':
        std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 2 : precision, AsDouble(arg));
        piece = conv == 'n' ? WithThousands(buf) : buf;
        break;
      case 's':
        piece = AsString(arg);
        if (precision >= 0 && static_cast<int>(piece.size()) > precision) piece.resize(precision);
        break;
      default:
        out += format.substr(i, j - i + 1);
        i = j;
        continue;
    }
    ++next;
    if (width > 0 && static_cast<int>(piece.size()) < width) {
      const std::string pad(width - piece.size(), ' ');
      piece = left ? piece + pad : pad + piece;
    }
    out += piece;
    i = j;
  }
  return out;
}

}  // namespace tav
