// A text with placeholders: "{name}" or "{name:format}", "{{" and "}}" for
// the braces themselves. Formats: money (two decimals, grouped), number,
// percent, date, text. Names are resolved only when the text is expanded;
// a line whose placeholders all come out empty is left out, label and all.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/value.h"

namespace tarvik::components::report {

enum class Format { kPlain, kMoney, kNumber, kPercent, kDate, kText };

// How values are written out beyond their format.
struct FormatStyle {
  std::string date_pattern = "YYYY-MM-DD";  // regional::FormatDatePattern
};

class TextTemplate {
 public:
  // Answers the value of a name, nullopt when the name is unknown.
  using Lookup = std::function<std::optional<data::Value>(const std::string& name)>;

  TextTemplate() = default;
  // Throws std::invalid_argument with the reason when the text is malformed.
  TextTemplate(const std::string& text, int line);

  // Throws std::out_of_range naming the first unknown placeholder.
  std::string Expand(const Lookup& lookup, const FormatStyle& style = {}) const;
  bool empty() const { return parts_.empty(); }
  int line() const { return line_; }
  // The placeholder names, in order.
  std::vector<std::string> Names() const;

 private:
  struct Part {
    std::string literal;  // when name is empty
    std::string name;
    Format format = Format::kPlain;
  };
  std::vector<Part> parts_;
  int line_ = 0;
};

// One value as text in a format.
std::string FormatValue(const data::Value& value, Format format, const FormatStyle& style = {});

}  // namespace tarvik::components::report
