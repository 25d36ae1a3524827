// Text as it may reach the page: what the database holds can carry control
// characters and broken UTF-8, which would print as boxes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::components::report {

// Control characters (C0, DEL, C1) are never drawn: tabs, line breaks and
// the like become a space (a line break stays one when keep_breaks), the
// rest go. Invalid UTF-8 bytes become U+FFFD. A text longer than
// kMaxTextBytes is cut there and ends in an ellipsis.
std::string PrintableText(std::string_view text, bool keep_breaks);

// The pieces a text may not be broken inside: words between spaces, and
// each CJK character on its own (those scripts break between characters).
std::vector<std::string> UnbreakablePieces(std::string_view text);

}  // namespace tarvik::components::report
