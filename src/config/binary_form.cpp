#include "config/binary_form.h"

#include <cstring>
#include <functional>
#include <limits>

#include "config/form_values.h"
#include "core/exceptions_Tavenrik.h"

namespace tav::config {

namespace {

constexpr std::string_view kSignature = "TPF0";

class BinaryReader {
public:
  explicit BinaryReader(std::string_view bytes) : data_(bytes) {}

  ObjectRecord ReadRoot() {
    Signature();
    ObjectRecord root = ReadObject();
    End();
    return root;
  }

  void ReadRootByChild(const std::function<void(ObjectRecord&)>& onRoot,
                       const std::function<void(ObjectRecord&)>& onChild) {
    Signature();
    Enter(pos_);
    ObjectRecord root;
    ReadHeader(root);
    onRoot(root);
    while (PeekByte() != 0) {
      ObjectRecord child = ReadObject();
      onChild(child);
    }
    ++pos_;
    Leave();
    End();
  }

private:
  void Signature() {
    if (data_.size() < kSignature.size() || data_.substr(0, kSignature.size()) != kSignature) {
      throw EReadError("Invalid stream format");
    }
    pos_ = kSignature.size();
  }

  void End() const {
    if (pos_ != data_.size()) Fail("Unexpected data after the root object", pos_);
  }

  [[noreturn]] void Fail(const std::string& what, std::size_t at) const {
    throw EReadError(what + " at byte " + std::to_string(at));
  }

  void Need(std::size_t n) const {
    if (data_.size() - pos_ < n) Fail("Unexpected end of stream", pos_);
  }

  std::uint8_t Byte() {
    Need(1);
    return static_cast<std::uint8_t>(data_[pos_++]);
  }

  std::uint8_t PeekByte() const {
    Need(1);
    return static_cast<std::uint8_t>(data_[pos_]);
  }

  std::uint64_t LittleEndian(std::size_t n) {
    Need(n);
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(data_[pos_ + i])) << (8 * i);
    pos_ += n;
    return v;
  }

  std::string Bytes(std::size_t n) {
    Need(n);
    std::string out(data_.substr(pos_, n));
    pos_ += n;
    return out;
  }

  std::string ShortString() {
    const std::size_t n = Byte();
    return Bytes(n);
  }

  // A 4-byte length of items of unit bytes each, checked against what is left before anything is allocated.
  std::size_t Length(const char* what, std::size_t unit) {
    const std::size_t at = pos_;
    const std::uint64_t n = LittleEndian(4);
    if (n > (data_.size() - pos_) / unit) {
      Fail(std::string(what) + " length " + std::to_string(n) + " exceeds the end of the stream", at);
    }
    return static_cast<std::size_t>(n);
  }

  void Enter(std::size_t at) {
    if (++depth_ > kMaxFormDepth) Fail("Nesting deeper than " + std::to_string(kMaxFormDepth), at);
  }
  void Leave() { --depth_; }

  std::int64_t IntegerBody(ValueType type) {
    switch (type) {
      case ValueType::Int8: return static_cast<std::int8_t>(LittleEndian(1));
      case ValueType::Int16: return static_cast<std::int16_t>(LittleEndian(2));
      case ValueType::Int32: return static_cast<std::int32_t>(LittleEndian(4));
      default: return static_cast<std::int64_t>(LittleEndian(8));
    }
  }

  // An integer value where only an integer may stand (child position, collection item order).
  std::int64_t Integer(const char* what, ValueType& type) {
    const std::size_t at = pos_;
    type = static_cast<ValueType>(Byte());
    if (!IsInteger(type)) Fail(std::string(what) + " must be an integer, found " + ValueTypeName(type), at);
    return IntegerBody(type);
  }

  ObjectRecord ReadObject() {
    Enter(pos_);
    ObjectRecord obj;
    ReadHeader(obj);
    while (PeekByte() != 0) obj.children.push_back(ReadObject());
    ++pos_;
    Leave();
    return obj;
  }

