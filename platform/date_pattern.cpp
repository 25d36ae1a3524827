#include "platform/date_pattern.h"

#include <cmath>

#include "platform/regional.h"

namespace tarvik::regional {

std::optional<std::string> FormatDatePattern(double date, std::string_view pattern) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const DateTimeParts p = FromOleDate(std::floor(date));
  auto padded = [](int v, int width) {
    std::string s = std::to_string(v);
    return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, '0') + s;
  };
  std::string out;
  bool year = false, month = false, day = false;
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("YYYY")) {
      out += padded(p.year, 4), year = true, i += 4;
    } else if (rest.starts_with("MMM")) {
      out += kMonths[p.month - 1], month = true, i += 3;
    } else if (rest.starts_with("MM")) {
      out += padded(p.month, 2), month = true, i += 2;
    } else if (rest.starts_with("DD")) {
      out += padded(p.day, 2), day = true, i += 2;
    } else if (rest.starts_with("D")) {
      out += std::to_string(p.day), day = true, i += 1;
    } else if (std::string_view(" .-/").find(rest[0]) != std::string_view::npos) {
      out += rest[0], ++i;
    } else {
      return std::nullopt;
    }
  }
  if (!year || !month || !day) return std::nullopt;
  return out;
}

}  // namespace tarvik::regional
