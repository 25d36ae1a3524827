// Sizes past which input is refused rather than carried along. Each one is
// far above what the books and their scripts need, and low enough that a
// hostile or careless value cannot exhaust memory or the stack on its way
// through (see docs/security.md, "Limits").
#pragma once

#include <cstddef>

namespace tarvik {

// One text value (a property, an option, a script value), in UTF-8 bytes.
inline constexpr std::size_t kMaxTextBytes = 64 * 1024;
// One line of a script, without its line feed.
inline constexpr std::size_t kMaxScriptLineBytes = 1024 * 1024;
// Lists and objects inside one another in one JSON document.
inline constexpr int kMaxJsonDepth = 64;

}  // namespace tarvik
