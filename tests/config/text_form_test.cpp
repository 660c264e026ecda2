#include "config/text_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "config/binary_form.h"
#include "config/form_values.h"
#include "core/exceptions_Tavenrik.h"
#include "form_bytes.h"

namespace tav::config {
namespace {

using testing::EveryTagStream;
using testing::FormBytes;

std::string ToText(const std::string& bytes) { return WriteTextForm(ReadBinaryForm(bytes)); }
std::string ToBinary(const std::string& text) { return WriteBinaryForm(ReadTextForm(text)); }

std::string TextError(const std::string& text) {
  try {
    ReadTextForm(text);
  } catch (const EReadError& e) {
    return e.Message();
  }
  return "(no error)";
}

// The text of a one-property form, for checking how single values are written.
std::string OneValue(const Value& v) {
  ObjectRecord root;
  root.className = "TFoo";
  root.name = "Foo";
  root.properties = {{"P", v}};
  return WriteTextForm(root);
}

std::string ValueText(const Value& v) {
  const std::string text = OneValue(v);
  const std::string head = "object Foo: TFoo\n  P = ";
  EXPECT_EQ(text.substr(0, head.size()), head);
  return text.substr(head.size(), text.size() - head.size() - 5);  // without "\nend\n"
}

TEST(TextForm, WritesTheReadableForm) {
  const char* expected =
      "object Form1: TForm1\n"
      "  Tag = Null\n"
      "  Left = -8\n"
      "  Top = 300\n"
      "  Width = 100000\n"
      "  Big = 1099511627776\n"
      "  Ratio = 1.5\n"
      "  Caption = 'It''s '#233't'#233\n"
      "  Color = clBtnFace\n"
      "  Visible = False\n"
      "  Enabled = True\n"
      "  Picture.Data = {\n"
      "    07544269746D61700001FF}\n"
      "  Font.Style = [fsBold, fsItalic]\n"
      "  License = \n";
  const std::string text = ToText(EveryTagStream());
  // Up to the long string, then spot checks of the rest.
  const std::string upTo = text.substr(0, text.find("  License = "));
  EXPECT_EQ(upTo + "  License = \n", expected);
  EXPECT_THAT(text, ::testing::HasSubstr(
                        "  License = 'LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL' +\n"
                        "    'LLLL"));
  EXPECT_THAT(text, ::testing::HasSubstr(
                        "  Link = nil\n"
                        "  Entries = <\n"
                        "    item\n"
                        "      Name = 'a'\n"
                        "    end\n"
                        "    item [3]\n"
                        "      Value = 1000\n"
                        "    end>\n"
                        "  Scale = 1.5S\n"
                        "  Price = 1.2345C\n"
                        "  Stamp = 45000.25D\n"
                        "  Title = 'Setup '#20013#25991\n"
                        "  Lines.Strings = (\n"
                        "    'a'\n"
                        "    'b'\n"
                        "    (\n"
                        "      1))\n"
                        "  object Install1: TInstall\n"
                        "    NetLocation = NetLocation1\n"
                        "    object File1: TInstallFile\n"
                        "    end\n"
                        "  end\n"
                        "  object NetLocation1: TNetInstallLocation\n"
                        "  end\n"
                        "end\n"));
}

TEST(TextForm, BinaryToTextToBinaryIsByteExact) {
  const std::string bytes = EveryTagStream();
  EXPECT_EQ(ToBinary(ToText(bytes)), bytes);
}

TEST(TextForm, TextToBinaryToTextIsIdentical) {
  const std::string text = ToText(EveryTagStream());
  EXPECT_EQ(ToText(ToBinary(text)), text);
}

TEST(TextForm, OtherWritersStreamsKeepTheirValues) {
  // Wider integer tags, an LString under 256 bytes, a prefix without flags: the text keeps the values and
  // the writer's rules choose the tags on the way back.
  const std::string bytes = FormBytes()
                                .Object("TFoo", "Foo")
                                .Prop("A").Int32(5)
                                .Prop("B").Int64(-70000)
                                .Prop("C").LString("short")
                                .Prop("D").CollectionStart().Int32(2).ItemStart().End().End()
                                .End()
                                .Byte(0xF0).Object("TBar", "Bar").End().End()
                                .Byte(0xF2).Int64(4).Object("TBaz", "Baz").End().End()
                                .End();
  const ObjectRecord original = ReadBinaryForm(bytes);
  const ObjectRecord back = ReadBinaryForm(ToBinary(ToText(bytes)));
  EXPECT_TRUE(SameForm(original, back));
  EXPECT_EQ(back.properties[0].value.type, ValueType::Int8);
  EXPECT_EQ(back.properties[1].value.type, ValueType::Int32);
  EXPECT_EQ(back.properties[2].value.type, ValueType::String);
  EXPECT_EQ(back.properties[3].value.collection[0].orderType, ValueType::Int8);
  EXPECT_EQ(back.children[1].positionType, ValueType::Int8);
}

TEST(TextForm, PrefixFlagsAndPositions) {
  const char* text =
      "inherited Form1: TForm1 [2]\n"
      "  object A: TPanel\n"
      "  end\n"
      "  inline B: TFrame1 [-300]\n"
      "  end\n"
      "  inherited inline C: TFrame1\n"
      "  end\n"
      "  inherited D: TPanel\n"
      "  end\n"
      "end\n";
  const ObjectRecord root = ReadTextForm(text);
  EXPECT_EQ(root.flags, 3);
  EXPECT_EQ(root.position, 2);
  EXPECT_EQ(root.children[0].flags, 0);
  EXPECT_FALSE(root.children[0].hasPrefix);
  EXPECT_EQ(root.children[1].flags, 6);
  EXPECT_EQ(root.children[1].position, -300);
  EXPECT_EQ(root.children[2].flags, 5);
  EXPECT_EQ(root.children[3].flags, 1);
  EXPECT_EQ(WriteTextForm(root), text);
  const std::string bytes = WriteBinaryForm(root);
  EXPECT_EQ(bytes.substr(0, 7), std::string("TPF0\xF3\x02\x02", 7));
  EXPECT_EQ(ToText(bytes), text);
}

TEST(TextForm, EightBitStrings) {
  EXPECT_EQ(ValueText(StringValue("")), "''");
  EXPECT_EQ(ValueText(StringValue("it's")), "'it''s'");
  EXPECT_EQ(ValueText(StringValue("\r\n")), "#13#10");
  EXPECT_EQ(ValueText(StringValue("a\x80z")), "'a'#128'z'");
  // Bytes of another code page (here GBK) stay bytes.
  EXPECT_EQ(ValueText(StringValue("\xD6\xD0\xCE\xC4")), "#214#208#206#196");
  for (const std::string& s : {std::string("a\x80z"), std::string("\xD6\xD0\xCE\xC4"), std::string("\0\xFF", 2)}) {
    const Value back = ReadTextForm(OneValue(StringValue(s))).properties[0].value;
    EXPECT_EQ(back.type, ValueType::String);
    EXPECT_EQ(back.bytes, s);
  }
}

TEST(TextForm, WideStrings) {
  EXPECT_EQ(ValueText(WideStringValue(u"\u4E2D")), "#20013");
  // A WString whose every unit would fit a byte needs the W mark to stay a WString.
  EXPECT_EQ(ValueText(WideStringValue(u"")), "W''");
  EXPECT_EQ(ValueText(WideStringValue(u"abc")), "W'abc'");
  EXPECT_EQ(ValueText(WideStringValue(u"\u0080")), "W#128");
  EXPECT_EQ(ValueText(WideStringValue(u"caf\u00E9")), "W'caf'#233");
  const std::u16string samples[] = {u"", u"abc", u"\u0080", u"caf\u00E9", u"\u4E2D\u6587", u"\xD800 lone", u"\U0001F600"};
  for (const auto& s : samples) {
    const Value back = ReadTextForm(OneValue(WideStringValue(s))).properties[0].value;
    EXPECT_EQ(back.type, ValueType::WString);
    EXPECT_TRUE(back.wide == s);
  }
}

TEST(TextForm, HandWrittenStringsFollowTheWritersRules) {
  auto read = [](const std::string& literal) {
    return ReadTextForm("object Foo: TFoo\n  P = " + literal + "\nend\n").properties.at(0).value;
  };
  // UTF-8 in quotes: Windows-1252 when every character fits, else a WString.
  Value v = read("'Caf\xC3\xA9 \xE2\x82\xAC'");
  EXPECT_EQ(v.type, ValueType::String);
  EXPECT_EQ(v.bytes, "Caf\xE9 \x80");
  v = read("'\xE4\xB8\xAD'");
  EXPECT_EQ(v.type, ValueType::WString);
  EXPECT_TRUE(v.wide == u"\u4E2D");
  v = read("'a' + 'b'#$41 +\n    'c'");
  EXPECT_EQ(v.bytes, "abAc");
  v = read("'" + std::string(300, 'x') + "'");
  EXPECT_EQ(v.type, ValueType::LString);
  v = read("'x'#300");
  EXPECT_EQ(v.type, ValueType::WString);
  EXPECT_TRUE(v.wide == u"x\u012C");
  // A later part decides for the whole string: earlier ones are then read as UTF-16, not as bytes.
  v = read("'\xE2\x82\xAC'#128 + 'x'");
  EXPECT_EQ(v.bytes, "\x80\x80x");
  v = read("'\xE2\x82\xAC'#128 + // it's a comment\n  'x' + #300");
  EXPECT_EQ(v.type, ValueType::WString);
  EXPECT_TRUE(v.wide == u"\u20AC\u0080x\u012C");
  // Each item of a list is a string of its own.
  const std::vector<Value> items = AsList(read("('a' + 'b' 'c' W'd' + #$41 #300)"));
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].bytes, "ab");
  EXPECT_EQ(items[1].bytes, "c");
  EXPECT_TRUE(items[2].wide == u"dA");
  EXPECT_TRUE(items[3].wide == u"\u012C");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 'a' + 'b' + 1\nend"), "Expected a string after '+' at line 2, column 19");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 'ok' + 'ok'#13'\xFF'\nend"), "Invalid UTF-8 in a string at line 2, column 21");
}

