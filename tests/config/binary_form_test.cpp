#include "config/binary_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/form_values.h"
#include "core/exceptions_Tavenrik.h"
#include "form_bytes.h"

namespace tav::config {
namespace {

using testing::EveryTagStream;
using testing::FormBytes;
using ::testing::HasSubstr;

std::string ReadError(const std::string& bytes) {
  try {
    ReadBinaryForm(bytes);
  } catch (const EReadError& e) {
    return e.Message();
  }
  return "(no error)";
}

const Property& Prop(const ObjectRecord& obj, const std::string& name) {
  for (const auto& p : obj.properties) {
    if (p.name == name) return p;
  }
  throw std::runtime_error("no property " + name);
}

TEST(BinaryForm, ReadsEveryValueTag) {
  const ObjectRecord root = ReadBinaryForm(EveryTagStream());
  EXPECT_EQ(root.className, "TForm1");
  EXPECT_EQ(root.name, "Form1");
  EXPECT_FALSE(root.hasPrefix);
  EXPECT_EQ(Prop(root, "Tag").value.type, ValueType::Null);
  EXPECT_EQ(Prop(root, "Left").value.type, ValueType::Int8);
  EXPECT_EQ(AsInteger(Prop(root, "Left").value), -8);
  EXPECT_EQ(AsInteger(Prop(root, "Top").value), 300);
  EXPECT_EQ(AsInteger(Prop(root, "Width").value), 100000);
  EXPECT_EQ(AsInteger(Prop(root, "Big").value), std::int64_t{1} << 40);
  EXPECT_EQ(AsFloat(Prop(root, "Ratio").value), 1.5L);
  EXPECT_EQ(AsText(Prop(root, "Caption").value), "It's \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(AsIdent(Prop(root, "Color").value), "clBtnFace");
  EXPECT_FALSE(AsBoolean(Prop(root, "Visible").value));
  EXPECT_TRUE(AsBoolean(Prop(root, "Enabled").value));
  EXPECT_EQ(AsBinary(Prop(root, "Picture.Data").value), std::string("\x07TBitmap\x00\x01\xFF", 11));
  EXPECT_EQ(AsSet(Prop(root, "Font.Style").value), (std::vector<std::string>{"fsBold", "fsItalic"}));
  EXPECT_EQ(Prop(root, "License").value.type, ValueType::LString);
  EXPECT_EQ(AsText(Prop(root, "License").value), std::string(300, 'L'));
  EXPECT_EQ(Prop(root, "Link").value.type, ValueType::Nil);
  const auto& entries = AsCollection(Prop(root, "Entries").value);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FALSE(entries[0].order);
  EXPECT_EQ(entries[1].order, 3);
  EXPECT_EQ(AsInteger(entries[1].properties.at(0).value), 1000);
  EXPECT_EQ(AsFloat(Prop(root, "Scale").value), 1.5L);
  EXPECT_EQ(AsFloat(Prop(root, "Price").value), 1.2345L);
  EXPECT_EQ(AsFloat(Prop(root, "Stamp").value), 45000.25L);
  EXPECT_EQ(AsText(Prop(root, "Title").value), "Setup \xE4\xB8\xAD\xE6\x96\x87");
  const auto& lines = AsList(Prop(root, "Lines.Strings").value);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(AsText(lines[1]), "b");
  EXPECT_EQ(AsInteger(AsList(lines[2]).at(0)), 1);
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "Install1");
  EXPECT_EQ(AsIdent(root.children[0].properties.at(0).value), "NetLocation1");
  ASSERT_EQ(root.children[0].children.size(), 1u);
  EXPECT_EQ(root.children[0].children[0].className, "TInstallFile");
  EXPECT_EQ(root.children[1].name, "NetLocation1");
}

TEST(BinaryForm, RewritesEveryValueTagByteForByte) {
  const std::string bytes = EveryTagStream();
  EXPECT_EQ(WriteBinaryForm(ReadBinaryForm(bytes)), bytes);
}

TEST(BinaryForm, KeepsNonMinimalTagsAsRead) {
  // Another writer may use a wider tag or an LString for a short string; the tree keeps what was read.
  const std::string bytes = FormBytes()
                                .Object("TFoo", "Foo")
                                .Prop("A").Int32(5)
                                .Prop("B").Int64(-1)
                                .Prop("C").LString("short")
                                .Prop("D").Currency(-1)
                                .End()
                                .End();
  const ObjectRecord root = ReadBinaryForm(bytes);
  EXPECT_EQ(root.properties[0].value.type, ValueType::Int32);
  EXPECT_EQ(AsInteger(root.properties[0].value), 5);
  EXPECT_EQ(AsInteger(root.properties[1].value), -1);
  EXPECT_EQ(root.properties[2].value.type, ValueType::LString);
  EXPECT_EQ(WriteBinaryForm(root), bytes);
}

TEST(BinaryForm, PrefixByteWithEachFlag) {
  struct Case {
    std::string prefix;  // the prefix byte and the position value, if any
    std::uint8_t flags;
    std::optional<std::int64_t> position;
  };
  const Case cases[] = {
      {"\xF1", 1, {}},
      {std::string("\xF2\x02\x07", 3), 2, 7},
      {std::string("\xF2\x03\x00\x01", 4), 2, 256},
      {std::string("\xF2\x04\xFF\xFF\xFF\xFF", 6), 2, -1},  // wider than needed: kept
      {"\xF4", 4, {}},
      {std::string("\xF7\x02\x00", 3), 7, 0},
      {"\xF0", 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    // The prefixed object is a child, so the child list must tell it from its end.
    const std::string bytes =
        FormBytes().Object("TForm1", "Form1").End().Raw(c.prefix).Object("TPanel", "Panel1").End().End().End();
    const ObjectRecord root = ReadBinaryForm(bytes);
    ASSERT_EQ(root.children.size(), 1u);
    const ObjectRecord& child = root.children[0];
    EXPECT_TRUE(child.hasPrefix);
    EXPECT_EQ(child.flags, c.flags);
    EXPECT_EQ(child.position, c.position);
    EXPECT_EQ(child.className, "TPanel");
    EXPECT_EQ(WriteBinaryForm(root), bytes);
  }
}

TEST(BinaryForm, PrefixOnTheRoot) {
  const std::string bytes = FormBytes().Byte(0xF1).Object("TForm1", "Form1").End().End();
  const ObjectRecord root = ReadBinaryForm(bytes);
  EXPECT_EQ(root.flags, 1);
  EXPECT_EQ(WriteBinaryForm(root), bytes);
}

TEST(BinaryForm, WriterAddsPrefixWhereAClassNameWouldBeMisread) {
  ObjectRecord root;
  root.className = "TForm1";
  ObjectRecord unnamed;  // empty class name: its length byte 0 would end the child list
  ObjectRecord longName;
  longName.className = std::string(0xF5, 'T');  // its length byte would read as a prefix
  root.children = {unnamed, longName};
  const std::string bytes = WriteBinaryForm(root);
  const ObjectRecord back = ReadBinaryForm(bytes);
  ASSERT_EQ(back.children.size(), 2u);
  EXPECT_EQ(back.children[0].className, "");
  EXPECT_EQ(back.children[1].className, longName.className);
  EXPECT_EQ(WriteBinaryForm(back), bytes);
}

TEST(BinaryForm, WriterDerivesThePositionFlag) {
  ObjectRecord root;
  root.className = "TForm1";
  root.position = 300;
  root.positionType = ValueType::Int8;  // too narrow: the writer widens it
  const ObjectRecord back = ReadBinaryForm(WriteBinaryForm(root));
  EXPECT_EQ(back.flags, 2);
  EXPECT_EQ(back.position, 300);
  EXPECT_EQ(back.positionType, ValueType::Int16);
}

TEST(BinaryForm, WriterRejectsWhatTheFormatCannotHold) {
  ObjectRecord root;
  root.className = "TForm1";
  root.properties = {{"", IntegerValue(1)}};
  EXPECT_THROW(WriteBinaryForm(root), EWriteError);
  root.properties = {{std::string(256, 'P'), IntegerValue(1)}};
  EXPECT_THROW(WriteBinaryForm(root), EWriteError);
  root.properties = {{"Items", ListValue({NullValue()})}};
  EXPECT_THROW(WriteBinaryForm(root), EWriteError);
  root.properties = {{"Style", SetValue({""})}};
  EXPECT_THROW(WriteBinaryForm(root), EWriteError);
  root.properties = {{"Color", IdentValue(std::string(256, 'c'))}};
  EXPECT_THROW(WriteBinaryForm(root), EWriteError);
}

TEST(BinaryForm, BadSignature) {
  EXPECT_EQ(ReadError(""), "Invalid stream format");
  EXPECT_EQ(ReadError("TPF"), "Invalid stream format");
  EXPECT_EQ(ReadError("TPF1\x06TForm1"), "Invalid stream format");
  EXPECT_EQ(ReadError("object Form1: TForm1\nend\n"), "Invalid stream format");
}

TEST(BinaryForm, TruncationAtEveryByteFailsWithAnOffset) {
  const std::string bytes = EveryTagStream();
  for (std::size_t n = 4; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    const std::string message = ReadError(bytes.substr(0, n));
    // The reader stops at the cut (a length that runs past it is reported where the length is).
    const auto at = message.rfind(" at byte ");
    ASSERT_NE(at, std::string::npos) << message;
    EXPECT_LE(std::stoul(message.substr(at + 9)), n) << message;
  }
}

TEST(BinaryForm, ErrorsNameWhatAndWhere) {
  const std::string head = FormBytes().Object("TFoo", "Foo").Prop("P");  // value tag at byte 15
  ASSERT_EQ(head.size(), 15u);
  EXPECT_EQ(ReadError(FormBytes(head).Byte(23).End().End()), "Unknown value type 23 at byte 15");
  EXPECT_EQ(ReadError(FormBytes(head).Byte(20).End().End()), "Unknown value type 20 at byte 15");
  EXPECT_EQ(ReadError(FormBytes(head).Int8(1)), "Unexpected end of stream at byte 17");
  EXPECT_EQ(ReadError(FormBytes(head).Byte(12).LE(1000, 4).Raw("abc")),
            "LString length 1000 exceeds the end of the stream at byte 16");
  EXPECT_EQ(ReadError(FormBytes(head).Byte(10).LE(0xFFFFFFFF, 4)),
            "Binary length 4294967295 exceeds the end of the stream at byte 16");
  EXPECT_EQ(ReadError(FormBytes(head).Byte(18).LE(3, 4).Raw("abcd")),
            "WString length 3 exceeds the end of the stream at byte 16");
  EXPECT_EQ(ReadError(FormBytes(head).Int8(1).End().End().Byte(0)), "Unexpected data after the root object at byte 19");
  EXPECT_EQ(ReadError(FormBytes().Byte(0xF8).Object("TFoo", "Foo").End().End()), "Unknown object flags 8 at byte 4");
  EXPECT_EQ(ReadError(FormBytes().Byte(0xF2).String("x").Object("TFoo", "Foo").End().End()),
            "Child position must be an integer, found String at byte 5");
  EXPECT_EQ(ReadError(FormBytes(head).CollectionStart().String("x").End().End().End()),
            "Collection item order must be an integer, found String at byte 16");
  EXPECT_EQ(ReadError(FormBytes(head).CollectionStart().Int8(1).Byte(2).End().End().End().End()),
            "Expected the start of a collection item at byte 18");
}

TEST(BinaryForm, NestingIsCapped) {
  // Lists inside lists: the cap counts them with the objects around them.
  auto nested = [](int lists) {
    FormBytes b;
    b.Object("TFoo", "Foo").Prop("P");
    for (int i = 0; i < lists; ++i) b.ListStart();
    for (int i = 0; i < lists; ++i) b.End();
    return b.End().End().str();
  };
  EXPECT_NO_THROW(ReadBinaryForm(nested(kMaxFormDepth - 1)));
  EXPECT_THAT(ReadError(nested(kMaxFormDepth)), HasSubstr("Nesting deeper than 200 at byte"));
  EXPECT_THAT(ReadError(nested(100000)), HasSubstr("Nesting deeper than 200 at byte"));

  FormBytes objects;
  for (int i = 0; i < 1000; ++i) objects.Object("TPanel", "P").End();
  EXPECT_THAT(ReadError(objects), HasSubstr("Nesting deeper than 200 at byte"));

  FormBytes collections;
  collections.Object("TFoo", "Foo");
  for (int i = 0; i < 1000; ++i) collections.Prop("Items").CollectionStart().ItemStart();
  EXPECT_THAT(ReadError(collections), HasSubstr("Nesting deeper than 200 at byte"));
}

TEST(BinaryForm, FloatsKeepEveryBit) {
  const std::uint32_t singles[] = {0x7F800001, 0xFFC00000, 0x7FBFFFFF, 0x00000001, 0x80000000, 0x7F800000};
  const std::uint64_t dates[] = {0x7FF0000000000001ull, 0xFFF8000000000000ull, 0x0000000000000001ull,
                                 0x8000000000000000ull};
  FormBytes b;
  b.Object("TFoo", "Foo");
  for (auto s : singles) b.Prop("S").Single(s);
  for (auto d : dates) b.Prop("D").Date(d);
  b.Prop("X").Extended(0x7FFF, 0x8000000000000001ull);  // signalling NaN
  b.Prop("X").Extended(0x0000, 0x8000000000000000ull);  // pseudo-denormal
  b.Prop("X").Extended(0x4000, 0x0000000000000001ull);  // unnormal
  b.Prop("X").Extended(0x8000, 0);                      // negative zero
  b.End().End();
  EXPECT_EQ(WriteBinaryForm(ReadBinaryForm(b.str())), b.str());
}

}  // namespace
}  // namespace tav::config
