#include "data/backends/sqlite/sqlite_errors.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdint>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data::sqlite {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Tokens enough to read an INSERT's column and value lists.
std::vector<std::string> Tokenize(const std::string& sql) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      std::size_t j = i + 1;
      while (j < sql.size()) {
        if (sql[j] == close) {
          if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out.push_back(sql.substr(i, j + 1 - i));
      i = j + 1;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '?' ||
               c == '$' || c == '.' || c == '-' || c == '+') {
      std::size_t j = i + 1;
      while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) ||
                                sql[j] == '_' || sql[j] == '.'))
        ++j;
      out.push_back(sql.substr(i, j - i));
      i = j;
    } else {
      out.push_back(std::string(1, c));
      ++i;
    }
  }
  return out;
}

std::string Unquote(const std::string& token) {
  if (token.size() >= 2 && (token[0] == '"' || token[0] == '[' || token[0] == '`'))
    return token.substr(1, token.size() - 2);
  return token;
}

// Items of a parenthesised list starting at tokens[pos] == "(", one token each;
// empty when an item is not a single token.
std::vector<std::string> ReadList(const std::vector<std::string>& t, std::size_t& pos) {
  std::vector<std::string> items;
  if (pos >= t.size() || t[pos] != "(") return {};
  ++pos;
  while (pos < t.size()) {
    if (pos + 1 >= t.size()) return {};
    items.push_back(t[pos]);
    const std::string& sep = t[pos + 1];
    pos += 2;
    if (sep == ")") return items;
    if (sep != ",") return {};
  }
  return {};
}

std::string ValueText(const Value& v) {
  if (std::holds_alternative<std::monostate>(v)) return "Null";
  if (auto n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  if (auto d = std::get_if<double>(&v)) return regional::FormatDouble(*d);
  if (auto s = std::get_if<std::string>(&v)) return "'" + *s + "'";
  return regional::FormatDate(std::get<DateValue>(v).ole);
}

}  // namespace

std::string InsertedValueText(const std::string& sql, const std::vector<Value>& params,
                              const std::string& column) {
  std::vector<std::string> t = Tokenize(sql);
  std::size_t pos = 0;
  if (t.size() < 4 || !EqualsNoCase(t[0], "INSERT")) return {};
  pos = 1;
  if (EqualsNoCase(t[pos], "OR") && pos + 2 < t.size()) pos += 2;
  if (!EqualsNoCase(t[pos], "INTO")) return {};
  pos += 2;  // INTO table
  std::vector<std::string> columns = ReadList(t, pos);
  if (columns.empty() || pos >= t.size() || !EqualsNoCase(t[pos], "VALUES")) return {};
  ++pos;
  std::vector<std::string> values = ReadList(t, pos);
  if (values.size() != columns.size()) return {};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!EqualsNoCase(Unquote(columns[i]), column)) continue;
    const std::string& v = values[i];
    if (v.size() > 1 && v[0] == '?') {
      std::size_t n = 0;
      for (std::size_t k = 1; k < v.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(v[k]))) return {};
        n = n * 10 + static_cast<std::size_t>(v[k] - '0');
      }
      if (n == 0 || n > params.size()) return {};
      return ValueText(params[n - 1]);
    }
    if (v == "?") return {};
    return v;
  }
  return {};
}

void RaiseSqliteError(const SQLite::Exception& e, const std::string& sql,
                      const std::vector<Value>& params) {
  const int code = e.getErrorCode();
  const int extended = e.getExtendedErrorCode();
  const std::string message = e.what();
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    RaiseError(kErrLocked,
               "The database is locked by another user; try again later (" + message + ").");
  }
  if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
    // SQLite says "UNIQUE constraint failed: Table.column[, Table.column2]".
    const std::string what = extended == SQLITE_CONSTRAINT_PRIMARYKEY ? "primary key" : "unique index";
    std::size_t colon = message.find(": ");
    std::string target = colon == std::string::npos ? std::string() : message.substr(colon + 2);
    std::size_t dot = target.find('.');
    if (dot == std::string::npos || target.find(',') != std::string::npos) {
      RaiseError(kErrKeyViolation, "Duplicate value in " + what + " (" + message + ").");
    }
    std::string table = target.substr(0, dot);
    std::string column = target.substr(dot + 1);
    std::string value = InsertedValueText(sql, params, column);
    RaiseError(kErrKeyViolation, "Duplicate value in " + what + " of " + table + " (" + column +
                                     (value.empty() ? std::string() : " = " + value) + ").");
  }
  RaiseError(kErrDatabase, message);
}

}  // namespace tarvik::data::sqlite