  // The prefix, class, name and properties of an object: all but its children.
  void ReadHeader(ObjectRecord& obj) {
    const std::size_t start = pos_;
    const std::uint8_t first = PeekByte();
    if ((first & 0xF0) == 0xF0) {
      ++pos_;
      obj.hasPrefix = true;
      obj.flags = first & 0x0F;
      if (obj.flags & 8) Fail("Unknown object flags " + std::to_string(obj.flags), start);
      if (obj.flags & 2) obj.position = Integer("Child position", obj.positionType);
    }
    obj.className = ShortString();
    obj.name = ShortString();
    obj.properties = ReadProperties();
  }

  std::vector<Property> ReadProperties() {
    std::vector<Property> props;
    while (PeekByte() != 0) {
      Property p;
      p.name = ShortString();
      p.value = ReadValue();
      props.push_back(std::move(p));
    }
    ++pos_;
    return props;
  }

  Value ReadValue() {
    const std::size_t at = pos_;
    const std::uint8_t tag = Byte();
    Value v;
    v.type = static_cast<ValueType>(tag);
    switch (v.type) {
      case ValueType::Null:
      case ValueType::False:
      case ValueType::True:
      case ValueType::Nil: break;
      case ValueType::List:
        Enter(at);
        while (PeekByte() != 0) v.items.push_back(ReadValue());
        ++pos_;
        Leave();
        break;
      case ValueType::Int8:
      case ValueType::Int16:
      case ValueType::Int32:
      case ValueType::Int64: v.integer = IntegerBody(v.type); break;
      case ValueType::Extended: {
        Need(10);
        std::memcpy(v.extended.data(), data_.data() + pos_, 10);
        pos_ += 10;
        break;
      }
      case ValueType::String:
      case ValueType::Ident: v.bytes = ShortString(); break;
      case ValueType::Binary: v.bytes = Bytes(Length("Binary", 1)); break;
      case ValueType::LString: v.bytes = Bytes(Length("LString", 1)); break;
      case ValueType::Set:
        for (;;) {
          std::string member = ShortString();
          if (member.empty()) break;
          v.members.push_back(std::move(member));
        }
        break;
      case ValueType::Collection:
        Enter(at);
        while (PeekByte() != 0) v.collection.push_back(ReadItem());
        ++pos_;
        Leave();
        break;
      case ValueType::Single: v.real = WidenSingleBits(static_cast<std::uint32_t>(LittleEndian(4))); break;
      case ValueType::Currency: v.integer = static_cast<std::int64_t>(LittleEndian(8)); break;
      case ValueType::Date: {
        const std::uint64_t bits = LittleEndian(8);
        std::memcpy(&v.real, &bits, sizeof bits);
        break;
      }
      case ValueType::WString: {
        const std::size_t n = Length("WString", 2);
        v.wide.resize(n);
        for (std::size_t i = 0; i < n; ++i) v.wide[i] = static_cast<char16_t>(LittleEndian(2));
        break;
      }
      default: Fail("Unknown value type " + std::to_string(tag), at);
    }
    return v;
  }