TEST(TextForm, LongStringsReadBackExactly) {
  // The writer cuts long strings into parts joined by '+'; a unit beyond a byte in the last part makes
  // the whole string UTF-16, so every part before it must be read again as such.
  std::mt19937 random(7);
  std::string bytes;
  std::u16string wide;
  for (int i = 0; i < 200000; ++i) {
    const auto b = static_cast<char>(random() % 256);
    bytes += b;
    wide += static_cast<char16_t>(static_cast<unsigned char>(b));
  }
  wide += u'\u4E2D';
  const Value narrow = ReadTextForm(OneValue(StringValue(bytes))).properties.at(0).value;
  EXPECT_EQ(narrow.type, ValueType::LString);
  EXPECT_TRUE(narrow.bytes == bytes);
  const Value back = ReadTextForm(OneValue(WideStringValue(wide))).properties.at(0).value;
  EXPECT_EQ(back.type, ValueType::WString);
  EXPECT_TRUE(back.wide == wide);
}

TEST(TextForm, NamesThatAreNotPlainIdentifiers) {
  ObjectRecord root;
  root.className = "object";
  root.name = "my form";
  root.properties = {
      {"end", IdentValue("True")},
      {"Font.end.x", IdentValue("nil")},
      {"odd name", IdentValue("")},
      {"S", SetValue({"item", "x y"})},
  };
  ObjectRecord unnamed;
  unnamed.className = "TPanel";
  root.children = {unnamed};
  const std::string text = WriteTextForm(root);
  EXPECT_EQ(text,
            "object &'my form': &object\n"
            "  &end = &True\n"
            "  Font.&end.x = &nil\n"
            "  &'odd name' = &''\n"
            "  S = [&item, &'x y']\n"
            "  object TPanel\n"
            "  end\n"
            "end\n");
  const ObjectRecord back = ReadTextForm(text);
  EXPECT_TRUE(SameForm(root, back));
  EXPECT_EQ(back.properties[0].value.type, ValueType::Ident);
}

