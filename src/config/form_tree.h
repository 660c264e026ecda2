#pragma once
// The syntactic form of a component stream: what the binary stream and the text form both hold,
// without knowing any class. The binary and text readers produce it; the writers consume it; the
// component loader and saver translate between it and live components.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tav::config {

// Value tags of the binary stream.
enum class ValueType : std::uint8_t {
  Null = 0, List = 1, Int8 = 2, Int16 = 3, Int32 = 4, Extended = 5, String = 6, Ident = 7,
  False = 8, True = 9, Binary = 10, Set = 11, LString = 12, Nil = 13, Collection = 14,
  Single = 15, Currency = 16, Date = 17, WString = 18, Int64 = 19,
};

struct Value;
struct Property;

struct CollectionItem {
  std::optional<std::int64_t> order;  // the optional integer before the item
  ValueType orderType = ValueType::Int8;  // its tag, kept for a byte-exact rewrite
  std::vector<Property> properties;
};

struct Value {
  ValueType type = ValueType::Null;
  std::int64_t integer = 0;            // Int8/16/32/64; Currency as the raw value scaled by 10000
  std::array<std::uint8_t, 10> extended{};  // Extended: the 10 bytes as stored
  double real = 0;                     // Date (8-byte double) and Single (widened, exact)
  std::string bytes;                   // String, LString, Ident: 8-bit text as stored; Binary: the data
  std::u16string wide;                 // WString
  std::vector<Value> items;            // List
  std::vector<std::string> members;    // Set
  std::vector<CollectionItem> collection;  // Collection
};

struct Property {
  std::string name;  // possibly a dotted path
  Value value;
};

struct ObjectRecord {
  bool hasPrefix = false;
  std::uint8_t flags = 0;                   // low nibble of the prefix byte: 1 inherited, 2 position, 4 inline
  std::optional<std::int64_t> position;     // present when flags has 2
  ValueType positionType = ValueType::Int8;  // its tag, kept for a byte-exact rewrite
  std::string className;
  std::string name;
  std::vector<Property> properties;
  std::vector<ObjectRecord> children;
};

}  // namespace tav::config