  CollectionItem ReadItem() {
    CollectionItem item;
    if (PeekByte() != 1) item.order = Integer("Collection item order", item.orderType);
    const std::size_t at = pos_;
    if (Byte() != 1) Fail("Expected the start of a collection item", at);
    item.properties = ReadProperties();
    return item;
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

class BinaryWriter {
public:
  std::string Take() { return std::move(out_); }

  void Object(const ObjectRecord& obj, bool root) {
    const bool position = obj.position.has_value();
    const std::uint8_t flags = static_cast<std::uint8_t>((obj.flags & 0x05) | (position ? 2 : 0));
    if (obj.flags & 8) throw EWriteError("Object " + obj.name + " has unknown flags");
    // Without a prefix, a child's empty class name would read as the end of the child list, and a class
    // name of 240 bytes or more as a prefix.
    const bool ambiguous = (obj.className.empty() && !root) || obj.className.size() >= 0xF0;
    if (obj.hasPrefix || flags != 0 || ambiguous) {
      Byte(0xF0 | flags);
      if (position) Integer(*obj.position, obj.positionType);
    }
    ShortString(obj.className, "class name");
    ShortString(obj.name, "component name");
    Properties(obj.properties);
    for (const auto& child : obj.children) Object(child, false);
    Byte(0);
  }

private:
  void Byte(std::uint8_t b) { out_ += static_cast<char>(b); }

  void LittleEndian(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) Byte(static_cast<std::uint8_t>(v >> (8 * i)));
  }

  void ShortString(const std::string& s, const char* what) {
    if (s.size() > 255) throw EWriteError(std::string("A ") + what + " is longer than 255 bytes: " + s.substr(0, 40) + "...");
    Byte(static_cast<std::uint8_t>(s.size()));
    out_ += s;
  }

  void Length(std::size_t n, const char* what) {
    if (n > std::numeric_limits<std::uint32_t>::max()) throw EWriteError(std::string(what) + " too long for the stream");
    LittleEndian(n, 4);
  }

  // Writes value in the given integer tag, or in the smallest one when it does not fit there.
  void Integer(std::int64_t value, ValueType type) {
    if (!IsInteger(type) || SmallestIntegerType(value) > type) type = SmallestIntegerType(value);
    Byte(static_cast<std::uint8_t>(type));
    static constexpr int kSize[] = {0, 0, 1, 2, 4};
    LittleEndian(static_cast<std::uint64_t>(value), type == ValueType::Int64 ? 8 : kSize[static_cast<int>(type)]);
  }

  void Properties(const std::vector<Property>& props) {
    for (const auto& p : props) {
      if (p.name.empty()) throw EWriteError("A property has an empty name");
      ShortString(p.name, "property name");
      Value(p.value);
    }
    Byte(0);
  }

  void Value(const config::Value& v) {
    switch (v.type) {
      case ValueType::Int8:
      case ValueType::Int16:
      case ValueType::Int32:
      case ValueType::Int64: Integer(v.integer, v.type); return;
      default: break;
    }
    Byte(static_cast<std::uint8_t>(v.type));
    switch (v.type) {
      case ValueType::Null:
      case ValueType::False:
      case ValueType::True:
      case ValueType::Nil: break;
      case ValueType::List:
        for (const auto& item : v.items) {
          if (item.type == ValueType::Null) throw EWriteError("A list cannot hold a Null value");
          Value(item);
        }
        Byte(0);
        break;
      case ValueType::Extended: out_.append(reinterpret_cast<const char*>(v.extended.data()), 10); break;
      case ValueType::String: ShortString(v.bytes, "String value"); break;
      case ValueType::Ident: ShortString(v.bytes, "identifier"); break;
      case ValueType::Binary:
      case ValueType::LString:
        Length(v.bytes.size(), "A value");
        out_ += v.bytes;
        break;
      case ValueType::Set:
        for (const auto& m : v.members) {
          if (m.empty()) throw EWriteError("A set has an empty member name");
          ShortString(m, "set member");
        }
        Byte(0);
        break;
      case ValueType::Collection:
        for (const auto& item : v.collection) {
          if (item.order) Integer(*item.order, item.orderType);
          Byte(1);
          Properties(item.properties);
        }
        Byte(0);
        break;
      case ValueType::Single: LittleEndian(NarrowToSingleBits(v.real), 4); break;
      case ValueType::Currency: LittleEndian(static_cast<std::uint64_t>(v.integer), 8); break;
      case ValueType::Date: {
        std::uint64_t bits;
        std::memcpy(&bits, &v.real, sizeof bits);
        LittleEndian(bits, 8);
        break;
      }
      case ValueType::WString:
        Length(v.wide.size(), "A WString");
        for (char16_t c : v.wide) LittleEndian(c, 2);
        break;
      default: throw EWriteError("Unknown value type " + std::to_string(static_cast<int>(v.type)));
    }
  }

  std::string out_;
};

}  // namespace

ObjectRecord ReadBinaryForm(std::string_view bytes) { return BinaryReader(bytes).ReadRoot(); }

void ReadBinaryFormByChild(std::string_view bytes, const std::function<void(ObjectRecord&)>& onRoot,
                           const std::function<void(ObjectRecord&)>& onChild) {
  BinaryReader(bytes).ReadRootByChild(onRoot, onChild);
}

std::string WriteBinaryForm(const ObjectRecord& root) {
  BinaryWriter writer;
  writer.Object(root, true);
  return std::string(kSignature) + writer.Take();
}

}  // namespace tav::config
