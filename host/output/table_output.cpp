#include "host/output/table_output.h"

#include <algorithm>
#include <ostream>

#include "host/output/safe_text.h"

namespace tarvik::host {

namespace {

// Display width in code points, close enough for aligned columns.
std::size_t DisplayWidth(const std::string& s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& s, std::size_t width, bool right) {
  const std::size_t used = DisplayWidth(s);
  const std::string fill(width > used ? width - used : 0, ' ');
  return right ? fill + s : s + fill;
}

}  // namespace

void WriteTable(std::ostream& out, const TextTable& stored, const std::string& indent) {
  // Escaped before measuring, so a stored control character keeps the
  // columns aligned.
  TextTable table = stored;
  for (auto& row : table.rows) {
    for (auto& cell : row) cell = SafeText(cell);
  }
  const std::size_t n = table.columns.size();
  std::vector<std::size_t> width(n);
  for (std::size_t c = 0; c < n; ++c) width[c] = DisplayWidth(table.columns[c].heading);
  for (const auto& row : table.rows) {
    for (std::size_t c = 0; c < n && c < row.size(); ++c) {
      width[c] = std::max(width[c], DisplayWidth(row[c]));
    }
  }
  // Trailing blanks of the last column would only make diffs noisy.
  auto line = [&](auto cell) {
    std::string text = indent;
    for (std::size_t c = 0; c < n; ++c) {
      if (c > 0) text += "  ";
      text += cell(c);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
  };
  line([&](std::size_t c) {
    return Pad(table.columns[c].heading, width[c], table.columns[c].right_aligned);
  });
  line([&](std::size_t c) { return std::string(width[c], '-'); });
  for (const auto& row : table.rows) {
    line([&](std::size_t c) {
      return Pad(c < row.size() ? row[c] : std::string(), width[c],
                 table.columns[c].right_aligned);
    });
  }
}

void WriteFields(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& fields,
                 const std::string& indent) {
  std::size_t width = 0;
  for (const auto& [label, value] : fields) width = std::max(width, DisplayWidth(label) + 1);
  for (const auto& [label, value] : fields) {
    std::string text = indent + Pad(label + ":", width, false) + "  " + SafeText(value);
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
  }
}

}  // namespace tarvik::host
