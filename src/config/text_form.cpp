#include "config/text_form.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "config/binary_form.h"
#include "config/form_values.h"
#include "core/exceptions_Tavenrik.h"
#include "sys/unicode.h"

namespace tav::config {

namespace {

// ---------------------------------------------------------------------------------------------------------
// Numbers. Floats are written with the fewest decimal digits that read back to the same bits; values that
// no decimal can carry (NaNs, infinities, non-canonical extended encodings) are written as their bits in hex.
// mingw's own conversions are used on Windows: they handle long double and round correctly.

#ifdef __MINGW32__
#define TAV_SNPRINTF __mingw_snprintf
long double ParseLongDouble(const char* s, char** end) { return __mingw_strtold(s, end); }
double ParseDouble(const char* s, char** end) { return __mingw_strtod(s, end); }
float ParseFloat(const char* s, char** end) { return __mingw_strtof(s, end); }
#else
#define TAV_SNPRINTF std::snprintf
long double ParseLongDouble(const char* s, char** end) { return std::strtold(s, end); }
double ParseDouble(const char* s, char** end) { return std::strtod(s, end); }
float ParseFloat(const char* s, char** end) { return std::strtof(s, end); }
#endif

// "d.ddde+XX" from printf to plain notation for moderate exponents, else "d.dddEXX"; always with a point
// so that an Extended never reads as an integer.
std::string TidyDecimal(const char* printed) {
  std::string sign, digits;
  const char* p = printed;
  if (*p == '-') sign = "-", ++p;
  for (; *p && *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (exponent >= 0 && exponent < 18) {
    std::string whole = digits.substr(0, std::min<std::size_t>(digits.size(), exponent + 1));
    whole.append(exponent + 1 - whole.size(), '0');
    const std::string fraction = digits.size() > static_cast<std::size_t>(exponent + 1) ? digits.substr(exponent + 1) : "0";
    return sign + whole + "." + fraction;
  }
  if (exponent < 0 && exponent >= -5) {
    return sign + "0." + std::string(-exponent - 1, '0') + digits;
  }
  return sign + digits.substr(0, 1) + "." + (digits.size() > 1 ? digits.substr(1) : "0") + "E" + std::to_string(exponent);
}

// The shortest tidy decimal of value that parse turns back into the same value, or "" when none does.
template <class T, class Parse, class Same>
std::string ShortestDecimal(T value, int maxDigits, Parse parse, Same same) {
  char buf[64];
  for (int digits = 1; digits <= maxDigits; ++digits) {
    TAV_SNPRINTF(buf, sizeof buf, "%.*Le", digits - 1, static_cast<long double>(value));
    std::string text = TidyDecimal(buf);
    char* end = nullptr;
    const T back = parse(text.c_str(), &end);
    if (*end == 0 && same(back, value)) return text;
  }
  return "";
}

std::string Hex(std::uint64_t bits, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(digits, '0');
  for (int i = digits - 1; i >= 0; --i, bits >>= 4) out[i] = kHex[bits & 15];
  return out;
}

bool CanonicalFiniteExtended(const std::array<std::uint8_t, 10>& b) {
  const int exponent = b[8] | ((b[9] & 0x7F) << 8);
  const bool integerBit = (b[7] & 0x80) != 0;
  return exponent == 0 ? !integerBit : exponent != 0x7FFF && integerBit;
}

std::string FormatExtended(const std::array<std::uint8_t, 10>& b) {
  if (CanonicalFiniteExtended(b)) {
    std::string text = ShortestDecimal(ExtendedToLongDouble(b), 21, ParseLongDouble,
                                       [](long double x, long double y) { return LongDoubleToExtended(x) == LongDoubleToExtended(y); });
    if (!text.empty()) return text;
  }
  std::string out = "$";
  for (int i = 9; i >= 0; --i) out += Hex(b[i], 2);
  return out;
}

std::string FormatSingle(std::uint32_t bits) {
  if (((bits >> 23) & 0xFF) != 0xFF) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    std::string text = ShortestDecimal(f, 9, ParseFloat, [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; });
    if (!text.empty()) return text + "S";
  }
  return "$" + Hex(bits, 8);
}

std::string FormatDate(double d) {
  if (std::isfinite(d)) {
    std::string text = ShortestDecimal(d, 17, ParseDouble, [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; });
    if (!text.empty()) return text + "D";
  }
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return "$" + Hex(bits, 16);
}

std::string FormatCurrency(std::int64_t raw) {
  const bool negative = raw < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(raw) : static_cast<std::uint64_t>(raw);
  std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += "." + fraction;
  return out + "C";
}

// ---------------------------------------------------------------------------------------------------------
// Identifiers and keywords.

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsKeyword(std::string_view word) {
  static constexpr std::string_view kWords[] = {"object", "inherited", "inline", "end", "item",
                                                "True",   "False",     "nil",    "Null"};
  for (auto w : kWords) {
    if (SameText(word, w)) return true;
  }
  return false;
}

bool IsPlainIdent(std::string_view s) {
  if (s.empty() || !IsIdentStart(s[0])) return false;
  for (char c : s) {
    if (!IsIdentChar(c)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------------
// Reader.

// A string is written as pieces next to each other: quoted runs ('it''s', UTF-8) and character codes (#65,
// #$41). ScanPieces reads them from s[pos] on and leaves pos after the last one. It calls text(utf8, cp1252)
// for each run, cp1252 being its Windows-1252 bytes or null when the run has a character that Windows-1252
// lacks, and code(c) for each code. A malformed piece ends the scan with its offset and what is wrong.
struct PieceError {
  std::size_t at;
  const char* what;
};

template <class Text, class Code>
std::optional<PieceError> ScanPieces(std::string_view s, std::size_t& pos, Text&& text, Code&& code) {
  std::string run, bytes;
  while (pos < s.size()) {
    const std::size_t at = pos;
    if (s[pos] == '\'') {
      run.clear();
      for (++pos;; ++pos) {
        if (pos >= s.size() || s[pos] == '\n' || s[pos] == '\r') return PieceError{at, "Unterminated string"};
        if (s[pos] == '\'') {
          if (pos + 1 >= s.size() || s[pos + 1] != '\'') break;
          ++pos;
        }
        run += s[pos];
      }
      ++pos;
      // Malformed UTF-8 never fits Windows-1252 (it decodes to U+FFFD), so the costly check is rarely needed.
      const bool fits = sys::Utf8ToCp1252(run, bytes);
      if (!fits && sys::Utf16ToUtf8(sys::Utf8ToUtf16(run)) != run) {
        return PieceError{at, "Invalid UTF-8 in a string"};
      }
      text(run, fits ? &bytes : nullptr);
    } else if (s[pos] == '#') {
      ++pos;
      const bool hex = pos < s.size() && s[pos] == '$';
      if (hex) ++pos;
      const std::size_t from = pos;
      const auto isDigit = [hex](char d) {
        return hex ? std::isxdigit(static_cast<unsigned char>(d)) != 0 : d >= '0' && d <= '9';
      };
      while (pos < s.size() && isDigit(s[pos])) ++pos;
      std::uint32_t c = 0;
      const auto [end, ec] = std::from_chars(s.data() + from, s.data() + pos, c, hex ? 16 : 10);
      if (pos == from || ec != std::errc() || c > 0xFFFF) {
        return PieceError{at, "Invalid character code (#0 to #65535)"};
      }
      code(c);
    } else {
      break;
    }
  }
  return std::nullopt;
}

enum class Tok {
  End, Ident, String, WideMarker, Integer, Float, HexFloat, Binary,
  Dot, Equals, Colon, Comma, LParen, RParen, LBracket, RBracket, LAngle, RAngle, Plus,
};

struct Token {
  Tok kind = Tok::End;
  int line = 1, column = 1;
  bool adjacent = false;  // no blank before it
  bool escaped = false;   // an identifier written with '&'
  std::string text;       // identifier bytes, number text, binary data
  char suffix = 0;        // number suffix: 0, 'S', 'C', 'D'
  // A string's pieces as written; they are decoded once the whole literal is known (see StringLiteral).
  std::string_view source;
  bool wideCode = false;    // a string with a code above 255
  bool beyond1252 = false;  // a string with quoted text that Windows-1252 cannot hold
};

class TextReader {
public:
  explicit TextReader(std::string_view text) : src_(text) {
    if (src_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a UTF-8 byte order mark from an editor
    Advance();
  }

  ObjectRecord ReadRoot() {
    if (!AtObjectKeyword()) Fail("Expected 'object', 'inherited' or 'inline'", tok_);
    ObjectRecord root = Object();
    if (tok_.kind != Tok::End) Fail("Unexpected text after the root object's end", tok_);
    return root;
  }

private:
  [[noreturn]] void Fail(const std::string& what, int line, int column) const {
    throw EReadError(what + " at line " + std::to_string(line) + ", column " + std::to_string(column));
  }
  [[noreturn]] void Fail(const std::string& what, const Token& at) const { Fail(what, at.line, at.column); }

  // --- lexer ---

  char Peek(std::size_t ahead = 0) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }
  bool AtEnd() const { return pos_ >= src_.size(); }

  void Step() {
    const char c = src_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column_;
    }
  }

  bool SkipBlanks() {
    bool skipped = false;
    while (!AtEnd()) {
      const char c = Peek();
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        Step();
      } else if (c == '/' && Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') Step();
      } else {
        break;
      }
      skipped = true;
    }
    return skipped;
  }

  void Advance() {
    const bool blank = SkipBlanks();
    tok_ = Token{};
    tok_.line = line_;
    tok_.column = column_;
    tok_.adjacent = !blank;
    if (AtEnd()) return;
    const char c = Peek();
    if (IsIdentStart(c)) {
      const std::size_t start = pos_;
      while (!AtEnd() && IsIdentChar(Peek())) Step();
      tok_.kind = Tok::Ident;
      tok_.text = std::string(src_.substr(start, pos_ - start));
      if (tok_.text == "W" && (Peek() == '\'' || Peek() == '#')) tok_.kind = Tok::WideMarker;
    } else if (c == '&') {
      Step();
      if (IsIdentStart(Peek())) {
        const std::size_t start = pos_;
        while (!AtEnd() && IsIdentChar(Peek())) Step();
        tok_.text = std::string(src_.substr(start, pos_ - start));
      } else if (Peek() == '\'' || Peek() == '#') {
        bool bytesOnly = true;
        StringPieces([&](const std::string& utf8, const std::string*) { tok_.text += utf8; },
                     [&](std::uint32_t code) {
                       bytesOnly &= code <= 255;
                       tok_.text += static_cast<char>(code);
                     });
        if (!bytesOnly) Fail("An escaped identifier holds bytes only (#0 to #255)", tok_);
      } else {
        Fail("Expected an identifier or a quoted name after '&'", line_, column_);
      }
      tok_.kind = Tok::Ident;
      tok_.escaped = true;
    } else if (c == '\'' || c == '#') {
      const std::size_t start = pos_;
      StringPieces([&](const std::string&, const std::string* cp1252) { tok_.beyond1252 |= !cp1252; },
                   [&](std::uint32_t code) { tok_.wideCode |= code > 255; });
      tok_.source = src_.substr(start, pos_ - start);
      tok_.kind = Tok::String;
    } else if ((c >= '0' && c <= '9') || (c == '-' && Peek(1) >= '0' && Peek(1) <= '9')) {
      Number();
    } else if (c == '$') {
      Step();
      const std::size_t start = pos_;
      while (!AtEnd() && std::isxdigit(static_cast<unsigned char>(Peek()))) Step();
      tok_.text = std::string(src_.substr(start, pos_ - start));
      if (IsIdentChar(Peek())) Fail("Invalid character in a hex number", line_, column_);
      tok_.kind = Tok::HexFloat;
    } else if (c == '{') {
      BinaryData();
    } else {
      static constexpr std::pair<char, Tok> kPunct[] = {
          {'.', Tok::Dot},      {'=', Tok::Equals},   {':', Tok::Colon},    {',', Tok::Comma},
          {'(', Tok::LParen},   {')', Tok::RParen},   {'[', Tok::LBracket}, {']', Tok::RBracket},
          {'<', Tok::LAngle},   {'>', Tok::RAngle},   {'+', Tok::Plus}};
      for (const auto& [ch, kind] : kPunct) {
        if (c == ch) {
          Step();
          tok_.kind = kind;
          return;
        }
      }
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
        Fail("Unexpected character (code " + std::to_string(static_cast<unsigned char>(c)) + ")", line_, column_);
      }
      Fail(std::string("Unexpected character '") + c + "'", line_, column_);
    }
  }

  // The pieces of a string from here on (see ScanPieces), positioned for the lexer.
  template <class Text, class Code>
  void StringPieces(Text&& text, Code&& code) {
    std::size_t end = pos_;
    const std::optional<PieceError> error = ScanPieces(src_, end, text, code);
    const std::size_t stop = error ? error->at : end;
    while (pos_ < stop) Step();  // a string has no line break, but columns count characters
    if (error) Fail(error->what, line_, column_);
  }

  void Number() {
    const std::size_t start = pos_;
    if (Peek() == '-') Step();
    bool isFloat = false;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (Peek() >= '0' && Peek() <= '9') Step();
      return pos_ > from;
    };
    digits();
    if (Peek() == '.') {
      Step();
      if (!digits()) Fail("Expected digits after the decimal point", line_, column_);
      isFloat = true;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      Step();
      if (Peek() == '+' || Peek() == '-') Step();
      if (!digits()) Fail("Expected digits in the exponent", line_, column_);
      isFloat = true;
    }
    tok_.text = std::string(src_.substr(start, pos_ - start));
    const char s = static_cast<char>(std::toupper(static_cast<unsigned char>(Peek())));
    if (s == 'S' || s == 'C' || s == 'D') {
      tok_.suffix = s;
      isFloat = true;
      Step();
    }
    if (IsIdentChar(Peek()) || Peek() == '.') Fail("Invalid character in a number", line_, column_);
    tok_.kind = isFloat ? Tok::Float : Tok::Integer;
  }

