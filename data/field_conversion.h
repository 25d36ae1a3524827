// Turning property values into numbers or SQL literals for the SQL text the
// component builds. Numbers: 0 when the value is not numeric (empty text,
// Null, letters); whole numbers rounded half to even; overflow raises
// AutomationError 6. Literals: Null for the empty text or a non-date,
// #m/d/yyyy[ h:mm:ss AM/PM]# for dates, '...' with quotes doubled for text.
// Results are UTF-8. United States regional settings throughout.
#pragma once

#include <cstdint>
#include <string>

#include "platform/variant.h"

namespace tarvik::data {

// A number, Boolean, Empty, or text the standard conversion reads as a number.
bool IsNumeric(const Variant& value);
// A date, or text the standard conversion reads as a date.
bool IsDate(const Variant& value);

std::string Field2SqlDate(Variant value);
std::int32_t Field2Long(Variant value);
double Field2Double(Variant value);
float Field2Single(Variant value);
std::int32_t Field2Integer(Variant value);  // within -32768..32767
// Raises AutomationError 94 for Null, 5 for a text over kMaxTextBytes.
std::string Field2SqlText(Variant value);

// Plain US number text for SQL (point decimal, no grouping).
std::string NumberText(float v);
std::string NumberText(double v);
std::string NumberText(std::int32_t v);

}  // namespace tarvik::data
