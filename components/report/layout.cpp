#include "components/report/layout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "platform/bounded_file.h"
#include "platform/error.h"

namespace tarvik::components::report {
namespace {

// A fault in one line; turned into an AutomationError naming file and line.
struct LineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Keyword {
  std::string_view name;
  std::vector<std::string_view> allowed;
  std::vector<std::string_view> required;
};

const std::vector<Keyword>& Keywords() {
  static const std::vector<Keyword> keywords = {
      {"page", {"size", "margin"}, {}},
      {"font", {"role", "face"}, {"role", "face"}},
      {"text", {"font", "align", "value"}, {"value"}},
      {"row", {}, {}},
      {"block", {"title", "value"}, {"value"}},
      {"column", {"head", "width", "align", "value"}, {"head", "value"}},
      {"total", {"label", "value", "font"}, {"label", "value"}},
      {"continued", {"value"}, {"value"}},
      {"footer", {"value"}, {"value"}},
      {"group", {"by", "value"}, {"by", "value"}},
      {"note", {"font", "align", "value"}, {"value"}},
  };
  return keywords;
}

std::string AllowedList(const Keyword& k) {
  std::string list;
  for (auto name : k.allowed) list += (list.empty() ? "" : ", ") + std::string(name);
  return list.empty() ? "none" : list;
}

struct PageSize {
  std::string_view name;
  double width, height;
};
constexpr std::array<PageSize, 3> kPageSizes = {{
    {"A4", 595.276, 841.89},
    {"Letter", 612, 792},
    {"Legal", 612, 1008},
}};

using Attributes = std::map<std::string, std::string>;

// keyword name=value name="quoted \"value\"\n" ... # comment
std::pair<std::string, Attributes> SplitLine(const std::string& line) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  };
  auto word = [&] {
    std::string w;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '=' &&
           line[i] != '"' && line[i] != '#') {
      w += line[i++];
    }
    return w;
  };
  skip_blanks();
  std::string keyword = word();
  Attributes attributes;
  for (;;) {
    skip_blanks();
    if (i >= line.size() || line[i] == '#') break;
    std::string name = word();
    if (name.empty()) throw LineError("an attribute name was expected");
    if (i >= line.size() || line[i] != '=') throw LineError("an attribute without its =value");
    ++i;
    std::string value;
    if (i < line.size() && line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c != '\\') {
          value += c;
          continue;
        }
        if (i >= line.size()) break;
        const char e = line[i++];
        if (e == 'n') value += '\n';
        else if (e == '"' || e == '\\') value += e;
        else throw LineError("an unknown escape (\\n, \\\" and \\\\ are known)");
      }
      if (!closed) throw LineError("a quoted value without its closing '\"'");
    } else {
      value = word();
      if (value.empty()) throw LineError("an attribute with an empty value");
    }
    if (!attributes.emplace(name, value).second) {
      throw LineError("an attribute given twice");
    }
  }
  return {keyword, attributes};
}

double Number(const std::string& name, const std::string& text, double min) {
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min) {
    throw LineError("'" + name + "' must be a number of at least " + std::to_string(int(min)));
  }
  return v;
}

Align ParseAlign(const Attributes& a) {
  auto it = a.find("align");
  if (it == a.end() || it->second == "left") return Align::kLeft;
  if (it->second == "center") return Align::kCenter;
  if (it->second == "right") return Align::kRight;
  throw LineError("align must be left, center or right");
}

std::string Get(const Attributes& a, const std::string& name) {
  auto it = a.find(name);
  return it == a.end() ? std::string() : it->second;
}

TextTemplate Template(const Attributes& a, const std::string& name, int line) {
  try {
    return TextTemplate(Get(a, name), line);
  } catch (const std::invalid_argument& e) {
    throw LineError("in '" + name + "': " + e.what());
  }
}

