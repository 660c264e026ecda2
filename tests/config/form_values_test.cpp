#include "config/form_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/exceptions_Tavenrik.h"

namespace tav::config {
namespace {

std::string ErrorOf(void (*f)()) {
  try {
    f();
  } catch (const EReadError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(FormValues, IntegersTakeTheSmallestTag) {
  const std::pair<std::int64_t, ValueType> cases[] = {
      {0, ValueType::Int8},           {127, ValueType::Int8},          {-128, ValueType::Int8},
      {128, ValueType::Int16},        {-129, ValueType::Int16},        {32767, ValueType::Int16},
      {-32768, ValueType::Int16},     {32768, ValueType::Int32},       {-32769, ValueType::Int32},
      {INT32_MAX, ValueType::Int32},  {INT32_MIN, ValueType::Int32},   {std::int64_t{INT32_MAX} + 1, ValueType::Int64},
      {std::int64_t{INT32_MIN} - 1, ValueType::Int64}, {INT64_MIN, ValueType::Int64}, {INT64_MAX, ValueType::Int64}};
  for (const auto& [n, type] : cases) {
    SCOPED_TRACE(n);
    const Value v = IntegerValue(n);
    EXPECT_EQ(v.type, type);
    EXPECT_EQ(AsInteger(v), n);
  }
}

TEST(FormValues, StringsAndText) {
  EXPECT_EQ(StringValue(std::string(255, 'a')).type, ValueType::String);
  EXPECT_EQ(StringValue(std::string(256, 'a')).type, ValueType::LString);
  // Windows-1252 when it fits (the euro sign is byte 0x80 there) ...
  Value v = TextValue("Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(v.type, ValueType::String);
  EXPECT_EQ(v.bytes, "Caf\xE9 \x80");
  EXPECT_EQ(AsText(v), "Caf\xC3\xA9 \xE2\x82\xAC");
  // ... else UTF-16.
  v = TextValue("\xCE\xA9mega");
  EXPECT_EQ(v.type, ValueType::WString);
  EXPECT_TRUE(v.wide == u"\u03A9mega");
  EXPECT_EQ(AsText(v), "\xCE\xA9mega");
  EXPECT_EQ(TextValue(std::string(300, 'x')).type, ValueType::LString);
  EXPECT_EQ(AsText(IdentValue("clRed")), "clRed");
}

TEST(FormValues, AccessorsAcceptEveryEncodingAReaderMust) {
  for (ValueType t : {ValueType::Int8, ValueType::Int16, ValueType::Int32, ValueType::Int64}) {
    Value v;
    v.type = t;
    v.integer = 5;
    EXPECT_EQ(AsInteger(v), 5);
    EXPECT_EQ(AsFloat(v), 5.0L);
  }
  EXPECT_EQ(AsFloat(CurrencyValue(-15000)), -1.5L);
  EXPECT_EQ(AsFloat(DateValue(45000.5)), 45000.5L);
  EXPECT_EQ(AsFloat(SingleValue(0.1f)), static_cast<long double>(0.1f));
  EXPECT_EQ(AsFloat(ExtendedValue(0.1L)), 0.1L);
  Value l;
  l.type = ValueType::LString;
  l.bytes = "\xE9";
  EXPECT_EQ(AsText(l), "\xC3\xA9");
}

TEST(FormValues, WrongTypesSayWhatWasExpectedAndFound) {
  EXPECT_EQ(ErrorOf([] { AsInteger(StringValue("5")); }), "Expected an integer value but found String");
  EXPECT_EQ(ErrorOf([] { AsFloat(IdentValue("x")); }), "Expected a floating-point value but found Ident");
  EXPECT_EQ(ErrorOf([] { AsText(IntegerValue(70000)); }), "Expected a string value but found Int32");
  EXPECT_EQ(ErrorOf([] { AsBoolean(NilValue()); }), "Expected a Boolean value but found Nil");
  EXPECT_EQ(ErrorOf([] { AsIdent(WideStringValue(u"x")); }), "Expected an identifier value but found WString");
  EXPECT_EQ(ErrorOf([] { AsSet(ListValue({})); }), "Expected a set value but found List");
  EXPECT_EQ(ErrorOf([] { AsList(SetValue({})); }), "Expected a list value but found Set");
  EXPECT_EQ(ErrorOf([] { AsBinary(NullValue()); }), "Expected a binary value but found Null");
  EXPECT_EQ(ErrorOf([] { AsCollection(BooleanValue(true)); }), "Expected a collection value but found True");
  Value odd;
  odd.type = static_cast<ValueType>(42);
  EXPECT_EQ(ValueTypeName(odd.type), "tag 42");
}

TEST(FormValues, ExtendedIsAPlainCopyOfTheBits) {
  const std::array<std::uint8_t, 10> oneAndHalf = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F};
  EXPECT_EQ(LongDoubleToExtended(1.5L), oneAndHalf);
  EXPECT_EQ(ExtendedToLongDouble(oneAndHalf), 1.5L);
  const long double values[] = {0.0L, -0.0L, 0.1L, std::numeric_limits<long double>::denorm_min(),
                                std::numeric_limits<long double>::max(), -std::numeric_limits<long double>::infinity()};
  for (long double x : values) {
    const auto bytes = LongDoubleToExtended(x);
    EXPECT_EQ(LongDoubleToExtended(ExtendedToLongDouble(bytes)), bytes);
  }
  // A signalling NaN keeps its payload through long double.
  const std::array<std::uint8_t, 10> snan = {1, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F};
  EXPECT_EQ(LongDoubleToExtended(ExtendedToLongDouble(snan)), snan);
  EXPECT_EQ(ExtendedValue(ExtendedToLongDouble(snan)).extended, snan);
}

TEST(FormValues, SinglesKeepTheirBitsWidened) {
  const std::uint32_t patterns[] = {0x7F800001, 0xFFBFFFFF, 0x7FC00001, 0x00000001, 0x80000000, 0x7F800000, 0x3DCCCCCD};
  for (std::uint32_t bits : patterns) {
    SCOPED_TRACE(bits);
    EXPECT_EQ(NarrowToSingleBits(WidenSingleBits(bits)), bits);
  }
  EXPECT_EQ(WidenSingleBits(0x3FC00000), 1.5);
  EXPECT_TRUE(std::isnan(WidenSingleBits(0x7F800001)));
  // A double NaN whose payload sits below the Single's bits still narrows to a NaN.
  EXPECT_TRUE(std::isnan(static_cast<float>(WidenSingleBits(NarrowToSingleBits(std::nan(""))))));
  double lowPayload;
  const std::uint64_t bits = 0x7FF0000000000001ull;
  std::memcpy(&lowPayload, &bits, sizeof bits);
  EXPECT_EQ(NarrowToSingleBits(lowPayload) & 0x7F800000u, 0x7F800000u);
  EXPECT_NE(NarrowToSingleBits(lowPayload) & 0x007FFFFFu, 0u);
}

TEST(FormValues, SameValueIgnoresOnlyTheEncoding) {
  Value wide = IntegerValue(5);
  wide.type = ValueType::Int32;
  EXPECT_TRUE(SameValue(IntegerValue(5), wide));
  Value lstring = StringValue("x");
  lstring.type = ValueType::LString;
  EXPECT_TRUE(SameValue(StringValue("x"), lstring));
  EXPECT_FALSE(SameValue(StringValue("x"), WideStringValue(u"x")));
  EXPECT_FALSE(SameValue(StringValue("x"), IdentValue("x")));
  EXPECT_FALSE(SameValue(DateValue(0.0), DateValue(-0.0)));
  EXPECT_FALSE(SameValue(IntegerValue(1), CurrencyValue(1)));
  ObjectRecord a, b;
  a.className = b.className = "T";
  b.hasPrefix = true;  // a prefix without flags says nothing
  EXPECT_TRUE(SameForm(a, b));
  b.flags = 1;
  EXPECT_FALSE(SameForm(a, b));
}

}  // namespace
}  // namespace tav::config
