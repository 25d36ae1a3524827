#include "data/sql_text.h"
#include "platform/ascii.h"

#include <algorithm>
#include <cctype>

namespace tarvik::data {

namespace {

// End (one past) of the quoted piece starting at `begin`, where sql[begin]
// is the quote; a doubled quote stays inside.
std::size_t QuotedEnd(std::string_view sql, std::size_t begin) {
  const char quote = sql[begin];
  std::size_t i = begin + 1;
  while (i < sql.size()) {
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

std::size_t CommentEnd(std::string_view sql, std::size_t begin) {
  if (sql[begin] == '-') {
    std::size_t nl = sql.find('\n', begin);
    return nl == std::string_view::npos ? sql.size() : nl + 1;
  }
  std::size_t close = sql.find("*/", begin + 2);
  return close == std::string_view::npos ? sql.size() : close + 2;
}

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

void ScanSql(std::string_view sql, const std::function<void(SqlPiece, std::string_view)>& piece) {
  std::size_t code_begin = 0;
  std::size_t i = 0;
  auto flush_code = [&](std::size_t end) {
    if (end > code_begin) piece(SqlPiece::kCode, sql.substr(code_begin, end - code_begin));
  };
  while (i < sql.size()) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    SqlPiece kind;
    std::size_t end;
    if (c == '\'') {
      kind = SqlPiece::kString;
      end = QuotedEnd(sql, i);
    } else if (c == '"') {
      kind = SqlPiece::kIdentifier;
      end = QuotedEnd(sql, i);
    } else if ((c == '-' && next == '-') || (c == '/' && next == '*')) {
      kind = SqlPiece::kComment;
      end = CommentEnd(sql, i);
    } else {
      ++i;
      continue;
    }
    flush_code(i);
    piece(kind, sql.substr(i, end - i));
    i = end;
    code_begin = end;
  }
  flush_code(sql.size());
}

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The words of code text, upper-cased.
std::vector<std::string> Words(std::string_view code) {
  std::vector<std::string> out;
  std::string word;
  for (char c : code) {
    if (IsWordChar(c)) {
      word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (!word.empty()) {
      out.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) out.push_back(std::move(word));
  return out;
}

// A trigger whose body (BEGIN ... END) has not ended yet: its ';' belong to
// the body's statements. `code` is the statement's code so far.
bool InsideTriggerBody(std::string_view code) {
  const std::vector<std::string> w = Words(code);
  std::size_t i = 0;
  if (w.size() < 2 || w[i++] != "CREATE") return false;
  if (w[i] == "TEMP" || w[i] == "TEMPORARY") ++i;
  if (i >= w.size() || w[i] != "TRIGGER") return false;
  return std::find(w.begin(), w.end(), "BEGIN") != w.end() && w.back() != "END";
}

}  // namespace

std::vector<std::string> SplitStatements(std::string_view sql) {
  std::vector<std::string> out;
  std::string current;
  std::string code;          // the code pieces of current
  bool has_content = false;  // something besides blanks and comments
  auto finish = [&] {
    if (has_content) out.push_back(TrimBlanks(current));
    current.clear();
    code.clear();
    has_content = false;
  };
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    if (kind != SqlPiece::kCode) {
      current.append(text);
      if (kind != SqlPiece::kComment) has_content = true;
      if (kind != SqlPiece::kComment) code += ' ';
      return;
    }
    std::size_t start = 0;
    for (std::size_t semi = text.find(';'); semi != std::string_view::npos;
         semi = text.find(';', start)) {
      std::string_view part = text.substr(start, semi - start);
      current.append(part);
      code.append(part);
      if (!IsBlank(part)) has_content = true;
      if (InsideTriggerBody(code)) {
        current += ';';
        code += ';';
      } else {
        finish();
      }
      start = semi + 1;
    }
    std::string_view rest = text.substr(start);
    current.append(rest);
    code.append(rest);
    if (!IsBlank(rest)) has_content = true;
  });
  finish();
  return out;
}

std::optional<std::string> WholeTableName(std::string_view select) {
  bool plain = true;
  std::string code;
  ScanSql(select, [&](SqlPiece kind, std::string_view text) {
    if (kind == SqlPiece::kCode) {
      code.append(text);
    } else if (kind != SqlPiece::kComment) {
      plain = false;
    }
  });
  if (!plain) return std::nullopt;
  const std::string text = TrimBlanks(code);
  // SELECT * FROM name, in any case and spacing, nothing else.
  std::size_t at = 0;
  auto blanks = [&] {
    const std::size_t from = at;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at > from;
  };
  auto keyword = [&](std::string_view k) {
    if (text.size() - at < k.size()) return false;
    for (std::size_t i = 0; i < k.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(text[at + i])) != k[i]) return false;
    }
    at += k.size();
    return true;
  };
  if (!keyword("SELECT")) return std::nullopt;
  blanks();
  if (!keyword("*")) return std::nullopt;
  blanks();
  if (!keyword("FROM") || !blanks()) return std::nullopt;
  const std::size_t name_at = at;
  while (at < text.size() && IsWordChar(text[at])) ++at;
  if (at == name_at || at != text.size() || std::isdigit(static_cast<unsigned char>(text[name_at]))) {
    return std::nullopt;
  }
  return AsciiLower(std::string_view(text).substr(name_at));
}

