#include "components/report/printable_text.h"

#include <algorithm>
#include <cstdint>

#include "platform/limits.h"

namespace tarvik::components::report {
namespace {

// One code point at text[i]; its length in `length`, 0 when malformed.
char32_t Decode(std::string_view text, std::size_t i, std::size_t& length) {
  const auto b = static_cast<unsigned char>(text[i]);
  length = 0;
  int extra = 0;
  char32_t cp = 0;
  if (b < 0x80) {
    length = 1;
    return b;
  } else if ((b & 0xE0) == 0xC0) {
    extra = 1, cp = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2, cp = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3, cp = b & 0x07;
  } else {
    return 0;
  }
  if (i + extra >= text.size()) return 0;
  for (int k = 1; k <= extra; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = static_cast<std::size_t>(extra) + 1;
  return cp;
}

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

bool BreaksBetweenCharacters(char32_t cp) {
  return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFF00 && cp <= 0xFFEF) ||
         (cp >= 0x20000 && cp <= 0x3FFFF);
}

}  // namespace

std::string PrintableText(std::string_view text, bool keep_breaks) {
  std::string out;
  out.reserve(std::min(text.size(), kMaxTextBytes));
  for (std::size_t i = 0; i < text.size();) {
    // Text past the limit would only make pages nobody reads (and layout time
    // and memory grow with it); the ellipsis shows that something was left out.
    if (out.size() >= kMaxTextBytes) {
      out += "\xE2\x80\xA6";  // U+2026
      break;
    }
    std::size_t length = 0;
    const char32_t cp = Decode(text, i, length);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (!IsControl(cp)) {
      out.append(text.substr(i, length));
    } else if (cp == '\n' && keep_breaks) {
      out += '\n';
    } else if (cp == '\t' || cp == '\n' || cp == '\r' || cp == '\v' || cp == '\f') {
      out += ' ';
    }
    i += length;
  }
  return out;
}

std::vector<std::string> UnbreakablePieces(std::string_view text) {
  std::vector<std::string> pieces;
  std::string piece;
  auto flush = [&] {
    if (!piece.empty()) pieces.push_back(std::move(piece));
    piece.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = 0;
    const char32_t cp = Decode(text, i, length);
    if (length == 0) length = 1;
    if (cp == ' ' || cp == '\n') {
      flush();
    } else if (BreaksBetweenCharacters(cp)) {
      flush();
      pieces.emplace_back(text.substr(i, length));
    } else {
      piece.append(text.substr(i, length));
    }
    i += length;
  }
  flush();
  return pieces;
}

}  // namespace tarvik::components::report