TEST(TextForm, KeywordsAreCaseInsensitive) {
  const ObjectRecord root = ReadTextForm("OBJECT Foo: TFoo\n  A = TRUE\n  B = false\n  C = NIL\nEnd");
  EXPECT_EQ(root.properties[0].value.type, ValueType::True);
  EXPECT_EQ(root.properties[1].value.type, ValueType::False);
  EXPECT_EQ(root.properties[2].value.type, ValueType::Nil);
}

TEST(TextForm, CommentsAndBlankLinesAreIgnored) {
  const ObjectRecord root = ReadTextForm(
      "\xEF\xBB\xBF// the main form\n"
      "object Foo: TFoo  // trailing\n"
      "\n"
      "  Caption = '// not a comment'\n"
      "end\n");
  EXPECT_EQ(root.properties.at(0).value.bytes, "// not a comment");
}

TEST(TextForm, BinaryDataIsWrappedHex) {
  std::string data;
  for (int i = 0; i < 40; ++i) data += static_cast<char>(i * 7);
  const std::string text = OneValue(BinaryValue(data));
  EXPECT_EQ(text,
            "object Foo: TFoo\n"
            "  P = {\n"
            "    00070E151C232A31383F464D545B626970777E858C939AA1A8AFB6BDC4CBD2D9\n"
            "    E0E7EEF5FC030A11}\n"
            "end\n");
  EXPECT_EQ(ReadTextForm(text).properties[0].value.bytes, data);
  EXPECT_EQ(ValueText(BinaryValue("")), "{}");
}

