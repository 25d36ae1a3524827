#include "host/option_checks.h"

#include <limits>

#include "platform/limits.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

bool AllDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool FitsLong(const std::string& digits) {
  const auto first = digits.find_first_not_of('0');
  if (first == std::string::npos) return true;
  const std::string significant = digits.substr(first);
  return significant.size() <= 10 &&
         std::stoll(significant) <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

std::string CheckValue(ValueKind kind, const std::string& text) {
  if (text.size() > kMaxTextBytes) {
    return "may hold at most " + std::to_string(kMaxTextBytes) + " bytes, got " + std::to_string(text.size());
  }
  switch (kind) {
    case ValueKind::kText:
      return "";
    case ValueKind::kNumber:
      if (text.empty() || regional::ParseNumber(text)) return "";
      return "'" + text + "' is not a number";
    case ValueKind::kDate:
      if (text.empty() || regional::ParseDate(text)) return "";
      return "'" + text + "' is not a date";
    case ValueKind::kByte:
      if (AllDigits(text) && FitsLong(text) && std::stoll(text) <= 255) return "";
      return "must be a whole number from 0 to 255, got '" + text + "'";
  }
  return "";
}

Variant PropertyValue(ValueKind kind, const std::string& text) {
  if (kind == ValueKind::kByte) return Variant::Byte(static_cast<std::uint8_t>(std::stoll(text)));
  return Variant::String(text);
}

std::string CheckInvoiceNumber(const std::string& text) {
  if (AllDigits(text) && FitsLong(text)) return "";
  return "invoice number must be a whole number from 0 to 2147483647, got '" + text + "'";
}

std::int32_t InvoiceNumberOf(const std::string& text) {
  return static_cast<std::int32_t>(std::stoll(text));
}

}  // namespace tarvik::host
