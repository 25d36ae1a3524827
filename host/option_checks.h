// Checks of the values typed for the component's text properties. The
// component turns a text it cannot read into 0 or Null, so the host refuses
// such texts while the command line is read, before any database is opened.
#pragma once

#include <cstdint>
#include <string>

#include "platform/variant.h"

namespace tarvik::host {

enum class ValueKind { kText, kNumber, kDate, kByte };

// "" when text fits the kind, else why not. The empty text is a number and
// a date (it clears the field); a byte is a whole number from 0 to 255; no
// value may be longer than kMaxTextBytes.
std::string CheckValue(ValueKind kind, const std::string& text);
// The property value for a checked text: a Byte for kByte, else the text.
Variant PropertyValue(ValueKind kind, const std::string& text);

// "" for a whole number from 0 to 2147483647 (leading zeros allowed).
std::string CheckInvoiceNumber(const std::string& text);
// The number of a checked text.
std::int32_t InvoiceNumberOf(const std::string& text);

}  // namespace tarvik::host