TEST(TextForm, EmptyContainers) {
  EXPECT_EQ(ValueText(ListValue({})), "()");
  EXPECT_EQ(ValueText(SetValue({})), "[]");
  EXPECT_EQ(ValueText(CollectionValue({})), "<>");
  CollectionItem empty;
  EXPECT_EQ(ValueText(CollectionValue({empty})), "<\n    item\n    end>");
}

// Floats: every bit pattern below must come back exactly through the text.
std::string FloatStream(const std::vector<std::uint32_t>& singles, const std::vector<std::uint64_t>& dates,
                        const std::vector<std::pair<std::uint16_t, std::uint64_t>>& extendeds) {
  FormBytes b;
  b.Object("TFoo", "Foo");
  for (auto s : singles) b.Prop("S").Single(s);
  for (auto d : dates) b.Prop("D").Date(d);
  for (auto [e, m] : extendeds) b.Prop("X").Extended(e, m);
  return b.End().End();
}

TEST(TextForm, FloatSpecialValuesAreExact) {
  const std::vector<std::uint32_t> singles = {
      0x00000000, 0x80000000, 0x00000001, 0x807FFFFF, 0x00800000, 0x7F7FFFFF, 0x7F800000, 0xFF800000,
      0x7FC00000, 0x7F800001, 0xFFBFFFFF, 0x3DCCCCCD, 0x3F800000, 0x4B7FFFFF};
  const std::vector<std::uint64_t> dates = {
      0, 0x8000000000000000ull, 1, 0x000FFFFFFFFFFFFFull, 0x7FEFFFFFFFFFFFFFull, 0x7FF0000000000000ull,
      0xFFF0000000000000ull, 0x7FF8000000000000ull, 0x7FF0000000000001ull, 0x3FB999999999999Aull,
      0x40E5F90800000000ull};
  const std::vector<std::pair<std::uint16_t, std::uint64_t>> extendeds = {
      {0, 0}, {0x8000, 0}, {0, 1}, {0, 0x7FFFFFFFFFFFFFFFull}, {0x0001, 0x8000000000000000ull},
      {0x7FFE, 0xFFFFFFFFFFFFFFFFull}, {0x7FFF, 0x8000000000000000ull}, {0xFFFF, 0x8000000000000000ull},
      {0x7FFF, 0xC000000000000000ull}, {0x7FFF, 0x8000000000000001ull}, {0xFFFF, 0x4000000000000000ull},
      {0x7FFF, 0}, {0x0000, 0x8000000000000000ull}, {0x3FFF, 0x0000000000000001ull},
      {0x3FFB, 0xCCCCCCCCCCCCCCCDull}, {0x3FFF, 0x8000000000000000ull}, {0x403E, 0xFFFFFFFFFFFFFFFFull}};
  const std::string bytes = FloatStream(singles, dates, extendeds);
  const std::string text = ToText(bytes);
  EXPECT_EQ(ToBinary(text), bytes);
  EXPECT_EQ(ToText(ToBinary(text)), text);
}

