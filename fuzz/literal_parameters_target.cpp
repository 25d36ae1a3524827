#include <string>
#include <variant>

#include "data/literal_parameters.h"
#include "data/sql_text.h"
#include "fuzz/fuzz_targets.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::fuzz {
namespace {

using data::Dialect;
using data::LiteralSplit;

void Require(bool holds, const std::string& what) {
  if (!holds) throw InvariantBroken(what);
}

// The literal a value came from, in a form that reads back as the same value.
std::string LiteralText(data::LiteralType type, const data::Value& value) {
  switch (type) {
    case data::LiteralType::kInteger:
      return std::to_string(std::get<std::int64_t>(value));
    case data::LiteralType::kReal:
      return std::get<std::string>(value);
    case data::LiteralType::kDate:
      return "#" + regional::FormatDate(std::get<data::DateValue>(value).ole) + "#";
    case data::LiteralType::kText:
      break;
  }
  std::string out = "'";
  for (char c : std::get<std::string>(value)) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// The shape with every marker replaced by its value's literal; also checks
// that the markers run ?1..?n in order.
std::string Rebuilt(const LiteralSplit& split) {
  std::string out;
  std::size_t next = 1;
  data::ScanSql(split.shape, [&](data::SqlPiece kind, std::string_view piece) {
    if (kind != data::SqlPiece::kCode) {
      out.append(piece);
      return;
    }
    for (std::size_t i = 0; i < piece.size();) {
      if (piece[i] != '?') {
        out += piece[i++];
        continue;
      }
      std::size_t j = i + 1, n = 0;
      while (j < piece.size() && piece[j] >= '0' && piece[j] <= '9') n = n * 10 + static_cast<std::size_t>(piece[j++] - '0');
      Require(n == next && n <= split.values.size(), "markers out of order in " + split.shape);
      out += LiteralText(split.types[n - 1], split.values[n - 1]);
      ++next;
      i = j;
    }
  });
  Require(next == split.values.size() + 1, "a value without its marker in " + split.shape);
  return out;
}

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

void LiteralParametersTarget(std::string_view input) {
  const LiteralSplit split = data::SplitLiterals(input);
  Require(split.types.size() == split.values.size(), "a type per value");
  if (split.values.empty()) {
    Require(split.shape == input, "a text without literals to extract is left whole");
  } else {
    // The values put back where they stood split into the same shape and values.
    const LiteralSplit again = data::SplitLiterals(Rebuilt(split));
    Require(again.shape == split.shape && again.values == split.values && again.types == split.types,
            "splitting the rebuilt text gives another shape or other values: " + split.shape);
  }
  // A text fails to translate with parameters exactly when it failed as literal text.
  for (Dialect d : {Dialect::kSqlite, Dialect::kPostgres}) {
    const int literal = ErrorOf([&] { data::TranslateClassic(input, d); });
    const int shaped = ErrorOf([&] { data::BackendShape(split, d); });
    Require(literal == shaped, "translation errors differ: " + std::to_string(literal) + " vs " +
                                   std::to_string(shaped));
  }
}

}  // namespace tarvik::fuzz
