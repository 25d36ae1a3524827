// Lexical view of SQL text shared by the dialect translator, the statement
// splitter and the connection: which parts are code and which are quoted
// strings, quoted identifiers or comments (never to be rewritten).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::data {

enum class SqlPiece { kCode, kString, kIdentifier, kComment };

// Calls `piece` for consecutive pieces that together make up `sql`:
// '...' strings (with '' inside), "..." identifiers (with "" inside),
// -- line comments and /* */ block comments; everything else is code. An
// unterminated quote or comment runs to the end of the text.
void ScanSql(std::string_view sql, const std::function<void(SqlPiece, std::string_view)>& piece);

// Splits at ';' outside quotes, comments and the BEGIN ... END body of a
// CREATE TRIGGER; drops pieces holding only blanks and comments; keeps each
// statement's text otherwise unchanged (trimmed).
std::vector<std::string> SplitStatements(std::string_view sql);

// The table of a "SELECT * FROM name" with nothing else (any case and
// spacing, an unquoted name), lower-cased; nullopt for any other text.
std::optional<std::string> WholeTableName(std::string_view select);

// The text without leading and trailing white space.
std::string TrimBlanks(std::string_view text);

// A SELECT ending in a plain ORDER BY (column names, optionally qualified,
// each with ASC or DESC): the text before the clause and the terms. Record
// sets use it to read the end of a large result backwards and to find a
// row's position by counting. nullopt when the clause is absent or holds
// anything else (expressions, positions, COLLATE, NULLS ...).
struct OrderTerm {
  std::string expression;  // as written, e.g. h.order_number
  std::string column;      // unqualified: the result's column name
  bool descending = false;
};
struct OrderedSelect {
  std::string base;  // the SELECT without its ORDER BY
  std::vector<OrderTerm> terms;
};
std::optional<OrderedSelect> SplitTrailingOrderBy(std::string_view sql);
// " ORDER BY " with the terms, each direction reversed when `reversed`.
std::string OrderByClause(const std::vector<OrderTerm>& terms, bool reversed);

}  // namespace tarvik::data