TEST(TextForm, FloatNotation) {
  EXPECT_EQ(ValueText(ExtendedValue(0.1L)), "0.1");
  EXPECT_EQ(ValueText(ExtendedValue(2)), "2.0");
  EXPECT_EQ(ValueText(ExtendedValue(-0.0L)), "-0.0");
  EXPECT_EQ(ValueText(ExtendedValue(1e300L)), "1.0E300");
  EXPECT_EQ(ValueText(ExtendedValue(1.25e-7L)), "1.25E-7");
  EXPECT_EQ(ValueText(SingleValue(0.1f)), "0.1S");
  EXPECT_EQ(ValueText(DateValue(0.1)), "0.1D");
  EXPECT_EQ(ValueText(CurrencyValue(0)), "0C");
  EXPECT_EQ(ValueText(CurrencyValue(-1)), "-0.0001C");
  EXPECT_EQ(ValueText(CurrencyValue(INT64_MIN)), "-922337203685477.5808C");
  EXPECT_EQ(ValueText(CurrencyValue(INT64_MAX)), "922337203685477.5807C");
  EXPECT_EQ(ValueText(SingleBitsValue(0x7F800001)), "$7F800001");
  EXPECT_EQ(ValueText(ExtendedBitsValue({0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F})), "$7FFFC000000000000000");
}

TEST(TextForm, RandomFloatBitsAreExact) {
  std::mt19937_64 random(20240611);
  std::vector<std::uint32_t> singles;
  std::vector<std::uint64_t> dates;
  std::vector<std::pair<std::uint16_t, std::uint64_t>> extendeds;
  for (int i = 0; i < 2000; ++i) {
    const std::uint64_t r = random();
    singles.push_back(static_cast<std::uint32_t>(r));
    dates.push_back(random());
    // Mostly canonical numbers (integer bit set), some arbitrary patterns.
    const std::uint64_t m = random();
    extendeds.emplace_back(static_cast<std::uint16_t>(r >> 32), i % 4 ? m | 0x8000000000000000ull : m);
  }
  const std::string bytes = FloatStream(singles, dates, extendeds);
  const std::string text = ToText(bytes);
  EXPECT_EQ(ToBinary(text), bytes);
  EXPECT_EQ(ToText(ToBinary(text)), text);
}

TEST(TextForm, ErrorsNameLineAndColumn) {
  EXPECT_EQ(TextError(""), "Expected 'object', 'inherited' or 'inline' at line 1, column 1");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P 1\nend"), "Expected '=' after the property name at line 2, column 5");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 'abc\nend"), "Unterminated string at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = \xC3\xA9\nend"), "Unexpected character (code 195) at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 1\n"), "Missing 'end' of the object that starts at line 1 at line 3, column 1");
  EXPECT_EQ(TextError("object Foo: TFoo\nend\nend"), "Unexpected text after the root object's end at line 3, column 1");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = {0A1}\nend"), "Binary data has an odd number of hex digits at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = {0G}\nend"), "Invalid character in binary data at line 2, column 9");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 99999999999999999999\nend"), "Integer out of range at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 1.5Q\nend"), "Invalid character in a number at line 2, column 10");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 1.23456C\nend"),
            "A Currency has at most four decimals and no exponent at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = 1E39S\nend"), "Number out of range for a Single at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = $123\nend"),
            "A hex float has 8 (Single), 16 (Date) or 20 (Extended) digits at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = (1 Null)\nend"), "A list cannot hold Null at line 2, column 10");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = #70000\nend"), "Invalid character code (#0 to #65535) at line 2, column 7");
  EXPECT_EQ(TextError("object Foo: TFoo\n  object Bar: TBar\n  end\n  P = 1\nend"),
            "Properties must come before the child objects at line 4, column 3");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = <item X = 1>\nend"), "Expected a property name at line 2, column 18");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = [a b]\nend"), "Expected ',' or ']' in the set at line 2, column 10");
  EXPECT_EQ(TextError("object Foo: TFoo\n  P = end\nend"), "Expected a value, found 'end' at line 2, column 7");
}

