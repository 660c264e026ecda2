#pragma once
// Builds binary component streams byte by byte for the tests, so that every sample is explained by the
// code that makes it.
#include <cstdint>
#include <cstring>
#include <string>

namespace tav::config::testing {

class FormBytes {
public:
  FormBytes() : bytes_("TPF0") {}
  explicit FormBytes(std::string start) : bytes_(std::move(start)) {}

  FormBytes& Byte(std::uint8_t b) { bytes_ += static_cast<char>(b); return *this; }
  FormBytes& Raw(const std::string& s) { bytes_ += s; return *this; }
  FormBytes& LE(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) Byte(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  FormBytes& Short(const std::string& s) { return Byte(static_cast<std::uint8_t>(s.size())).Raw(s); }

  // The head of an object record without prefix: class and name.
  FormBytes& Object(const std::string& cls, const std::string& name) { return Short(cls).Short(name); }
  FormBytes& Prop(const std::string& name) { return Short(name); }
  FormBytes& End() { return Byte(0); }  // ends a property list, child list, list, set or collection

  FormBytes& Int8(std::int8_t v) { return Byte(2).LE(static_cast<std::uint8_t>(v), 1); }
  FormBytes& Int16(std::int16_t v) { return Byte(3).LE(static_cast<std::uint16_t>(v), 2); }
  FormBytes& Int32(std::int32_t v) { return Byte(4).LE(static_cast<std::uint32_t>(v), 4); }
  FormBytes& Int64(std::int64_t v) { return Byte(19).LE(static_cast<std::uint64_t>(v), 8); }
  FormBytes& Extended(std::uint16_t signExponent, std::uint64_t mantissa) {
    return Byte(5).LE(mantissa, 8).LE(signExponent, 2);
  }
  FormBytes& String(const std::string& s) { return Byte(6).Short(s); }
  FormBytes& Ident(const std::string& s) { return Byte(7).Short(s); }
  FormBytes& False() { return Byte(8); }
  FormBytes& True() { return Byte(9); }
  FormBytes& Binary(const std::string& s) { return Byte(10).LE(s.size(), 4).Raw(s); }
  FormBytes& SetStart() { return Byte(11); }
  FormBytes& LString(const std::string& s) { return Byte(12).LE(s.size(), 4).Raw(s); }
  FormBytes& Nil() { return Byte(13); }
  FormBytes& CollectionStart() { return Byte(14); }
  FormBytes& ItemStart() { return Byte(1); }
  FormBytes& ListStart() { return Byte(1); }
  FormBytes& Single(std::uint32_t bits) { return Byte(15).LE(bits, 4); }
  FormBytes& Currency(std::int64_t raw) { return Byte(16).LE(static_cast<std::uint64_t>(raw), 8); }
  FormBytes& Date(std::uint64_t bits) { return Byte(17).LE(bits, 8); }
  FormBytes& DateValue(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return Date(bits);
  }
  FormBytes& WString(const std::u16string& s) {
    Byte(18).LE(s.size(), 4);
    for (char16_t c : s) LE(c, 2);
    return *this;
  }

  const std::string& str() const { return bytes_; }
  operator std::string() const { return bytes_; }

private:
  std::string bytes_;
};

}  // namespace tav::config::testing

namespace tav::config::testing {

// A stream by the writer's rules that uses every value tag, a dotted name, a forward reference (Install1
// names NetLocation1, which comes later), nested children, a long string and a UTF-16 string.
inline std::string EveryTagStream() {
  std::u16string wide = u"Setup ";
  wide += char16_t{0x4E2D};
  wide += char16_t{0x6587};
  FormBytes b;
  b.Object("TForm1", "Form1")
      .Prop("Tag").Byte(0)
      .Prop("Left").Int8(-8)
      .Prop("Top").Int16(300)
      .Prop("Width").Int32(100000)
      .Prop("Big").Int64(std::int64_t{1} << 40)
      .Prop("Ratio").Extended(0x3FFF, 0xC000000000000000ull)  // 1.5
      .Prop("Caption").String("It's \xE9t\xE9")
      .Prop("Color").Ident("clBtnFace")
      .Prop("Visible").False()
      .Prop("Enabled").True()
      .Prop("Picture.Data").Binary(std::string("\x07TBitmap\x00\x01\xFF", 11))
      .Prop("Font.Style").SetStart().Short("fsBold").Short("fsItalic").End()
      .Prop("License").LString(std::string(300, 'L'))
      .Prop("Link").Nil()
      .Prop("Entries").CollectionStart()
          .ItemStart().Prop("Name").String("a").End()
          .Int8(3).ItemStart().Prop("Value").Int16(1000).End()
      .End()
      .Prop("Scale").Single(0x3FC00000)  // 1.5
      .Prop("Price").Currency(12345)     // 1.2345
      .Prop("Stamp").DateValue(45000.25)
      .Prop("Title").WString(wide)
      .Prop("Lines.Strings").ListStart().String("a").String("b").ListStart().Int8(1).End().End()
      .End()
      .Object("TInstall", "Install1")
          .Prop("NetLocation").Ident("NetLocation1")
          .End()
          .Object("TInstallFile", "File1").End().End()
      .End()
      .Object("TNetInstallLocation", "NetLocation1").End().End()
      .End();
  return b;
}

}  // namespace tav::config::testing
