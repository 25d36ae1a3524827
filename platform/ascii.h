// ASCII case folding. SQL words, names of members, columns and settings
// compare without regard to case in ASCII only: the result must not depend
// on the process locale, and other letters are compared as they are.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace tarvik {

template <typename T>
concept Character = std::same_as<T, char> || std::same_as<T, char16_t> || std::same_as<T, wchar_t>;

template <Character Char>
constexpr Char AsciiLower(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}
template <Character Char>
constexpr Char AsciiUpper(Char c) {
  return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}
inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

template <Character Char>
constexpr bool EqualsNoCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}
inline bool EqualsNoCase(std::string_view a, std::string_view b) { return EqualsNoCase<char>(a, b); }

}  // namespace tarvik