TEST(TextForm, NestingIsCapped) {
  auto nested = [](int lists) {
    return "object Foo: TFoo\n  P = " + std::string(lists, '(') + std::string(lists, ')') + "\nend\n";
  };
  EXPECT_NO_THROW(ReadTextForm(nested(kMaxFormDepth - 1)));
  EXPECT_THAT(TextError(nested(kMaxFormDepth)), ::testing::HasSubstr("Nesting deeper than 200 at line 2"));
  EXPECT_THAT(TextError(nested(100000)), ::testing::HasSubstr("Nesting deeper than 200 at line 2"));
  std::string objects;
  for (int i = 0; i < 1000; ++i) objects += "object A: TA\n";
  EXPECT_THAT(TextError(objects), ::testing::HasSubstr("Nesting deeper than 200 at line 201, column 1"));
}

}  // namespace
}  // namespace tav::config

namespace tav::config {
namespace {

// Random trees built with the writer's constructors: every stream they make must come back byte for byte
// through the text form.
class RandomForms {
public:
  explicit RandomForms(std::uint64_t seed) : random_(seed) {}

  ObjectRecord Object(int depth) {
    ObjectRecord obj;
    obj.flags = static_cast<std::uint8_t>(Pick({0, 0, 0, 1, 4, 5}));
    if (Chance(5)) {
      obj.position = Integer();
      obj.positionType = SmallestIntegerType(*obj.position);
    }
    obj.hasPrefix = obj.flags != 0 || obj.position;
    obj.className = Chance(20) ? Bytes(Pick({0, 1, 240, 255})) : "T" + Word();
    obj.name = Chance(5) ? Bytes(Below(6)) : Word();
    for (int i = Below(6); i > 0; --i) obj.properties.push_back({PropertyName(), Any(depth)});
    if (depth < 4) {
      for (int i = Below(3); i > 0; --i) obj.children.push_back(Object(depth + 1));
    }
    return obj;
  }

private:
  bool Chance(int oneIn) { return random_() % oneIn == 0; }
  int Below(int n) { return static_cast<int>(random_() % n); }
  int Pick(std::initializer_list<int> v) { return v.begin()[Below(static_cast<int>(v.size()))]; }

