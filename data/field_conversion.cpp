#include "data/field_conversion.h"

#include "platform/error.h"
#include "platform/limits.h"
#include "platform/regional.h"

namespace tarvik::data {

namespace {

// The value behind one level of reference.
Variant Deref(const Variant& v) { return Variant(v.raw()); }

}  // namespace

bool IsNumeric(const Variant& value) {
  const Variant v = Deref(value);
  switch (v.vt()) {
    case VT_EMPTY: case VT_BOOL: case VT_I1: case VT_I2: case VT_I4: case VT_I8:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY:
      return true;
    case VT_BSTR:
      return regional::ParseNumber(v.ToString()).has_value();
    default:
      return false;
  }
}

bool IsDate(const Variant& value) {
  const Variant v = Deref(value);
  if (v.vt() == VT_DATE) return true;
  if (v.vt() != VT_BSTR) return false;
  return regional::ParseDate(v.ToString()).has_value();
}

std::string Field2SqlDate(Variant value) {
  if (!IsDate(value)) return "Null";
  std::string text = regional::FormatDate(value.ToDate());
  text.insert(text.begin(), '#');
  text.push_back('#');
  return text;
}

std::int32_t Field2Long(Variant value) { return IsNumeric(value) ? value.ToLong() : 0; }

double Field2Double(Variant value) { return IsNumeric(value) ? value.ToDouble() : 0.0; }

float Field2Single(Variant value) { return IsNumeric(value) ? value.ToSingle() : 0.0f; }

std::int32_t Field2Integer(Variant value) { return IsNumeric(value) ? value.ToInteger() : 0; }

std::string Field2SqlText(Variant value) {
  const Variant v = Deref(value);
  if (v.is_null()) RaiseError(kErrInvalidUseOfNull);
  if (v.is_empty()) return "Null";  // Empty equals the empty text
  const std::string text = v.ToString();
  if (text.empty()) return "Null";
  // The books keep texts of a bounded size; a larger one is refused before
  // any statement carries it.
  if (text.size() > kMaxTextBytes) {
    RaiseError(kErrInvalidProcedureCall, "A text of " + std::to_string(text.size()) +
                                             " bytes is longer than the " + std::to_string(kMaxTextBytes) +
                                             " bytes a text of the books may hold; nothing was written.");
  }
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::string NumberText(float v) { return regional::FormatSingle(v); }
std::string NumberText(double v) { return regional::FormatDouble(v); }
std::string NumberText(std::int32_t v) { return std::to_string(v); }

}  // namespace tarvik::data
