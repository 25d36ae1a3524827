#include "platform/regional.h"
#include "tests/support/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace tarvik::regional {
namespace {

struct NumberCase {
  const char* text;
  std::optional<double> expected;
};

TEST(ParseNumber, AcceptsTheUnitedStatesForms) {
  const NumberCase cases[] = {
      {"42", 42},          {" 42 ", 42},          {"\t7\t", 7},
      {"-5", -5},          {"+5", 5},             {"5-", -5},
      {"(5)", -5},         {"1,234", 1234},       {"1,234,567.5", 1234567.5},
      {"12.50", 12.5},     {".5", 0.5},           {"5.", 5},
      {"1e-3", 0.001},     {"1.5E+2", 150},       {"-2.5e1", -25},
      {"&H1F", 31},        {"&hff", 255},         {"&HFFFF", -1},
      {"&H10000", 65536},  {"&HFFFFFFFF", -1},    {"&O17", 15},
      {"$1,234.50", 1234.5}, {"0", 0},            {"007", 7},
      // Plain digits up to 15 and past them: the value exactly.
      {"999999999999999", 999999999999999.0}, {"1234567890123456", 1234567890123456.0},
      {"000000000000012", 12},
      // Grouping commas are not checked for position: the platform takes
      // them anywhere after the first digit, doubled or trailing (Wine's
      // test_VarParseNumFromStrEn: "1,,000", "1,00,0,,", "1,").
      {"1,", 1},           {"1,,2", 12},          {"0,5", 5},
      {"\u00a0 7\u3000", 7}, {"- 5", -5},          {"$1 ", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<double> got = ParseNumber(c.text);
    ASSERT_TRUE(got.has_value());
    EXPECT_DOUBLE_EQ(*got, *c.expected);
  }
}

TEST(ParseNumber, RejectsTextThatIsNotNumeric) {
  const char* cases[] = {"",    "   ",  "abc", "12a",  "1..2", ",5",
                         "e5",  "1e",   "--5", "&H",   "&HZZ", "1 2", "3/15/2001",
                         "-",   "(5",   "+",   "1.2.3", "&H123456789", "5 -3", "1.5,5",
                         "1e5.", "5)",   "$,5", "1 e5"};
  for (const char* text : cases) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << "'" << text << "'";
  }
}

TEST(ParseNumber, HugeExponentIsInfiniteTinyIsZero) {
  std::optional<double> huge = ParseNumber("1e400");
  ASSERT_TRUE(huge.has_value());
  EXPECT_TRUE(std::isinf(*huge));
  std::optional<double> tiny = ParseNumber("1e-400");
  ASSERT_TRUE(tiny.has_value());
  EXPECT_EQ(*tiny, 0.0);
}

TEST(BankersRound, HalvesGoToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {
      {2.5, 2},   {3.5, 4},   {-2.5, -2}, {-3.5, -4}, {0.5, 0},   {1.5, 2},
      {2.4, 2},   {2.6, 3},   {-2.6, -3}, {7, 7},     {-0.4, 0},  {2147483647.5, 2147483648.0},
      {-2147483648.5, -2147483648.0},
  };
  for (auto [in, out] : cases) EXPECT_EQ(BankersRound(in), out) << in;
}

using testing::Ole;

TEST(OleDate, KnownSerialNumbers) {
  EXPECT_EQ(Ole(1899, 12, 30), 0.0);
  EXPECT_EQ(Ole(1899, 12, 31), 1.0);
  EXPECT_EQ(Ole(1900, 1, 1), 2.0);
  EXPECT_EQ(Ole(2000, 1, 1), 36526.0);
  EXPECT_EQ(Ole(2001, 3, 15), 36965.0);
  EXPECT_DOUBLE_EQ(Ole(2001, 3, 15, 14, 30), 36965.0 + 14.5 / 24);
  // Before the epoch the time still counts forward from the day.
  EXPECT_DOUBLE_EQ(Ole(1899, 12, 29, 6), -1.25);
}

TEST(OleDate, RejectsFieldsThatAreNoRealDate) {
  const DateTimeParts bad[] = {
      {2001, 2, 29}, {2000, 2, 30}, {2001, 13, 1}, {2001, 0, 1},   {2001, 4, 31},
      {2001, 1, 0},  {99, 1, 1},    {10000, 1, 1}, {2001, 1, 1, 24}, {2001, 1, 1, 0, 60},
  };
  for (const auto& p : bad) EXPECT_FALSE(ToOleDate(p).has_value()) << p.year << "-" << p.month << "-" << p.day;
  EXPECT_TRUE(ToOleDate({2000, 2, 29}).has_value());
}

TEST(OleDate, FromOleDateRoundsToTheSecondAndCarries) {
  DateTimeParts p = FromOleDate(36965.0 + (23 * 3600 + 59 * 60 + 59.7) / 86400.0);
  EXPECT_EQ(p.year, 2001);
  EXPECT_EQ(p.month, 3);
  EXPECT_EQ(p.day, 16);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.minute, 0);
  EXPECT_EQ(p.second, 0);
  DateTimeParts n = FromOleDate(-1.25);
  EXPECT_EQ(n.day, 29);
  EXPECT_EQ(n.hour, 6);
  for (double d : {0.0, 1.0, 36965.5, 2958465.0, -657434.0}) {
    DateTimeParts q = FromOleDate(d);
    EXPECT_DOUBLE_EQ(*ToOleDate(q), d);
  }
}