std::optional<OrderedSelect> SplitTrailingOrderBy(std::string_view sql) {
  // Where the last ORDER BY of the top level starts, in code only.
  std::size_t clause = std::string_view::npos;
  bool plain_tail = true;  // nothing but code after the clause
  int depth = 0;
  std::size_t offset = 0;
  ScanSql(sql, [&](SqlPiece kind, std::string_view piece) {
    if (kind == SqlPiece::kCode) {
      const std::string upper = AsciiUpper(piece);
      for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '(') ++depth;
        if (piece[i] == ')') --depth;
        if (depth == 0 && upper.compare(i, 5, "ORDER") == 0 && (i == 0 || !IsWordChar(piece[i - 1])) &&
            (i + 5 < piece.size() && !IsWordChar(piece[i + 5]))) {
          clause = offset + i;
          plain_tail = true;
        }
      }
    } else if (clause != std::string_view::npos && kind != SqlPiece::kComment) {
      plain_tail = false;  // a quoted piece inside the clause
    }
    offset += piece.size();
  });
  if (clause == std::string_view::npos || !plain_tail) return std::nullopt;

  std::string_view rest = sql.substr(clause + 5);
  auto skip_blanks = [&] {
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
  };
  auto word = [&] {
    std::size_t n = 0;
    while (n < rest.size() && (IsWordChar(rest[n]) || rest[n] == '.')) ++n;
    std::string w(rest.substr(0, n));
    rest.remove_prefix(n);
    return w;
  };
  skip_blanks();
  if (AsciiUpper(word()) != "BY") return std::nullopt;
  OrderedSelect out;
  out.base = TrimBlanks(sql.substr(0, clause));
  for (;;) {
    skip_blanks();
    const std::string expression = word();
    if (expression.empty() || std::isdigit(static_cast<unsigned char>(expression.front()))) {
      return std::nullopt;
    }
    std::string column = expression;
    if (auto dot = column.rfind('.'); dot != std::string::npos) column = column.substr(dot + 1);
    if (column.empty()) return std::nullopt;
    OrderTerm term{expression, column, false};
    skip_blanks();
    std::string_view before = rest;
    const std::string direction = AsciiUpper(word());
    if (direction == "DESC") {
      term.descending = true;
    } else if (direction != "ASC") {
      rest = before;
    }
    out.terms.push_back(term);
    skip_blanks();
    if (rest.empty()) return out;
    if (rest.front() != ',') return std::nullopt;
    rest.remove_prefix(1);
  }
}

std::string OrderByClause(const std::vector<OrderTerm>& terms, bool reversed) {
  std::string out = " ORDER BY ";
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (i) out += ", ";
    out += terms[i].expression;
    out += (terms[i].descending != reversed) ? " DESC" : " ASC";
  }
  return out;
}

}  // namespace tarvik::data
