#include "components/report/text_template.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "platform/date_pattern.h"
#include "platform/regional.h"

namespace tarvik::components::report {
namespace {

struct FormatName {
  std::string_view name;
  Format format;
};
constexpr std::array<FormatName, 5> kFormats = {{
    {"money", Format::kMoney},
    {"number", Format::kNumber},
    {"percent", Format::kPercent},
    {"date", Format::kDate},
    {"text", Format::kText},
}};

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::optional<double> AsNumber(const data::Value& v) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* s = std::get_if<std::string>(&v)) return regional::ParseNumber(*s);
  return std::nullopt;
}

// 1234567.891 -> "1,234,567.89"
std::string Money(double amount) {
  const double rounded = std::round(amount * 100) / 100;
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.2f", std::fabs(rounded));
  std::string whole(digits, std::string_view(digits).find('.'));
  std::string grouped;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
    grouped += whole[i];
  }
  const bool negative = rounded < 0;
  return (negative ? "-" : "") + grouped + (digits + whole.size());
}

}  // namespace

std::string FormatValue(const data::Value& value, Format format, const FormatStyle& style) {
  if (data::IsNull(value)) return {};
  switch (format) {
    case Format::kMoney:
      if (auto n = AsNumber(value)) return Money(*n);
      break;
    case Format::kNumber:
      if (auto n = AsNumber(value)) return regional::FormatDouble(*n);
      break;
    case Format::kPercent:
      if (auto n = AsNumber(value)) return regional::FormatDouble(*n) + "%";
      break;
    case Format::kDate:
      if (auto* d = std::get_if<data::DateValue>(&value)) {
        if (auto text = regional::FormatDatePattern(d->ole, style.date_pattern)) return *text;
        return regional::FormatIsoDate(std::floor(d->ole));
      }
      break;
    case Format::kPlain:
    case Format::kText:
      break;
  }
  return data::ValueToText(value);
}

TextTemplate::TextTemplate(const std::string& text, int line) : line_(line) {
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) parts_.push_back({std::exchange(literal, {}), {}, Format::kPlain});
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '}') {
      if (i + 1 < text.size() && text[i + 1] == '}') {
        literal += '}';
        ++i;
        continue;
      }
      throw std::invalid_argument("a lone '}' (write '}}' for the brace itself)");
    }
    if (c != '{') {
      literal += c;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '{') {
      literal += '{';
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i);
    if (close == std::string::npos) throw std::invalid_argument("'{' without its '}'");
    std::string inner = text.substr(i + 1, close - i - 1);
    Part part;
    const std::size_t colon = inner.find(':');
    part.name = inner.substr(0, colon);
    if (part.name.empty()) throw std::invalid_argument("an empty placeholder '{}'");
    for (char n : part.name) {
      if (!IsNameChar(n)) throw std::invalid_argument("a placeholder name of other than letters, digits and _");
    }
    if (colon != std::string::npos) {
      const std::string format = inner.substr(colon + 1);
      bool known = false;
      for (const auto& f : kFormats) {
        if (f.name == format) {
          part.format = f.format;
          known = true;
        }
      }
      if (!known) {
        throw std::invalid_argument("an unknown format (money, number, percent, date or text)");
      }
    }
    flush();
    parts_.push_back(std::move(part));
    i = close;
  }
  flush();
}

std::string TextTemplate::Expand(const Lookup& lookup, const FormatStyle& style) const {
  std::string out;
  std::string line;
  bool placeholders = false, filled = false;
  // "Ship date: " with no ship date says nothing; its line goes.
  auto end_line = [&](bool last) {
    if (!placeholders || filled) {
      out += line;
      if (!last) out += '\n';
    } else if (last && !out.empty() && out.back() == '\n') {
      out.pop_back();
    }
    line.clear();
    placeholders = filled = false;
  };
  for (const auto& p : parts_) {
    if (p.name.empty()) {
      for (char c : p.literal) {
        if (c == '\n') end_line(false);
        else line += c;
      }
      continue;
    }
    std::optional<data::Value> value = lookup(p.name);
    if (!value) throw std::out_of_range(p.name);
    const std::string text = FormatValue(*value, p.format, style);
    placeholders = true;
    filled = filled || !text.empty();
    line += text;
  }
  end_line(true);
  return out;
}

std::vector<std::string> TextTemplate::Names() const {
  std::vector<std::string> names;
  for (const auto& p : parts_) {
    if (!p.name.empty()) names.push_back(p.name);
  }
  return names;
}

}  // namespace tarvik::components::report