struct DateCase {
  const char* text;
  int y, m, d, hh, mm, ss;
};

TEST(ParseDate, AcceptsTheListedForms) {
  const DateCase cases[] = {
      {"3/15/2001", 2001, 3, 15, 0, 0, 0},
      {"03/15/2001", 2001, 3, 15, 0, 0, 0},
      {" 3/15/2001 ", 2001, 3, 15, 0, 0, 0},
      {"3-15-2001", 2001, 3, 15, 0, 0, 0},
      {"2001-03-15", 2001, 3, 15, 0, 0, 0},
      {"2001-3-5", 2001, 3, 5, 0, 0, 0},
      {"2001/3/15", 2001, 3, 15, 0, 0, 0},
      {"15-Mar-2001", 2001, 3, 15, 0, 0, 0},
      {"15 March 2001", 2001, 3, 15, 0, 0, 0},
      {"March 15, 2001", 2001, 3, 15, 0, 0, 0},
      {"mar 15 2001", 2001, 3, 15, 0, 0, 0},
      {"Sept 1, 2001", 2001, 9, 1, 0, 0, 0},
      {"Thursday, March 15, 2001", 2001, 3, 15, 0, 0, 0},
      {"15-Mar-01", 2001, 3, 15, 0, 0, 0},
      {"3/15/01", 2001, 3, 15, 0, 0, 0},
      {"3/15/49", 2049, 3, 15, 0, 0, 0},
      {"3/15/50", 1950, 3, 15, 0, 0, 0},
      {"3/15/99", 1999, 3, 15, 0, 0, 0},
      {"3/15/00", 2000, 3, 15, 0, 0, 0},
      {"3/15", 2026, 3, 15, 0, 0, 0},
      {"15-Mar", 2026, 3, 15, 0, 0, 0},
      {"March 2001", 2001, 3, 1, 0, 0, 0},
      {"13/1/2001", 2001, 1, 13, 0, 0, 0},
      {"2/29/2000", 2000, 2, 29, 0, 0, 0},
      {"3/15/2001 2:30 PM", 2001, 3, 15, 14, 30, 0},
      {"3/15/2001 14:30:15", 2001, 3, 15, 14, 30, 15},
      {"2001-03-15 14:30:00", 2001, 3, 15, 14, 30, 0},
      {"March 15, 2001 9:05:07 am", 2001, 3, 15, 9, 5, 7},
      {"2:30 PM", 1899, 12, 30, 14, 30, 0},
      {"2:30PM", 1899, 12, 30, 14, 30, 0},
      {"14:30", 1899, 12, 30, 14, 30, 0},
      {"2.5", 1899, 12, 30, 2, 5, 0},
      {"10.30 pm", 1899, 12, 30, 22, 30, 0},
      {"12:00 AM", 1899, 12, 30, 0, 0, 0},
      {"12:30 PM", 1899, 12, 30, 12, 30, 0},
      {"3 PM", 1899, 12, 30, 15, 0, 0},
      {"2:30 PM 3/15/2001", 2001, 3, 15, 14, 30, 0},
      // The platform ignores AM/PM after an hour above 12 (Wine's
      // test_VarDateFromStr: "13:00 AM" and "13:00 PM" are both 13:00).
      {"13:00 PM", 1899, 12, 30, 13, 0, 0},
      // Blanks separate a date like / and -; h.m.s with points.
      {"3 15 2001", 2001, 3, 15, 0, 0, 0},
      {"3 15 01 1.5.2", 2001, 3, 15, 1, 5, 2},
      {"2001 3 15", 2001, 3, 15, 0, 0, 0},
      {"3/15 2001", 2001, 3, 15, 0, 0, 0},
      {"March 15 2001 Thursday", 2001, 3, 15, 0, 0, 0},
      {"1/1/0049", 2049, 1, 1, 0, 0, 0},
      {"3/15/2001\u00a014:30", 2001, 3, 15, 14, 30, 0},
      // Numbers that are no month and day are year and month.
      {"2/29", 2029, 2, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<double> got = ParseDate(c.text, 2026);
    ASSERT_TRUE(got.has_value());
    EXPECT_DOUBLE_EQ(*got, Ole(c.y, c.m, c.d, c.hh, c.mm, c.ss));
  }
}

TEST(ParseDate, RejectsWhatIsNoUsDate) {
  const char* cases[] = {"",           "   ",          "abc",          "15.03.2001",
                         "2/30/2001",  "13/13/2001",   "3/15/2001 25:00", "3/15/2001/5",
                         "3//15/2001", "/3/15",        "3/15/",        "Foo 15, 2001",
                         "3 PM 4 PM",  "2001",         "42",           "#3/15/2001#",
                         "3/15-2001",  "March April 2001", "1:60",
                         "3/15/12345", "3:15:2001:1", "3:",  "1/2/3/4",
                         "Jan:30",     "2:am",         "1 2 3 4",      "3:15 PM PM",
                         "3/15/2001 10:00 1:00", "1st of May", "15\u00e9"};
  for (const char* text : cases) {
    EXPECT_FALSE(ParseDate(text, 2026).has_value()) << "'" << text << "'";
  }
}

TEST(ParseDate, MissingYearIsTheCurrentOne) {
  EXPECT_DOUBLE_EQ(*ParseDate("7/4", 1999), Ole(1999, 7, 4));
  EXPECT_DOUBLE_EQ(*ParseDate("4-Jul", 2030), Ole(2030, 7, 4));
}

TEST(FormatDate, UsShortDateThenTimeWhenNotMidnight) {
  const std::pair<double, const char*> cases[] = {
      {36965.0, "3/15/2001"},
      {36965.0 + 14.5 / 24, "3/15/2001 2:30:00 PM"},
      {36892.0 + 1.0 / 86400, "1/1/2001 12:00:01 AM"},
      {36892.0 + 0.5, "1/1/2001 12:00:00 PM"},
      {0.5, "12:00:00 PM"},
      {0.0, "12:00:00 AM"},
      {14.5 / 24, "2:30:00 PM"},
      {1.0, "12/31/1899"},
      {-1.0, "12/29/1899"},
      {2958465.0, "12/31/9999"},
      {-657434.0, "1/1/100"},  // no padding (Wine's test_VarBstrFromDate)
      {Ole(2010, 11, 9, 23, 59, 59), "11/9/2010 11:59:59 PM"},
  };
  for (auto [date, text] : cases) EXPECT_EQ(FormatDate(date), text) << date;
}

TEST(FormatDate, ParsesBackToTheSameDate) {
  for (double d : {36965.0, 36965.75, 0.25, 40000.123456, 2.0}) {
    std::optional<double> back = ParseDate(FormatDate(d), 2026);
    ASSERT_TRUE(back.has_value()) << FormatDate(d);
    EXPECT_NEAR(*back, d, 1.0 / 86400);
  }
}

TEST(IsoDate, FormatAndParse) {
  EXPECT_EQ(FormatIsoDate(36965.0), "2001-03-15");
  EXPECT_EQ(FormatIsoDate(36965.0 + 14.5 / 24), "2001-03-15 14:30:00");
  EXPECT_EQ(FormatIsoDate(0.0), "1899-12-30");
  EXPECT_DOUBLE_EQ(*ParseIsoDate("2001-03-15"), 36965.0);
  EXPECT_DOUBLE_EQ(*ParseIsoDate("2001-03-15 14:30:00"), 36965.0 + 14.5 / 24);
  EXPECT_DOUBLE_EQ(*ParseIsoDate("2001-03-15T14:30"), 36965.0 + 14.5 / 24);
  EXPECT_DOUBLE_EQ(*ParseIsoDate("2001-03-15 14:30:00.250"), 36965.0 + 14.5 / 24);
  for (const char* bad : {"", "2001-3-15", "2001-02-30", "15/03/2001", "2001-03-15 14",
                          "2001-03-15 14:30:00x", "abcd-ef-gh", "2001-03-15 25:00:00"}) {
    EXPECT_FALSE(ParseIsoDate(bad).has_value()) << bad;
  }
}

TEST(FormatNumber, SingleHasSevenSignificantDigits) {
  const std::pair<float, const char*> cases[] = {
      {12345678.0f, "1.234568E+07"}, {1234567.89f, "1234568"}, {1234567.0f, "1234567"},
      {12.5f, "12.5"},               {0.1f, "0.1"},            {1e8f, "1E+08"},
      {-3.25f, "-3.25"},             {0.0f, "0"},              {-0.0f, "0"},
      {100.0f, "100"},               {0.0001f, "0.0001"},      {1.5e-10f, "1.5E-10"},
      {3.4028235e38f, "3.402823E+38"},
      // Rounded from the exact binary value, a tie away from zero: the float
      // holds 654322.25 (Wine's test_VarBstrFromR4 of the platform: "654322.3").
      {654322.23456f, "654322.3"},   {-654322.25f, "-654322.3"},
      // Plain while every digit fits in 7 decimal places.
      {1e-7f, "0.0000001"},          {1.5e-6f, "0.0000015"},   {1.25e-6f, "1.25E-06"},
      {1e-8f, "1E-08"},              {9999999.0f, "9999999"},  {0.000005f, "0.000005"},
  };
  for (auto [v, text] : cases) EXPECT_EQ(FormatSingle(v), text) << v;
}

TEST(FormatNumber, DoubleHasFifteenSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {1e15, "1E+15"},
      {5.6789e-12, "5.6789E-12"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E+15"},
      {0.1 + 0.2, "0.3"},
      {12.5, "12.5"},
      {1.0 / 3, "0.333333333333333"},
      {1234567.89, "1234567.89"},
      {-0.0, "0"},
      {-42.0, "-42"},
      {2147483648.0, "2147483648"},
      // A tie at the 16th digit rounds away from zero.
      {1234567890123445.0, "1.23456789012345E+15"},
      {-1234567890123445.0, "-1.23456789012345E+15"},
      // Plain while every digit fits in 15 decimal places.
      {1e-15, "0.000000000000001"},
      {1e-16, "1E-16"},
      {5.6789e-11, "0.000000000056789"},
      {0.01 + static_cast<double>(0.01f), "1.99999997764826E-02"},
      {999999999999999.4, "999999999999999"},
      {999999999999999.5, "1E+15"},
  };
  for (auto [v, text] : cases) EXPECT_EQ(FormatDouble(v), text) << v;
}

// Prices and quantities: cents and thousandths, as printf rounds them.
TEST(FormatNumber, AmountsShowTheirDecimalsAndNoMore) {
  auto printed = [](double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string text = buf;
    if (text.find('.') != std::string::npos) {
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? std::string("0") : text;
  };
  for (int i = -200000; i <= 200000; i += 7) {
    EXPECT_EQ(FormatDouble(i / 100.0), printed(i / 100.0, 2)) << i;
    EXPECT_EQ(FormatDouble(i / 1000.0), printed(i / 1000.0, 3)) << i;
  }
}

TEST(FormatNumber, TextParsesBackToTheValue) {
  for (double v : {12.5, -0.001, 1e15, 5.6789e-12, 98765.4321}) {
    EXPECT_DOUBLE_EQ(*ParseNumber(FormatDouble(v)), v);
  }
}

TEST(Today, IsAWholeDay) {
  const double t = Today();
  EXPECT_EQ(t, std::floor(t));
  EXPECT_GT(t, Ole(2020, 1, 1));
}

}  // namespace
}  // namespace tarvik::regional
