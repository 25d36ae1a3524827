// Conversions between text, numbers and dates under the United States
// regional settings, as the platform's standard variant conversions make them
// (VarR8FromStr, VarDateFromStr, VarBstrFromR4/R8/Date with en-US).
//
// Blanks are what the platform's iswspace calls blanks: the Unicode
// White_Space characters (no-break and ideographic spaces among them).
// Numbers: blanks around, a sign (leading, or trailing, or parentheses), '$'
// before or after, ',' grouping anywhere after the first digit, a point, an
// exponent (1e-3), &H hex and &O octal; the empty text and a text of blanks
// are not numeric.
// Dates: up to six items, numbers and month names (full or abbreviated),
// separated by '/', '-' or blanks (commas and weekday names are ignored).
// Two or three date items are read month/day/year first, then in the other
// orders the platform tries (year/month/day, ..., day/month/year); two
// numbers take this year, or are month and year when they are no month and
// day. Two-digit years 00-49 are 20xx, 50-99 19xx; years run 100 to 9999.
// A time is h:m or h:m:s, with ':' or '.' (2.5 is 2:05), or an hour with
// AM/PM, before or after the date; AM/PM is ignored above 12. Dotted
// day.month.year is a time, so no US date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::regional {

// Text to number; nullopt when the text is not numeric.
std::optional<double> ParseNumber(std::string_view text);

// Round half to even.
double BankersRound(double v);

// OLE date (days since 12/30/1899) <-> calendar fields.
struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};
// nullopt when the fields do not make a real date (Feb 30, month 13, ...).
std::optional<double> ToOleDate(const DateTimeParts& p);
DateTimeParts FromOleDate(double date);  // rounded to the second
// Within 1/1/100 to 12/31/9999 (each to the end of its day): the dates an
// OLE date may hold. Before 1899 the day counts down while its time counts up.
bool InOleCalendar(double date);

// Text to OLE date; nullopt when not a date. current_year fills a missing year.
std::optional<double> ParseDate(std::string_view text, int current_year);
std::optional<double> ParseDate(std::string_view text);  // uses this year

// m/d/y (the year unpadded), then " h:mm:ss AM/PM" unless the value has no
// fraction; only the time when its whole part is 0 (12/30/1899).
std::string FormatDate(double date);
// ISO forms used by the database layer: yyyy-mm-dd or yyyy-mm-dd hh:mm:ss.
std::string FormatIsoDate(double date);
std::optional<double> ParseIsoDate(std::string_view text);

// General number form: 7 (Single) or 15 (Double) significant digits rounded
// from the exact binary value (a tie away from zero), no trailing zeros, no
// grouping; exponent form (1.234568E+07, 5.6789E-12) from 10^7 (Single) or
// 10^15 (Double) up, and below 1 when the digits would not fit in 7 or 15
// decimal places.
std::string FormatSingle(float v);
std::string FormatDouble(double v);

// Today's date, date only (midnight).
double Today();

}  // namespace tarvik::regional