  void BinaryData() {
    Step();
    int high = -1;  // the first digit of a byte while the second is due
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Fail("Unterminated binary data (missing '}')", tok_);
      const char c = Peek();
      if (c == '}') break;
      unsigned digit = 0;
      if (std::from_chars(&c, &c + 1, digit, 16).ec != std::errc()) {
        Fail("Invalid character in binary data", line_, column_);
      }
      if (high < 0) {
        high = static_cast<int>(digit);
      } else {
        tok_.text += static_cast<char>(high << 4 | static_cast<int>(digit));
        high = -1;
      }
      Step();
    }
    Step();
    if (high >= 0) Fail("Binary data has an odd number of hex digits", tok_);
    tok_.kind = Tok::Binary;
  }

  // --- parser ---

  bool IsWord(const Token& t, std::string_view word) const {
    return t.kind == Tok::Ident && !t.escaped && SameText(t.text, word);
  }
  bool AtObjectKeyword() const {
    return IsWord(tok_, "object") || IsWord(tok_, "inherited") || IsWord(tok_, "inline");
  }

  void Expect(Tok kind, const char* what) {
    if (tok_.kind != kind) Fail(std::string("Expected ") + what, tok_);
    Advance();
  }

  std::string Name(const char* what) {
    if (tok_.kind != Tok::Ident || (!tok_.escaped && IsKeyword(tok_.text))) Fail(std::string("Expected ") + what, tok_);
    if (tok_.text.size() > 255) Fail(std::string("The ") + what + " is longer than 255 bytes", tok_);
    std::string name = tok_.text;
    Advance();
    return name;
  }

