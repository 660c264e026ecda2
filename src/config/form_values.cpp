#include "config/form_values.h"

#include <cstring>
#include <limits>

#include "core/exceptions_Tavenrik.h"
#include "sys/unicode.h"

namespace tav::config {

namespace {

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit type");

Value Make(ValueType type) {
  Value v;
  v.type = type;
  return v;
}

[[noreturn]] void WrongType(const char* expected, ValueType found) {
  throw EReadError("Expected " + std::string(expected) + " value but found " + ValueTypeName(found));
}

std::uint64_t DoubleBits(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

double BitsToDouble(std::uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

bool SameItems(const std::vector<Property>& a, const std::vector<Property>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || !SameValue(a[i].value, b[i].value)) return false;
  }
  return true;
}

}  // namespace

std::string ValueTypeName(ValueType type) {
  static constexpr const char* kNames[] = {
      "Null",   "List",   "Int8",       "Int16",  "Int32",    "Extended", "String",
      "Ident",  "False",  "True",       "Binary", "Set",      "LString",  "Nil",
      "Collection", "Single", "Currency", "Date", "WString", "Int64"};
  const auto index = static_cast<std::size_t>(type);
  if (index < std::size(kNames)) return kNames[index];
  return "tag " + std::to_string(index);
}

Value NullValue() { return Make(ValueType::Null); }

ValueType SmallestIntegerType(std::int64_t value) {
  if (value >= INT8_MIN && value <= INT8_MAX) return ValueType::Int8;
  if (value >= INT16_MIN && value <= INT16_MAX) return ValueType::Int16;
  if (value >= INT32_MIN && value <= INT32_MAX) return ValueType::Int32;
  return ValueType::Int64;
}

Value IntegerValue(std::int64_t value) {
  Value v = Make(SmallestIntegerType(value));
  v.integer = value;
  return v;
}

Value StringValue(std::string bytes) {
  Value v = Make(bytes.size() <= 255 ? ValueType::String : ValueType::LString);
  v.bytes = std::move(bytes);
  return v;
}

Value WideStringValue(std::u16string text) {
  Value v = Make(ValueType::WString);
  v.wide = std::move(text);
  return v;
}

Value TextValue(const std::string& utf8) {
  std::string bytes;
  if (sys::Utf8ToCp1252(utf8, bytes)) return StringValue(std::move(bytes));
  return WideStringValue(sys::Utf8ToUtf16(utf8));
}

Value ExtendedValue(long double value) { return ExtendedBitsValue(LongDoubleToExtended(value)); }

Value ExtendedBitsValue(const std::array<std::uint8_t, 10>& bytes) {
  Value v = Make(ValueType::Extended);
  v.extended = bytes;
  return v;
}

Value SingleValue(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return SingleBitsValue(bits);
}

Value SingleBitsValue(std::uint32_t bits) {
  Value v = Make(ValueType::Single);
  v.real = WidenSingleBits(bits);
  return v;
}

Value DateValue(double value) {
  Value v = Make(ValueType::Date);
  v.real = value;
  return v;
}

Value CurrencyValue(std::int64_t raw) {
  Value v = Make(ValueType::Currency);
  v.integer = raw;
  return v;
}

Value IdentValue(std::string name) {
  Value v = Make(ValueType::Ident);
  v.bytes = std::move(name);
  return v;
}

Value BooleanValue(bool value) { return Make(value ? ValueType::True : ValueType::False); }

Value SetValue(std::vector<std::string> members) {
  Value v = Make(ValueType::Set);
  v.members = std::move(members);
  return v;
}

Value BinaryValue(std::string data) {
  Value v = Make(ValueType::Binary);
  v.bytes = std::move(data);
  return v;
}

Value NilValue() { return Make(ValueType::Nil); }

Value ListValue(std::vector<Value> items) {
  Value v = Make(ValueType::List);
  v.items = std::move(items);
  return v;
}

Value CollectionValue(std::vector<CollectionItem> items) {
  Value v = Make(ValueType::Collection);
  v.collection = std::move(items);
  return v;
}

bool IsInteger(ValueType type) {
  return type == ValueType::Int8 || type == ValueType::Int16 || type == ValueType::Int32 ||
         type == ValueType::Int64;
}

bool IsString(ValueType type) {
  return type == ValueType::String || type == ValueType::LString || type == ValueType::WString;
}

std::int64_t AsInteger(const Value& value) {
  if (!IsInteger(value.type)) WrongType("an integer", value.type);
  return value.integer;
}

long double AsFloat(const Value& value) {
  switch (value.type) {
    case ValueType::Extended: return ExtendedToLongDouble(value.extended);
    case ValueType::Single:
    case ValueType::Date: return value.real;
    case ValueType::Currency: return static_cast<long double>(value.integer) / 10000;
    default:
      if (IsInteger(value.type)) return static_cast<long double>(value.integer);
      WrongType("a floating-point", value.type);
  }
}

std::string AsText(const Value& value) {
  switch (value.type) {
    case ValueType::String:
    case ValueType::LString:
    case ValueType::Ident: return sys::Cp1252ToUtf8(value.bytes);
    case ValueType::WString: return sys::Utf16ToUtf8(value.wide);
    default: WrongType("a string", value.type);
  }
}

std::string AsIdent(const Value& value) {
  if (value.type != ValueType::Ident) WrongType("an identifier", value.type);
  return value.bytes;
}

bool AsBoolean(const Value& value) {
  if (value.type == ValueType::True) return true;
  if (value.type == ValueType::False) return false;
  WrongType("a Boolean", value.type);
}

const std::vector<std::string>& AsSet(const Value& value) {
  if (value.type != ValueType::Set) WrongType("a set", value.type);
  return value.members;
}

const std::string& AsBinary(const Value& value) {
  if (value.type != ValueType::Binary) WrongType("a binary", value.type);
  return value.bytes;
}

const std::vector<Value>& AsList(const Value& value) {
  if (value.type != ValueType::List) WrongType("a list", value.type);
  return value.items;
}

const std::vector<CollectionItem>& AsCollection(const Value& value) {
  if (value.type != ValueType::Collection) WrongType("a collection", value.type);
  return value.collection;
}

long double ExtendedToLongDouble(const std::array<std::uint8_t, 10>& bytes) {
  long double value = 0;  // also clears the padding beyond the 10 bytes
  std::memcpy(&value, bytes.data(), bytes.size());
  return value;
}

std::array<std::uint8_t, 10> LongDoubleToExtended(long double value) {
  std::array<std::uint8_t, 10> bytes{};
  std::memcpy(bytes.data(), &value, bytes.size());
  return bytes;
}

double WidenSingleBits(std::uint32_t bits) {
  const std::uint32_t exponent = (bits >> 23) & 0xFF;
  const std::uint32_t mantissa = bits & 0x7FFFFF;
  if (exponent == 0xFF && mantissa != 0) {
    const std::uint64_t sign = static_cast<std::uint64_t>(bits >> 31) << 63;
    return BitsToDouble(sign | (std::uint64_t{0x7FF} << 52) | (static_cast<std::uint64_t>(mantissa) << 29));
  }
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::uint32_t NarrowToSingleBits(double widened) {
  const std::uint64_t bits = DoubleBits(widened);
  if (((bits >> 52) & 0x7FF) == 0x7FF && (bits & 0xFFFFFFFFFFFFFull) != 0) {
    std::uint32_t mantissa = static_cast<std::uint32_t>((bits & 0xFFFFFFFFFFFFFull) >> 29);
    if (mantissa == 0) mantissa = 0x400000;  // a payload only in the low bits: keep it a (quiet) NaN
    return static_cast<std::uint32_t>(bits >> 63) << 31 | 0x7F800000u | mantissa;
  }
  const float f = static_cast<float>(widened);
  std::uint32_t out;
  std::memcpy(&out, &f, sizeof out);
  return out;
}

bool SameValue(const Value& a, const Value& b) {
  if (IsInteger(a.type) && IsInteger(b.type)) return a.integer == b.integer;
  const auto eightBit = [](ValueType t) { return t == ValueType::String || t == ValueType::LString; };
  if (eightBit(a.type) && eightBit(b.type)) return a.bytes == b.bytes;
  if (a.type != b.type) return false;
  switch (a.type) {
    case ValueType::Extended: return a.extended == b.extended;
    case ValueType::Single: return NarrowToSingleBits(a.real) == NarrowToSingleBits(b.real);
    case ValueType::Date: return DoubleBits(a.real) == DoubleBits(b.real);
    case ValueType::Currency: return a.integer == b.integer;
    case ValueType::Ident:
    case ValueType::Binary: return a.bytes == b.bytes;
    case ValueType::WString: return a.wide == b.wide;
    case ValueType::Set: return a.members == b.members;
    case ValueType::List:
      if (a.items.size() != b.items.size()) return false;
      for (std::size_t i = 0; i < a.items.size(); ++i) {
        if (!SameValue(a.items[i], b.items[i])) return false;
      }
      return true;
    case ValueType::Collection:
      if (a.collection.size() != b.collection.size()) return false;
      for (std::size_t i = 0; i < a.collection.size(); ++i) {
        const auto& x = a.collection[i];
        const auto& y = b.collection[i];
        if (x.order != y.order || !SameItems(x.properties, y.properties)) return false;
      }
      return true;
    default: return true;  // Null, False, True, Nil carry nothing else
  }
}

bool SameForm(const ObjectRecord& a, const ObjectRecord& b) {
  if ((a.flags & ~2) != (b.flags & ~2) || a.position != b.position || a.className != b.className ||
      a.name != b.name || !SameItems(a.properties, b.properties) || a.children.size() != b.children.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.children.size(); ++i) {
    if (!SameForm(a.children[i], b.children[i])) return false;
  }
  return true;
}

}  // namespace tav::config
