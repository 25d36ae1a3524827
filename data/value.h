// A database value as the backends hand it over: Null, whole number, real,
// text (UTF-8) or date (OLE date). Dates come from columns declared DATE,
// DATETIME or TIMESTAMP.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace tarvik::data {

struct DateValue {
  double ole;  // days since 12/30/1899
  bool operator==(const DateValue&) const = default;
};

using Value = std::variant<std::monostate, std::int64_t, double, std::string, DateValue>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// The value as text for people: numbers and dates in the regional format
// (dates short), Null empty.
std::string ValueToText(const Value& v);

}  // namespace tarvik::data