  void Enter(const Token& at) {
    if (++depth_ > kMaxFormDepth) Fail("Nesting deeper than " + std::to_string(kMaxFormDepth), at);
  }

  std::int64_t IntegerLiteral(const Token& t) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
    if (ec != std::errc()) Fail("Integer out of range", t);
    return v;
  }

  // "[n]" after an object header or "item".
  std::int64_t Bracketed(const char* what) {
    Advance();
    if (tok_.kind != Tok::Integer) Fail(std::string("Expected ") + what, tok_);
    const std::int64_t v = IntegerLiteral(tok_);
    Advance();
    Expect(Tok::RBracket, "']'");
    return v;
  }

  ObjectRecord Object() {
    const Token start = tok_;
    Enter(start);
    ObjectRecord obj;
    if (IsWord(tok_, "inherited")) {
      obj.flags |= 1;
      Advance();
      if (IsWord(tok_, "inline")) {
        obj.flags |= 4;
        Advance();
      }
    } else if (IsWord(tok_, "inline")) {
      obj.flags |= 4;
      Advance();
    } else {
      Advance();  // object
    }
    std::string first = Name("a component or class name");
    if (tok_.kind == Tok::Colon) {
      Advance();
      obj.name = std::move(first);
      obj.className = Name("a class name");
    } else {
      obj.className = std::move(first);
    }
    if (tok_.kind == Tok::LBracket) {
      obj.position = Bracketed("a child position");
      obj.positionType = SmallestIntegerType(*obj.position);
      obj.flags |= 2;
    }
    obj.hasPrefix = obj.flags != 0;
    for (;;) {
      if (IsWord(tok_, "end")) {
        Advance();
        break;
      }
      if (AtObjectKeyword()) {
        obj.children.push_back(Object());
        continue;
      }
      if (tok_.kind == Tok::End) Fail("Missing 'end' of the object that starts at line " + std::to_string(start.line), tok_);
      if (!obj.children.empty()) Fail("Properties must come before the child objects", tok_);
      obj.properties.push_back(PropertyLine());
    }
    --depth_;
    return obj;
  }

  Property PropertyLine() {
    Property p;
    const Token start = tok_;
    for (;;) {
      if (tok_.kind != Tok::Ident || (!tok_.escaped && IsKeyword(tok_.text))) Fail("Expected a property name", tok_);
      p.name += tok_.text;
      Advance();
      if (tok_.kind != Tok::Dot) break;
      p.name += '.';
      Advance();
    }
    if (p.name.empty()) Fail("A property name cannot be empty", start);
    if (p.name.size() > 255) Fail("The property name is longer than 255 bytes", start);
    Expect(Tok::Equals, "'=' after the property name");
    p.value = ValueHere();
    return p;
  }

  Value ValueHere() {
    if (tok_.kind == Tok::Binary) {  // the data may be large: taken, not copied
      Value v = BinaryValue(std::move(tok_.text));
      Advance();
      return v;
    }
    const Token t = tok_;
    switch (t.kind) {
      case Tok::Integer:
        Advance();
        return IntegerValue(IntegerLiteral(t));
      case Tok::Float:
        Advance();
        return FloatLiteral(t);
      case Tok::HexFloat:
        Advance();
        return HexLiteral(t);
      case Tok::String:
      case Tok::WideMarker: return StringLiteral();
      case Tok::Ident:
        Advance();
        if (!t.escaped) {
          if (SameText(t.text, "True")) return BooleanValue(true);
          if (SameText(t.text, "False")) return BooleanValue(false);
          if (SameText(t.text, "nil")) return NilValue();
          if (SameText(t.text, "Null")) return NullValue();
          if (IsKeyword(t.text)) Fail("Expected a value, found '" + t.text + "'", t);
        }
        if (t.text.size() > 255) Fail("The identifier is longer than 255 bytes", t);
        return IdentValue(t.text);
      case Tok::LParen: {
        Enter(t);
        Advance();
        std::vector<Value> items;
        while (tok_.kind != Tok::RParen) {
          if (tok_.kind == Tok::End) Fail("Missing ')' of the list that starts at line " + std::to_string(t.line), tok_);
          const Token at = tok_;
          items.push_back(ValueHere());
          if (items.back().type == ValueType::Null) Fail("A list cannot hold Null", at);
        }
        Advance();
        --depth_;
        return ListValue(std::move(items));
      }
      case Tok::LBracket: {
        Advance();
        std::vector<std::string> members;
        if (tok_.kind != Tok::RBracket) {
          for (;;) {
            if (tok_.kind == Tok::Ident && tok_.escaped && tok_.text.empty()) Fail("A set member cannot be empty", tok_);
            members.push_back(Name("a set member"));
            if (tok_.kind != Tok::Comma) break;
            Advance();
          }
        }
        Expect(Tok::RBracket, "',' or ']' in the set");
        return SetValue(std::move(members));
      }
      case Tok::LAngle: {
        Enter(t);
        Advance();
        std::vector<CollectionItem> items;
        while (tok_.kind != Tok::RAngle) {
          if (!IsWord(tok_, "item")) Fail("Expected 'item' or '>'", tok_);
          CollectionItem item;
          Advance();
          if (tok_.kind == Tok::LBracket) {
            item.order = Bracketed("an item order");
            item.orderType = SmallestIntegerType(*item.order);
          }
          while (!IsWord(tok_, "end")) {
            if (tok_.kind == Tok::End) Fail("Missing 'end' of the collection item", tok_);
            item.properties.push_back(PropertyLine());
          }
          Advance();
          items.push_back(std::move(item));
        }
        Advance();
        --depth_;
        return CollectionValue(std::move(items));
      }
      default: Fail("Expected a value", t);
    }
  }

  Value FloatLiteral(const Token& t) {
    char* end = nullptr;
    const char* s = t.text.c_str();
    errno = 0;
    switch (t.suffix) {
      case 'S': {
        const float f = ParseFloat(s, &end);
        if (std::isinf(f)) Fail("Number out of range for a Single", t);
        return SingleValue(f);
      }
      case 'D': {
        const double d = ParseDouble(s, &end);
        if (std::isinf(d)) Fail("Number out of range for a Date", t);
        return DateValue(d);
      }
      case 'C': return CurrencyValue(CurrencyLiteral(t));
      default: {
        const long double x = ParseLongDouble(s, &end);
        if (std::isinf(x)) Fail("Number out of range for an Extended", t);
        return ExtendedValue(x);
      }
    }
  }

  std::int64_t CurrencyLiteral(const Token& t) {
    std::string_view s = t.text;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) s.remove_prefix(1);
    const std::size_t point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    if (s.find_first_of("eE") != std::string_view::npos || fraction.size() > 4) {
      Fail("A Currency has at most four decimals and no exponent", t);
    }
    std::uint64_t units = 0;
    for (char c : whole) {
      if (units > (UINT64_MAX - 9) / 10) Fail("Currency out of range", t);
      units = units * 10 + (c - '0');
    }
    for (std::size_t i = 0; i < 4; ++i) {
      if (units > (UINT64_MAX - 9) / 10) Fail("Currency out of range", t);
      units = units * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    if (units > limit) Fail("Currency out of range", t);
    return negative ? static_cast<std::int64_t>(0 - units) : static_cast<std::int64_t>(units);
  }

  Value HexLiteral(const Token& t) {
    std::uint64_t bits = 0;
    const std::string& h = t.text;
    auto parse = [&](std::size_t from, std::size_t n) {
      std::uint64_t v = 0;
      std::from_chars(h.data() + from, h.data() + from + n, v, 16);
      return v;
    };
    switch (h.size()) {
      case 8: return SingleBitsValue(static_cast<std::uint32_t>(parse(0, 8)));
      case 16: {
        bits = parse(0, 16);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return DateValue(d);
      }
      case 20: {
        std::array<std::uint8_t, 10> b{};
        for (int i = 0; i < 10; ++i) b[9 - i] = static_cast<std::uint8_t>(parse(2 * i, 2));
        return ExtendedBitsValue(b);
      }
      default: Fail("A hex float has 8 (Single), 16 (Date) or 20 (Extended) digits", t);
    }
  }

  // One or more strings joined by '+', optionally marked wide with W. Whether the value is 8-bit text
  // depends on every part, so the parts are read twice: once to decide, then from the first part again to
  // decode each piece straight into the value. Memory stays near the size of the value itself.
  Value StringLiteral() {
    bool wide = false;
    if (tok_.kind == Tok::WideMarker) {
      wide = true;
      Advance();
      if (tok_.kind != Tok::String || !tok_.adjacent) Fail("Expected a string after W", tok_);
    }
    const Cursor first = Here();
    StringParts([&](const Token& t) { wide |= t.wideCode || t.beyond1252; });
    GoTo(first);
    if (!wide) {
      std::string bytes;
      StringParts([&](const Token& t) {
        Decode(t, [&](const std::string&, const std::string* cp1252) { bytes += *cp1252; },
               [&](std::uint32_t code) { bytes += static_cast<char>(code); });
      });
      return StringValue(std::move(bytes));
    }
    std::u16string text;
    StringParts([&](const Token& t) {
      Decode(t, [&](const std::string& utf8, const std::string*) { text += sys::Utf8ToUtf16(utf8); },
             [&](std::uint32_t code) { text += static_cast<char16_t>(code); });
    });
    return WideStringValue(std::move(text));
  }

  // Calls part for the current string token and each one joined to it by '+'; ends on the token after them.
  template <class Part>
  void StringParts(Part&& part) {
    for (;;) {
      part(tok_);
      Advance();
      if (tok_.kind != Tok::Plus) return;
      Advance();
      if (tok_.kind != Tok::String) Fail("Expected a string after '+'", tok_);
    }
  }

  // The pieces of a string token, which the lexer has checked already.
  template <class Text, class Code>
  static void Decode(const Token& t, Text&& text, Code&& code) {
    std::size_t pos = 0;
    ScanPieces(t.source, pos, text, code);
  }

  // The lexer's state, to read a stretch of tokens again.
  struct Cursor {
    std::size_t pos;
    int line, column;
    Token tok;
  };
  Cursor Here() const { return {pos_, line_, column_, tok_}; }
  void GoTo(const Cursor& c) {
    pos_ = c.pos;
    line_ = c.line;
    column_ = c.column;
    tok_ = c.tok;
  }

  std::string_view src_;
  std::size_t pos_ = 0;
  int line_ = 1, column_ = 1;
  int depth_ = 0;
  Token tok_;
};

