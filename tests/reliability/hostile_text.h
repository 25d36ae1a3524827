// Seeded generator of texts built to break SQL quoting, dialect rewriting
// and text conversion: quotes, doubled quotes, backslashes, comment and
// statement separators, date and wildcard marks, control characters, long
// runs and characters outside ASCII (surrogate pairs included).
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tarvik::testing {

class HostileText {
 public:
  explicit HostileText(std::uint32_t seed) : random_(seed) {}
  // Never empty; no NUL; no white space at either end when trimmed is true.
  std::string Next(bool trimmed = false);

 private:
  std::mt19937 random_;
};

}  // namespace tarvik::testing
