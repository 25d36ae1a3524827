// Property values to SQL pieces and numbers.
#include "data/field_conversion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/error_number.h"

#include "platform/error.h"
#include "platform/limits.h"

namespace tarvik::data {
namespace {

Variant S(const char* s) { return Variant::String(s); }

using testing::ErrorNumberOf;

TEST(Field2SqlText, QuotesAndNull) {
  const std::pair<const char*, const char*> cases[] = {
      {"O'Brien", "'O''Brien'"}, {"", "Null"},       {"'", "''''"},
      {"   ", "'   '"},          {"a''b", "'a''''b'"}, {"x; DROP TABLE t --", "'x; DROP TABLE t --'"},
      {"Kivi Ehitus OÜ", "'Kivi Ehitus OÜ'"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Field2SqlText(S(in)), out) << in;
  EXPECT_EQ(ErrorNumberOf([] { Field2SqlText(Variant::Null()); }), kErrInvalidUseOfNull);
}

// The limit counts the UTF-8 bytes that would be stored, quotes not included.
TEST(Field2SqlText, TextsOverTheLimitAreRefused) {
  const std::string at_limit(kMaxTextBytes, 'x');
  EXPECT_EQ(Field2SqlText(Variant::String(at_limit)).size(), kMaxTextBytes + 2);
  EXPECT_EQ(ErrorNumberOf([&] { Field2SqlText(Variant::String(at_limit + "x")); }), kErrInvalidProcedureCall);
  std::string umlauts;
  for (std::size_t i = 0; i < kMaxTextBytes / 2 + 1; ++i) umlauts += "\xC3\xBC";
  EXPECT_EQ(ErrorNumberOf([&] { Field2SqlText(Variant::String(umlauts)); }), kErrInvalidProcedureCall);
}

TEST(Field2SqlDate, DatesAreReformattedOthersAreNull) {
  const std::pair<Variant, const char*> cases[] = {
      {S("3/15/2001"), "#3/15/2001#"},
      {S("2001-03-15"), "#3/15/2001#"},
      {S("15-Mar-2001"), "#3/15/2001#"},
      {S("March 15, 2001 2:30 PM"), "#3/15/2001 2:30:00 PM#"},
      {S(""), "Null"},
      {S("abc"), "Null"},
      {S("2/30/2001"), "Null"},
      {Variant::Null(), "Null"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Field2SqlDate(in), out) << in.ToString16().size();
}

// A date value beyond the calendar (years 100 to 9999) overflows instead of
// being taken apart as one. The year is written as it is, 100 not 0100, as the
// platform's VarBstrFromDate does.
TEST(Field2SqlDate, DateValuesOutsideTheCalendarOverflow) {
  EXPECT_EQ(Field2SqlDate(Variant::Date(-657434.5)), "#1/1/100 12:00:00 PM#");
  EXPECT_EQ(Field2SqlDate(Variant::Date(2958465.5)), "#12/31/9999 12:00:00 PM#");
  for (const double bad : {-657435.0, 2958466.0, 1e300, -4e304, std::nan("")}) {
    EXPECT_EQ(ErrorNumberOf([&] { Field2SqlDate(Variant::Date(bad)); }), kErrOverflow) << bad;
  }
}

TEST(Field2Long, NumbersRoundHalfToEvenOthersAreZero) {
  const std::pair<Variant, std::int32_t> cases[] = {
      {S(""), 0},      {S("abc"), 0},      {Variant::Null(), 0}, {S(" 42 "), 42},
      {S("1,234"), 1234}, {S("2.5"), 2},   {S("3.5"), 4},        {S("-2.5"), -2},
      {S("12abc"), 0}, {Variant::Byte(1), 1}, {S("2147483647"), 2147483647},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Field2Long(in), out);
  EXPECT_EQ(ErrorNumberOf([] { Field2Long(S("2147483648")); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { Field2Long(S("1e20")); }), kErrOverflow);
}

TEST(Field2Integer, SixteenBitRange) {
  EXPECT_EQ(Field2Integer(Variant::Byte(1)), 1);
  EXPECT_EQ(Field2Integer(S("-32768")), -32768);
  EXPECT_EQ(ErrorNumberOf([] { Field2Integer(S("40000")); }), kErrOverflow);
}

TEST(Field2Double, AndSingle) {
  EXPECT_EQ(Field2Double(S("12.50")), 12.5);
  EXPECT_EQ(Field2Double(S("")), 0);
  EXPECT_EQ(Field2Single(S("abc")), 0);
  EXPECT_EQ(NumberText(Field2Single(S("1234567.89"))), "1234568");
  EXPECT_EQ(NumberText(Field2Single(S("12345678"))), "1.234568E+07");
  EXPECT_EQ(NumberText(Field2Double(S("12.50"))), "12.5");
  EXPECT_EQ(ErrorNumberOf([] { Field2Single(S("1e300")); }), kErrOverflow);
}

}  // namespace
}  // namespace tarvik::data
