// Dates written in a pattern a clerk chooses, limited to forms that read
// one way only: a four-digit year, a month and a day.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::regional {

// The calendar day of a date in a pattern of YYYY, MM, DD, D, MMM (the
// month's English abbreviation) and the separators space . - / ; nullopt
// for a pattern that is not one (it must hold a year, a month and a day).
std::optional<std::string> FormatDatePattern(double date, std::string_view pattern);

}  // namespace tarvik::regional
