// Classic statements built with literal values (the header INSERT, UPDATE
// and DELETE by key, selections) reach the backend as one prepared text per
// shape: literals where a parameter means exactly what the literal meant
// become ?n markers, and the values travel as parameters of the type the
// literal had. Everything else stays as written: Null, True/False, ORDER BY
// positions, LIMIT counts, type lengths, function arguments, select lists.
// Extraction happens where a typed operand decides the parameter's type:
//   VALUES (...) of a one-row INSERT, SET column = literal,
//   operand <op> literal (=, <>, !=, <, >, <=, >=), operand [NOT] IN (...),
//   operand [NOT] BETWEEN literal AND literal, operand [NOT] LIKE 'text'.
// A text with markers of its own (? or $ in code) or unbalanced parentheses
// is left whole, so its errors stay what they were.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/dialect.h"
#include "data/value.h"

namespace tarvik::data {

enum class LiteralType { kInteger, kReal, kText, kDate };

// The shape is the classic text with ?1..?n where the literals stood; with
// nothing to extract it is the text itself. values[i] belongs to ?i+1:
// integers as std::int64_t, reals as the text written (each backend reads
// it as its own parser reads the literal), text without quotes ('' undone),
// dates as DateValue.
struct LiteralSplit {
  std::string shape;
  std::vector<LiteralType> types;
  std::vector<Value> values;
};
LiteralSplit SplitLiterals(std::string_view classic_sql);

// The shape in the backend's dialect, each marker typed as its literal was:
// SQLite reads a real with its own number parser and without affinity, as
// it reads the literal (+CAST(?n AS REAL)); PostgreSQL types numbers and
// dates as its literals are typed (integer, bigint, numeric, timestamp) and
// leaves text untyped, as a quoted literal is.
std::string BackendShape(const LiteralSplit& split, Dialect dialect);

// A classic statement built by a caller that knows where its literals
// stand, so the connection need not read the text back for them. Each
// Literal is one value as the converters write it (a number with or
// without its sign, a quoted text, a #date#, Null) standing where
// SplitLiterals turns a literal into a parameter: between the commas of the
// VALUES of a one-row INSERT, after "column =" in a SET list or a
// comparison. Split() then gives what SplitLiterals(text()) gives.
class LiteralSql {
 public:
  LiteralSql& Code(std::string_view code) {
    text_.append(code);
    return *this;
  }
  LiteralSql& Literal(std::string_view literal) {
    literals_.push_back({text_.size(), literal.size()});
    text_.append(literal);
    return *this;
  }
  const std::string& text() const { return text_; }
  LiteralSplit Split() const;

 private:
  struct Span {
    std::size_t begin, size;
  };
  std::string text_;
  std::vector<Span> literals_;
};

// The connection's side: shapes translated once, in a bounded cache.
class LiteralStatements {
 public:
  explicit LiteralStatements(Dialect dialect) : dialect_(dialect) {}
  struct Statement {
    const std::string& sql;  // valid until the next Prepare
    std::vector<Value> values;
  };
  Statement Prepare(std::string_view classic_sql) { return Prepare(SplitLiterals(classic_sql)); }
  Statement Prepare(LiteralSplit split);

 private:
  static constexpr std::size_t kShapes = 256;
  Dialect dialect_;
  std::unordered_map<std::string, std::string> shapes_;
};

}  // namespace tarvik::data