void ApplyLine(Layout& layout, const std::string& keyword, const Attributes& a, int line,
               std::vector<std::pair<std::string, int>>& font_uses) {
  auto spec = std::find_if(Keywords().begin(), Keywords().end(),
                           [&](const Keyword& k) { return k.name == keyword; });
  if (spec == Keywords().end()) {
    throw LineError(
        "unknown keyword (page, font, text, row, block, column, group, total, note, continued, footer)");
  }
  for (const auto& [name, value] : a) {
    if (std::find(spec->allowed.begin(), spec->allowed.end(), name) == spec->allowed.end()) {
      throw LineError("'" + keyword + "' has an unknown attribute (" + AllowedList(*spec) + ")");
    }
  }
  for (auto required : spec->required) {
    if (!a.count(std::string(required))) {
      throw LineError("'" + keyword + "' needs " + std::string(required) + "=...");
    }
  }
  auto use_font = [&](const std::string& role) {
    if (!role.empty()) font_uses.emplace_back(role, line);
    return role;
  };

  if (keyword == "page") {
    if (a.count("size")) {
      const std::string size = Get(a, "size");
      auto known = std::find_if(kPageSizes.begin(), kPageSizes.end(),
                                [&](const PageSize& p) { return p.name == size; });
      if (known != kPageSizes.end()) {
        layout.page_width = known->width;
        layout.page_height = known->height;
      } else if (auto x = size.find('x'); x != std::string::npos) {
        layout.page_width = Number("size", size.substr(0, x), 144);
        layout.page_height = Number("size", size.substr(x + 1), 144);
      } else {
        throw LineError("size must be A4, Letter, Legal or WIDTHxHEIGHT in points");
      }
    }
    if (a.count("margin")) layout.margin = Number("margin", Get(a, "margin"), 0);
    if (layout.margin * 2 > std::min(layout.page_width, layout.page_height) / 2) {
      throw LineError("the margins leave no room on the page");
    }
  } else if (keyword == "font") {
    const std::string role = Get(a, "role");
    auto same = std::find_if(layout.fonts.begin(), layout.fonts.end(),
                             [&](const Font& f) { return f.role == role; });
    if (same != layout.fonts.end()) same->face = Get(a, "face");
    else layout.fonts.push_back({role, Get(a, "face")});
  } else if (keyword == "text") {
    TopItem item;
    item.text = {use_font(Get(a, "font")), ParseAlign(a), Template(a, "value", line)};
    layout.top.push_back(std::move(item));
  } else if (keyword == "row") {
    TopItem item;
    item.is_row = true;
    layout.top.push_back(std::move(item));
  } else if (keyword == "block") {
    if (layout.top.empty() || !layout.top.back().is_row) {
      TopItem item;
      item.is_row = true;
      layout.top.push_back(std::move(item));
    }
    layout.top.back().blocks.push_back({Template(a, "title", line), Template(a, "value", line)});
  } else if (keyword == "column") {
    Column column{Template(a, "head", line), Template(a, "value", line), 1, ParseAlign(a)};
    if (a.count("width")) column.width = Number("width", Get(a, "width"), 1);
    layout.columns.push_back(std::move(column));
  } else if (keyword == "total") {
    layout.totals.push_back(
        {Template(a, "label", line), Template(a, "value", line), use_font(Get(a, "font"))});
  } else if (keyword == "group") {
    if (layout.group) throw LineError("only one 'group' line is allowed");
    layout.group = Group{Get(a, "by"), Template(a, "value", line)};
  } else if (keyword == "note") {
    layout.notes.push_back({use_font(Get(a, "font")), ParseAlign(a), Template(a, "value", line)});
  } else if (keyword == "continued") {
    layout.continued = Template(a, "value", line);
  } else if (keyword == "footer") {
    layout.footer = Template(a, "value", line);
  }
}

[[noreturn]] void Malformed(const std::string& file, int line, const std::string& what) {
  RaiseError(kErrReportFileMalformed,
             "Report file " + file + (line > 0 ? ", line " + std::to_string(line) : "") + ": " +
                 what);
}

}  // namespace

const std::string& Layout::FontFace(const std::string& role) const {
  const std::string& wanted = role.empty() ? std::string("body") : role;
  for (const auto& f : fonts) {
    if (f.role == wanted) return f.face;
  }
  for (const auto& f : fonts) {
    if (f.role == "body") return f.face;
  }
  return fonts.front().face;
}

Layout ParseLayout(const std::string& text, const std::string& file) {
  Layout layout;
  layout.file = file;
  layout.fonts = {{"body", "DejaVu Sans 9"}, {"head", "DejaVu Sans Bold 9"}};
  std::vector<std::pair<std::string, int>> font_uses;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    try {
      auto [keyword, attributes] = SplitLine(line);
      if (keyword.empty()) {
        if (!attributes.empty()) throw LineError("a line must start with a keyword");
        continue;
      }
      ApplyLine(layout, keyword, attributes, number, font_uses);
    } catch (const LineError& e) {
      Malformed(file, number, e.what());
    }
  }
  for (const auto& [role, at] : font_uses) {
    auto known = std::find_if(layout.fonts.begin(), layout.fonts.end(),
                              [&](const Font& f) { return f.role == role; });
    if (known == layout.fonts.end()) {
      Malformed(file, at, "a font role that no 'font' line declares");
    }
  }
  if (layout.columns.empty()) {
    Malformed(file, number, "the layout has no 'column' line, so there is no table of lines");
  }
  return layout;
}

Layout LoadLayout(const std::string& path) {
  const BoundedRead read = ReadRegularFile(path, kMaxLayoutBytes);
  switch (read.fault) {
    case FileReadFault::kNone: return ParseLayout(read.text, path);
    case FileReadFault::kMissing:
      RaiseError(kErrReportFileNotFound, "Report file " + path + " not found");
    default:
      RaiseError(kErrReportFileAccess,
                 "Report file " + path + " " + DescribeFault(read.fault, kMaxLayoutBytes));
  }
}

}  // namespace tarvik::components::report
