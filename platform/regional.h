// Conversions between text, numbers and dates under the United States
// regional settings, as the platform's standard variant conversions make them.
//
// Numbers: blanks around, a sign (leading, or trailing, or parentheses),
// comma grouping, a point, an exponent (1e-3), &H hex and &O octal; the empty
// text and a text of blanks are not numeric.
// Dates: m/d/yyyy, m-d-yyyy, yyyy-m-d, d-Mon-yyyy, d Month yyyy,
// Month d, yyyy; two-digit years 00-49 are 20xx, 50-99 19xx; a missing year
// is the current one; times h:mm[:ss] (also h.mm) with AM/PM, alone or after
// a date. Dotted day.month.year is not a US date.
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

// m/d/yyyy, then " h:mm:ss AM/PM" when not midnight; only the time on 12/30/1899.
std::string FormatDate(double date);
// ISO forms used by the database layer: yyyy-mm-dd or yyyy-mm-dd hh:mm:ss.
std::string FormatIsoDate(double date);
std::optional<double> ParseIsoDate(std::string_view text);

// General number form: 7 (Single) or 15 (Double) significant digits, no
// trailing zeros, no grouping; exponent form 1.234568E+07 / 5.6789E-12 only
// for very large or very small magnitudes.
std::string FormatSingle(float v);
std::string FormatDouble(double v);

// Today's date, date only (midnight).
double Today();

}  // namespace tarvik::regional
