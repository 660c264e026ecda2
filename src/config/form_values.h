#pragma once
// Helpers over the syntactic tree shared by the stream converters and the component loader/saver.
//
// The constructors follow the writer's rules, so that a saver using them produces the canonical stream:
// integers in the smallest tag, 8-bit strings as String up to 255 bytes and LString beyond, text as
// Windows-1252 when every character fits and as WString otherwise.
//
// The accessors accept everything a reader must accept (any integer tag, any string tag ...) and throw
// EReadError naming the expected and the found type otherwise.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/form_tree.h"

namespace tav::config {

// "Int8", "WString" ...; "tag N" for a value outside the enumeration.
std::string ValueTypeName(ValueType type);

Value NullValue();
Value IntegerValue(std::int64_t value);
Value StringValue(std::string bytes);
Value WideStringValue(std::u16string text);
Value TextValue(const std::string& utf8);
Value ExtendedValue(long double value);
Value ExtendedBitsValue(const std::array<std::uint8_t, 10>& bytes);
Value SingleValue(float value);
Value SingleBitsValue(std::uint32_t bits);
Value DateValue(double value);
Value CurrencyValue(std::int64_t raw);  // the value times 10000
Value IdentValue(std::string name);
Value BooleanValue(bool value);
Value SetValue(std::vector<std::string> members);
Value BinaryValue(std::string data);
Value NilValue();
Value ListValue(std::vector<Value> items);
Value CollectionValue(std::vector<CollectionItem> items);

// The tag of the smallest integer tag that holds value.
ValueType SmallestIntegerType(std::int64_t value);

bool IsInteger(ValueType type);
bool IsString(ValueType type);  // String, LString, WString

std::int64_t AsInteger(const Value& value);
long double AsFloat(const Value& value);
std::string AsText(const Value& value);  // UTF-8
std::string AsIdent(const Value& value);
bool AsBoolean(const Value& value);
const std::vector<std::string>& AsSet(const Value& value);
const std::string& AsBinary(const Value& value);
const std::vector<Value>& AsList(const Value& value);
const std::vector<CollectionItem>& AsCollection(const Value& value);

// x87 80-bit extended real <-> long double (80-bit with both compilers): a plain copy of the bits, so
// NaN payloads, unnormals and pseudo-denormals survive unchanged.
long double ExtendedToLongDouble(const std::array<std::uint8_t, 10>& bytes);
std::array<std::uint8_t, 10> LongDoubleToExtended(long double value);

// Single values are held widened in Value::real. A plain float->double conversion would quiet a
// signalling NaN, so NaNs are widened and narrowed by moving the bits; everything else converts exactly.
double WidenSingleBits(std::uint32_t bits);
std::uint32_t NarrowToSingleBits(double widened);

// Same tree up to encoding choices that carry no value: the integer tag (of values, orders and
// positions), String versus LString, and a prefix byte without flags. Floats compare by their bits.
bool SameValue(const Value& a, const Value& b);
bool SameForm(const ObjectRecord& a, const ObjectRecord& b);

}  // namespace tav::config
