// Readable output for the terminal: aligned tables and label/value listings.
// Widths count code points, so accented names line up too.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::host {

struct TextTable {
  struct Column {
    std::string heading;
    bool right_aligned = false;  // numbers
  };
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> rows;  // one cell per column
};

// Headings, a rule of dashes, then the rows; every line starts with indent.
void WriteTable(std::ostream& out, const TextTable& table, const std::string& indent = "  ");

// "Label:  value" lines with the values in one column.
void WriteFields(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& fields,
                 const std::string& indent = "  ");

}  // namespace tarvik::host