// ---------------------------------------------------------------------------------------------------------
// Writer.

constexpr std::size_t kStringChunk = 64;  // characters of string source per line
constexpr std::size_t kBinaryLine = 32;   // bytes per line of hex

class TextWriter {
public:
  std::string Take() { return std::move(out_); }

  void Object(const ObjectRecord& obj, int level) {
    if (obj.flags & 8) throw EWriteError("Object " + obj.name + " has unknown flags");
    Indent(level);
    if (obj.flags & 1) {
      out_ += (obj.flags & 4) ? "inherited inline " : "inherited ";
    } else {
      out_ += (obj.flags & 4) ? "inline " : "object ";
    }
    if (!obj.name.empty()) out_ += Name(obj.name, "component name") + ": ";
    out_ += Name(obj.className, "class name");
    if (obj.position) out_ += " [" + std::to_string(*obj.position) + "]";
    out_ += '\n';
    for (const auto& p : obj.properties) PropertyLine(p, level + 1);
    for (const auto& child : obj.children) Object(child, level + 1);
    Indent(level);
    out_ += "end\n";
  }

private:
  void Indent(int level) { out_.append(2 * static_cast<std::size_t>(level), ' '); }

  // Printable ASCII in quotes (a quote doubled), every other unit as #code.
  template <class Unit>
  static void AppendUnits(std::string& out, const Unit* begin, const Unit* end) {
    bool open = false;
    for (const Unit* p = begin; p != end; ++p) {
      const std::uint32_t c = static_cast<std::make_unsigned_t<Unit>>(*p);
      if (c >= 0x20 && c < 0x7F) {
        if (!open) out += '\'';
        open = true;
        out += static_cast<char>(c);
        if (c == '\'') out += '\'';
      } else {
        if (open) out += '\'';
        open = false;
        out += '#';
        out += std::to_string(c);
      }
    }
    if (open) out += '\'';
  }

