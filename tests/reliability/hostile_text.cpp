#include "tests/reliability/hostile_text.h"

#include <cctype>
#include <vector>

namespace tarvik::testing {

std::string HostileText::Next(bool trimmed) {
  static const std::vector<std::string> kPieces = {
      "'", "''", "'''", "\"", "\\", "\\'", "#", "#1/1/2000#", "--", "/*", "*/", ";",
      "'; DROP TABLE Invoice_Header; --", "' OR '1'='1", "%", "_", "*", "?", "[", "]",
      "Null", "Is Null", "\t", "\r\n", "\x01", "\x1f", "\x7f", "\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac",
      "\xf0\x9f\x98\x80", "\xe2\x80\x8b", "$1", "?1", ":name", "@p", "x", "Acme", " ", "0"};
  std::uniform_int_distribution<int> count(1, 12);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string out;
  if (random_() % 16 == 0) {
    // A long text: quoting that doubles characters must not cut it.
    out.assign(2000 + random_() % 3000, '\'');
  }
  for (int n = count(random_); n > 0; --n) out += kPieces[pick(random_)];
  if (trimmed) {
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!out.empty() && blank(out.front())) out.erase(out.begin());
    while (!out.empty() && blank(out.back())) out.pop_back();
    if (out.empty()) out.push_back('\'');
  }
  return out;
}

}  // namespace tarvik::testing
