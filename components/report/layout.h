// A report layout: the page, the fonts, what stands above the table on the
// first page, the table's columns, the totals and the page furniture.
// The file format is described in docs/report_layout.md.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "components/report/text_template.h"

namespace tarvik::components::report {

// Error numbers the report component raises.
inline constexpr int kErrReportFileNotFound = 53;  // "File not found"
inline constexpr int kErrReportFileMalformed = 5;  // "Invalid procedure call or argument"
inline constexpr int kErrPrinter = 482;            // "Printer error"
inline constexpr int kErrReportFileAccess = 75;    // "Path/File access error"

// Layout files are read whole; anything larger is refused unread.
inline constexpr std::size_t kMaxLayoutBytes = 256 * 1024;

enum class Align { kLeft, kCenter, kRight };

struct Font {
  std::string role;
  std::string face;  // a Pango font description: "DejaVu Sans Bold 9"
};

struct TextItem {
  std::string font;  // role
  Align align = Align::kLeft;
  TextTemplate value;
};

struct Block {
  TextTemplate title;
  TextTemplate value;  // lines left empty after substitution are dropped
};

// Text paragraphs and rows of side-by-side blocks, in file order.
struct TopItem {
  bool is_row = false;
  TextItem text;              // when !is_row
  std::vector<Block> blocks;  // when is_row
};

struct Column {
  TextTemplate head;
  TextTemplate value;
  double width = 1;  // relative to the other columns
  Align align = Align::kLeft;
};

// A head over the lines of each group (say, each order) when an invoice's
// lines fall into more than one.
struct Group {
  std::string by;  // a column of the report lines
  TextTemplate value;  // filled from the group's first line
};

struct Total {
  TextTemplate label;
  TextTemplate value;
  std::string font;
};

struct Layout {
  std::string file;  // where it was read from, for messages
  double page_width = 595.276;  // points (A4)
  double page_height = 841.89;
  double margin = 40;
  std::vector<Font> fonts;  // "body" and "head" always present
  std::vector<TopItem> top;
  std::vector<Column> columns;
  std::vector<Total> totals;
  std::vector<TextItem> notes;  // paragraphs after the totals
  std::optional<Group> group;
  TextTemplate continued;  // top of every page after the first
  TextTemplate footer;     // bottom of every page

  // Font description for a role (the body font when the role is unknown).
  const std::string& FontFace(const std::string& role) const;
};

// Reads a layout file. A missing file raises kErrReportFileNotFound; what is
// not a regular file, or is larger than kMaxLayoutBytes, kErrReportFileAccess;
// a malformed one kErrReportFileMalformed. Messages name the file (and the
// line), never what the file holds.
Layout LoadLayout(const std::string& path);
// The same from text; `file` only names it in messages.
Layout ParseLayout(const std::string& text, const std::string& file);

}  // namespace tarvik::components::report