  static std::string Quoted(std::string_view bytes) {
    std::string out;
    AppendUnits(out, bytes.data(), bytes.data() + bytes.size());
    return out;
  }

  static std::string Name(const std::string& name, const char* what) {
    if (name.size() > 255) throw EWriteError(std::string("A ") + what + " is longer than 255 bytes");
    if (IsPlainIdent(name)) return IsKeyword(name) ? "&" + name : name;
    return "&" + (name.empty() ? std::string("''") : Quoted(name));
  }

  static std::string PropertyName(const std::string& name) {
    if (name.empty()) throw EWriteError("A property has an empty name");
    if (name.size() > 255) throw EWriteError("A property name is longer than 255 bytes");
    std::string out;
    std::size_t from = 0;
    for (;;) {
      const std::size_t dot = name.find('.', from);
      const std::string part = name.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
      if (!IsPlainIdent(part)) return "&" + Quoted(name);
      out += IsKeyword(part) ? "&" + part : part;
      if (dot == std::string::npos) return out;
      out += '.';
      from = dot + 1;
    }
  }

  void PropertyLine(const Property& p, int level) {
    Indent(level);
    out_ += PropertyName(p.name) + " = ";
    Value(p.value, level);
    out_ += '\n';
  }

  // Long strings are cut into chunks joined by '+' at the end of a line.
  template <class Unit>
  void StringUnits(const std::basic_string<Unit>& units, bool wideMarker, int level) {
    if (wideMarker) out_ += 'W';
    if (units.empty()) {
      out_ += "''";
      return;
    }
    for (std::size_t from = 0; from < units.size(); from += kStringChunk) {
      if (from > 0) {
        out_ += " +\n";
        Indent(level + 1);
      }
      const std::size_t to = std::min(units.size(), from + kStringChunk);
      AppendUnits(out_, units.data() + from, units.data() + to);
    }
  }