  std::int64_t Integer() {
    const int bits = Pick({7, 15, 31, 63});
    const auto r = static_cast<std::int64_t>(random_() >> (63 - bits));
    return Chance(2) ? r : -r - 1;
  }
  std::string Bytes(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(random_());
    return s;
  }
  std::string Word() {
    static constexpr std::string_view kWords[] = {"Caption", "Left", "Font", "Height", "Strings", "end",
                                                  "Item",    "nil",  "x",    "_a1",    "True"};
    return std::string(kWords[Below(std::size(kWords))]);
  }
  std::string PropertyName() {
    if (Chance(10)) return Bytes(1 + Below(8));
    std::string name = Word();
    while (Chance(3)) name += "." + Word();
    return name;
  }
  std::string Utf8Text(int n) {
    static constexpr std::string_view kChars[] = {"a", "'", " ", "#", "\xC3\xA9", "\xE2\x82\xAC", "\xC2\x80",
                                                  "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\n", "\t"};
    std::string s;
    for (int i = 0; i < n; ++i) s += kChars[Below(std::size(kChars))];
    return s;
  }
  Value Any(int depth) {
    const int kind = depth > 6 ? Below(13) : Below(16);
    switch (kind) {
      case 0: return IntegerValue(Integer());
      case 1: return StringValue(Bytes(Pick({0, 3, 255, 256, 700})));
      case 2: return TextValue(Utf8Text(Below(80)));
      case 3: {
        std::u16string w;
        for (int i = Below(70); i > 0; --i) w += static_cast<char16_t>(Chance(2) ? random_() % 0x100 : random_());
        return WideStringValue(w);
      }
      case 4: {
        std::array<std::uint8_t, 10> b{};
        for (auto& x : b) x = static_cast<std::uint8_t>(random_());
        if (Chance(2)) b[7] |= 0x80;
        return ExtendedBitsValue(b);
      }
      case 5: return SingleBitsValue(static_cast<std::uint32_t>(random_()));
      case 6: {
        const std::uint64_t bits = random_();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return DateValue(Chance(2) ? d : static_cast<double>(Below(100000)) / 4);
      }
      case 7: return CurrencyValue(Integer());
      case 8: return IdentValue(Chance(4) ? Bytes(Below(10)) : Word());
      case 9: return BooleanValue(Chance(2));
      case 10: {
        std::vector<std::string> members;
        for (int i = Below(4); i > 0; --i) members.push_back(Chance(4) ? Bytes(1 + Below(5)) : Word());
        return SetValue(members);
      }
      case 11: return BinaryValue(Bytes(Pick({0, 1, 32, 33, 100})));
      case 12: return Chance(2) ? NilValue() : NullValue();
      case 13:
      case 14: {
        std::vector<Value> items;
        for (int i = Below(5); i > 0; --i) {
          Value v = Any(depth + 1);
          if (v.type != ValueType::Null) items.push_back(std::move(v));
        }
        return ListValue(std::move(items));
      }
      default: {
        std::vector<CollectionItem> items;
        for (int i = Below(4); i > 0; --i) {
          CollectionItem item;
          if (Chance(2)) {
            item.order = Integer();
            item.orderType = SmallestIntegerType(*item.order);
          }
          for (int j = Below(3); j > 0; --j) item.properties.push_back({PropertyName(), Any(depth + 1)});
          items.push_back(std::move(item));
        }
        return CollectionValue(std::move(items));
      }
    }
  }

  std::mt19937_64 random_;
};

TEST(TextForm, RandomWriterRuleStreamsAreByteExact) {
  RandomForms forms(7);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    const std::string bytes = WriteBinaryForm(forms.Object(0));
    const std::string text = ToText(bytes);
    ASSERT_EQ(ToBinary(text), bytes) << text;
    ASSERT_EQ(ToText(ToBinary(text)), text);
  }
}

TEST(TextForm, TruncationAtEveryCharacterFailsWithAPlace) {
  const std::string text = ToText(EveryTagStream());
  for (std::size_t n = 0; n + 1 < text.size(); ++n) {
    SCOPED_TRACE(n);
    const std::string message = TextError(text.substr(0, n));
    int line = 0, column = 0;
    const auto at = message.rfind(" at line ");
    ASSERT_NE(at, std::string::npos) << message;
    ASSERT_EQ(std::sscanf(message.c_str() + at, " at line %d, column %d", &line, &column), 2) << message;
    EXPECT_GE(line, 1);
    EXPECT_GE(column, 1);
  }
}

TEST(TextForm, UnnamedAndEmptyClassNames) {
  ObjectRecord root;  // the root may have an empty class name without a prefix byte
  ObjectRecord child;  // a child may not: the writer adds one
  root.children = {child};
  const std::string bytes = WriteBinaryForm(root);
  EXPECT_EQ(bytes, std::string("TPF0\x00\x00\x00\xF0\x00\x00\x00\x00\x00", 13));
  const std::string text = ToText(bytes);
  EXPECT_EQ(text, "object &''\n  object &''\n  end\nend\n");
  EXPECT_EQ(ToBinary(text), bytes);
}

}  // namespace
}  // namespace tav::config
