#include "data/read_only_query.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/error.h"

namespace tarvik::data {
namespace {

// Words that may stand before '(' on PostgreSQL: keywords, and functions
// that only compute from their arguments. Anything else is refused.
constexpr std::array kCallable = {
    // keywords
    "all", "and", "any", "array", "as", "between", "by", "case", "distinct", "else", "except", "exists",
    "filter", "from", "having", "in", "intersect", "is", "join", "lateral", "like", "ilike", "limit", "not",
    "offset", "on", "or", "over", "partition", "row", "select", "some", "then", "union", "using", "values",
    "when", "where", "with",
    // functions
    "abs", "array_agg", "avg", "bool_and", "bool_or", "cast", "ceil", "ceiling", "char_length", "coalesce",
    "concat", "count", "date", "date_part", "date_trunc", "dense_rank", "extract", "first_value", "floor", "generate_series",
    "greatest", "group_concat", "lag", "last_value", "lead", "least", "left", "length", "lower", "lpad", "ltrim", "max", "min",
    "mod", "nullif", "position", "power", "rank", "replace", "right", "round", "row_number", "rpad", "rtrim",
    "sign", "split_part", "sqrt", "string_agg", "strpos", "substr", "substring", "sum", "to_char", "trim",
    "trunc", "upper"};

bool Callable(const std::string& word) {
  return std::find(kCallable.begin(), kCallable.end(), word) != kCallable.end();
}

bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

[[noreturn]] void Refuse(const std::string& why) {
  RaiseError(kErrInvalidOperation, "Refused: a query here may only read (" + why + ").");
}

}  // namespace

std::string CheckReadOnlyQuery(std::string_view sql, Dialect dialect) {
  std::string first;       // the statement's first word
  std::string name;        // the last word or quoted name, while only blanks follow it
  std::string before;      // the word before it: after WITH, RECURSIVE or AS a name may take a column list
  bool name_open = false;
  bool ended = false;      // a ';' was seen
  std::size_t end = sql.size();
  std::size_t offset = 0;
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    const std::size_t at = offset;
    offset += text.size();
    if (kind == SqlPiece::kComment) return;
    if (ended && TrimBlanks(std::string(text)).size() > 0) Refuse("one statement only");
    if (kind == SqlPiece::kIdentifier) {
      if (first.empty()) first = '"';
      before = name;
      name = AsciiLower(text.substr(1, text.size() >= 2 ? text.size() - 2 : 0));
      name_open = true;
      return;
    }
    if (kind == SqlPiece::kString) {
      if (first.empty()) first = '\'';
      name_open = false;
      return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (WordChar(c)) {
        std::size_t j = i;
        while (j < text.size() && WordChar(text[j])) ++j;
        before = name;
        name = AsciiLower(text.substr(i, j - i));
        if (ended) Refuse("one statement only");
        if (first.empty()) first = name;
        name_open = true;
        i = j - 1;
        continue;
      }
      if (ended && !std::isspace(static_cast<unsigned char>(c)) && c != ';') Refuse("one statement only");
      if (c == ';') {
        if (!ended) end = at + i;
        ended = true;
        name_open = false;
      } else if (c == '(') {
        const bool column_list = before == "with" || before == "recursive" || before == "as";
        if (name_open && dialect == Dialect::kPostgres && !Callable(name) && !column_list) {
          Refuse("function " + name + " is not among those a checking read may call");
        }
        name_open = false;
      } else if (c != '.' && !std::isspace(static_cast<unsigned char>(c))) {
        name_open = false;
      }
    }
  });
  if (first != "select" && first != "with" && first != "values") {
    Refuse(first.empty() ? "no statement given" : "it must be a SELECT, not " + first);
  }
  return TrimBlanks(std::string(sql.substr(0, end)));
}

std::string TimeLimitMessage(int seconds) {
  return "The query ran longer than " + std::to_string(seconds) + (seconds == 1 ? " second" : " seconds") +
         " and was stopped.";
}

}  // namespace tarvik::data