  void Value(const config::Value& v, int level) {
    switch (v.type) {
      case ValueType::Null: out_ += "Null"; return;
      case ValueType::Int8:
      case ValueType::Int16:
      case ValueType::Int32:
      case ValueType::Int64: out_ += std::to_string(v.integer); return;
      case ValueType::Extended: out_ += FormatExtended(v.extended); return;
      case ValueType::Single: out_ += FormatSingle(NarrowToSingleBits(v.real)); return;
      case ValueType::Date: out_ += FormatDate(v.real); return;
      case ValueType::Currency: out_ += FormatCurrency(v.integer); return;
      case ValueType::String:
      case ValueType::LString: StringUnits(v.bytes, false, level); return;
      case ValueType::WString: {
        bool beyondByte = false;
        for (char16_t c : v.wide) beyondByte |= c > 255;
        StringUnits(v.wide, !beyondByte, level);
        return;
      }
      case ValueType::Ident:
        if (v.bytes.size() > 255) throw EWriteError("An identifier is longer than 255 bytes");
        out_ += IsPlainIdent(v.bytes) && !IsKeyword(v.bytes) ? v.bytes : Name(v.bytes, "identifier");
        return;
      case ValueType::False: out_ += "False"; return;
      case ValueType::True: out_ += "True"; return;
      case ValueType::Nil: out_ += "nil"; return;
      case ValueType::Set: {
        out_ += '[';
        for (std::size_t i = 0; i < v.members.size(); ++i) {
          if (v.members[i].empty()) throw EWriteError("A set has an empty member name");
          if (i > 0) out_ += ", ";
          out_ += Name(v.members[i], "set member");
        }
        out_ += ']';
        return;
      }
      case ValueType::Binary: {
        if (v.bytes.empty()) {
          out_ += "{}";
          return;
        }
        out_ += "{";
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < v.bytes.size(); ++i) {
          if (i % kBinaryLine == 0) {
            out_ += '\n';
            Indent(level + 1);
          }
          const auto b = static_cast<unsigned char>(v.bytes[i]);
          out_ += kHex[b >> 4];
          out_ += kHex[b & 15];
        }
        out_ += "}";
        return;
      }
      case ValueType::List: {
        if (v.items.empty()) {
          out_ += "()";
          return;
        }
        out_ += '(';
        for (const auto& item : v.items) {
          if (item.type == ValueType::Null) throw EWriteError("A list cannot hold a Null value");
          out_ += '\n';
          Indent(level + 1);
          Value(item, level + 1);
        }
        out_ += ')';
        return;
      }
      case ValueType::Collection: {
        if (v.collection.empty()) {
          out_ += "<>";
          return;
        }
        out_ += '<';
        for (std::size_t i = 0; i < v.collection.size(); ++i) {
          const auto& item = v.collection[i];
          out_ += '\n';
          Indent(level + 1);
          out_ += "item";
          if (item.order) out_ += " [" + std::to_string(*item.order) + "]";
          out_ += '\n';
          for (const auto& p : item.properties) PropertyLine(p, level + 2);
          Indent(level + 1);
          out_ += "end";
        }
        out_ += '>';
        return;
      }
      default: throw EWriteError("Unknown value type " + std::to_string(static_cast<int>(v.type)));
    }
  }

  std::string out_;
};

}  // namespace

ObjectRecord ReadTextForm(std::string_view text) { return TextReader(text).ReadRoot(); }

std::string WriteTextForm(const ObjectRecord& root) {
  TextWriter writer;
  writer.Object(root, 0);
  return writer.Take();
}

}  // namespace tav::config
