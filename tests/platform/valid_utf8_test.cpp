// Bytes from outside become valid UTF-8; valid text passes unchanged.
#include "platform/valid_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvik {
namespace {

TEST(ValidUtf8, InvalidSequencesAreReplacedValidTextIsKept) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"M\xC3\xBCller \xE2\x82\xAC", "M\xC3\xBCller \xE2\x82\xAC"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},  // NUL is a character
      {"\xF0\x9F\x94\xA9", "\xF0\x9F\x94\xA9"},          // four bytes
      {"M\xFCller", "M" + r + "ller"},                    // Latin-1 written by another program
      {"ab\xC3", "ab" + r},                               // cut short
      {"\xC0\xAF", r},                                    // overlong
      {"\xED\xA0\x80", r},                                // a surrogate
      {"\x80x", r + "x"},                                 // a stray continuation
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tarvik
