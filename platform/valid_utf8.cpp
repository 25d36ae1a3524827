#include "platform/valid_utf8.h"

#include <algorithm>

#include "platform/bstr.h"

namespace tarvik {

std::string ValidUtf8(std::string text) {
  // Plain ASCII, the common case, is checked without decoding.
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) return text;
  std::string round_trip = Utf8(Utf16(text));
  return round_trip == text ? text : round_trip;
}

}  // namespace tarvik
