#include "data/literal_parameters.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/regional.h"

namespace tarvik::data {

namespace {

enum class Tok { kWord, kQuotedName, kNumber, kString, kDate, kPunct, kOther };

struct Token {
  Tok kind;
  std::size_t begin, end;  // bytes of the text
  std::string word;        // words upper-cased; punctuation as written
  bool usable = false;     // a literal a parameter can stand for
  LiteralType type = LiteralType::kText;
  Value value;
};

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || u >= 0x80;
}
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Words that never end an operand of known type: a literal after them and
// an operator keeps its own type, or they start a clause.
bool IsKeyword(const std::string& w) {
  static const char* const kWords[] = {
      "ALL",    "AND",  "ANY",     "AS",     "ASC",     "BETWEEN",   "BY",       "CASE",   "COLLATE",
      "CROSS",  "DATE", "DELETE",  "DESC",   "DISTINCT", "ELSE",     "END",      "ESCAPE", "EXCEPT",
      "EXISTS", "FALSE", "FROM",   "FULL",   "GROUP",   "HAVING",    "IN",       "INNER",  "INSERT",
      "INTERSECT", "INTERVAL", "INTO", "IS", "JOIN",    "LEFT",      "LIKE",     "LIMIT",  "NOT",
      "NULL",   "OFFSET", "ON",    "OR",     "ORDER",   "OUTER",     "RETURNING", "RIGHT", "SELECT",
      "SET",    "SOME", "THEN",    "TIME",   "TIMESTAMP", "TOP",     "TRUE",     "UNION",  "UPDATE",
      "USING",  "VALUES", "WHEN",  "WHERE",  "WITH"};
  for (const char* k : kWords) {
    if (w == k) return true;
  }
  return false;
}

bool Terminated(std::string_view quoted) {
  const char q = quoted.front();
  for (std::size_t i = 1; i < quoted.size(); ++i) {
    if (quoted[i] != q) continue;
    if (i + 1 < quoted.size() && quoted[i + 1] == q) {
      ++i;
      continue;
    }
    return i + 1 == quoted.size();
  }
  return false;
}

std::string Unquoted(std::string_view quoted) {
  std::string out;
  out.reserve(quoted.size());
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    out += quoted[i];
    if (quoted[i] == '\'') ++i;  // the second of a doubled quote
  }
  return out;
}

// A #date# literal as the translator reads it; none when malformed.
std::optional<Token> DateToken(std::string_view literal, std::size_t begin) {
  const std::string_view inner = literal.substr(1, literal.size() - 2);
  const bool blank =
      std::all_of(inner.begin(), inner.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
  const std::optional<double> date = blank ? std::nullopt : regional::ParseDate(inner);
  if (!date) return std::nullopt;
  Token t{Tok::kDate, begin, begin + literal.size(), {}};
  t.usable = true;
  t.type = LiteralType::kDate;
  t.value = DateValue{*date};
  return t;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // nullopt: the text is to be left whole.
  std::optional<std::vector<Token>> Run() {
    // About one token in every four bytes of an insert's text: growing the
    // vector would move every token several times.
    tokens_.reserve(text_.size() / 4 + 8);
    std::size_t offset = 0;
    ScanSql(text_, [&](SqlPiece kind, std::string_view piece) {
      const std::size_t begin = offset;
      offset += piece.size();
      if (whole_) return;
      switch (kind) {
        case SqlPiece::kCode:
          Code(piece, begin);
          break;
        case SqlPiece::kString:
          String(piece, begin);
          break;
        case SqlPiece::kIdentifier:
          tokens_.push_back({Tok::kQuotedName, begin, begin + piece.size(), std::string(piece)});
          break;
        case SqlPiece::kComment:
          break;
      }
    });
    if (whole_) return std::nullopt;
    return std::move(tokens_);
  }

 private:
  void String(std::string_view piece, std::size_t begin) {
    Token t{Tok::kString, begin, begin + piece.size(), {}};
    // E'..', N'..', X'..', U&'..' are other kinds of constant.
    const bool prefixed = begin > 0 && (IsNameChar(text_[begin - 1]) || text_[begin - 1] == '&');
    if (Terminated(piece) && !prefixed) {
      t.usable = true;
      t.type = LiteralType::kText;
      t.value = Unquoted(piece);
    }
    tokens_.push_back(std::move(t));
  }

  void Code(std::string_view code, std::size_t base) {
    std::size_t i = 0;
    while (i < code.size() && !whole_) {
      const char c = code[i];
      const char next = i + 1 < code.size() ? code[i + 1] : '\0';
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++i;
      } else if (c == '?' || c == '$') {
        whole_ = true;  // markers of its own
      } else if (IsNameChar(c) && !IsDigit(c)) {
        std::size_t j = i;
        while (j < code.size() && (IsNameChar(code[j]) || code[j] == '$')) ++j;
        tokens_.push_back({Tok::kWord, base + i, base + j, AsciiUpper(code.substr(i, j - i))});
        i = j;
      } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
        i = Number(code, base, i);
      } else if (c == '#') {
        const std::size_t close = code.find('#', i + 1);
        if (close == std::string_view::npos) {
          whole_ = true;  // the translator reports it, as before
          return;
        }
        Date(code.substr(i, close - i + 1), base + i);
        i = close + 1;
      } else {
        static const char* const kPairs[] = {"<=", ">=", "<>", "!=", "==", "||", "::", "=>", "->"};
        std::size_t len = 1;
        for (const char* pair : kPairs) {
          if (c == pair[0] && next == pair[1]) len = 2;
        }
        tokens_.push_back({Tok::kPunct, base + i, base + i + len, std::string(code.substr(i, len))});
        i += len;
      }
    }
  }

  std::size_t Number(std::string_view code, std::size_t base, std::size_t i) {
    std::size_t j = i;
    bool real = false;
    while (j < code.size() && IsDigit(code[j])) ++j;
    if (j < code.size() && code[j] == '.') {
      real = true;
      ++j;
      while (j < code.size() && IsDigit(code[j])) ++j;
    }
    if (j < code.size() && (code[j] == 'e' || code[j] == 'E')) {
      std::size_t k = j + 1;
      if (k < code.size() && (code[k] == '+' || code[k] == '-')) ++k;
      if (k < code.size() && IsDigit(code[k])) {
        real = true;
        j = k;
        while (j < code.size() && IsDigit(code[j])) ++j;
      }
    }
    Token t{Tok::kNumber, base + i, base + j, {}};
    if (j < code.size() && (IsNameChar(code[j]) || code[j] == '.' || code[j] == '$')) {
      // 0x1F, 1e, 1.2.3: not a plain number.
      while (j < code.size() && (IsNameChar(code[j]) || code[j] == '.' || code[j] == '$')) ++j;
      tokens_.push_back({Tok::kOther, base + i, base + j, {}});
      return j;
    }
    const std::string_view digits = code.substr(i, j - i);
    if (real) {
      t.usable = true;
      t.type = LiteralType::kReal;
      t.value = std::string(digits);
    } else {
      std::int64_t n = 0;
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
      // Past 64 bits both engines read another type: left as written.
      if (ec == std::errc() && end == digits.data() + digits.size()) {
        t.usable = true;
        t.type = LiteralType::kInteger;
        t.value = n;
      }
    }
    tokens_.push_back(std::move(t));
    return j;
  }

  // A malformed date leaves the text whole so that it fails as before.
  void Date(std::string_view literal, std::size_t begin) {
    std::optional<Token> t = DateToken(literal, begin);
    if (!t) {
      whole_ = true;
      return;
    }
    tokens_.push_back(std::move(*t));
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  bool whole_ = false;
};

enum class Paren { kGroup, kCall, kValues, kList };

// Decides which literal tokens become parameters.
class Analyzer {
 public:
  explicit Analyzer(std::vector<Token>& tokens) : t_(tokens) {}

  // false: leave the text whole.
  bool Run() {
    if (t_.empty() || t_[0].kind != Tok::kWord) return false;
    const std::string& verb = t_[0].word;
    if (verb != "SELECT" && verb != "INSERT" && verb != "UPDATE" && verb != "DELETE") return false;
    if (!MatchParens()) return false;
    ClassifyParens(verb == "INSERT");
    if (verb == "UPDATE") FindSetList();
    for (std::size_t i = 0; i < t_.size(); ++i) {
      if (t_[i].usable) t_[i].usable = Extractable(i);
    }
    return true;
  }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  bool Is(std::size_t i, Tok kind, std::string_view word) const {
    return i < t_.size() && t_[i].kind == kind && t_[i].word == word;
  }
  bool IsWord(std::size_t i, std::string_view w) const { return Is(i, Tok::kWord, w); }
  bool IsPunct(std::size_t i, std::string_view p) const { return Is(i, Tok::kPunct, p); }
  bool IsLiteral(std::size_t i) const {
    return i < t_.size() && (t_[i].kind == Tok::kNumber || t_[i].kind == Tok::kString || t_[i].kind == Tok::kDate);
  }

  bool MatchParens() {
    match_.assign(t_.size(), kNone);
    open_.assign(t_.size(), kNone);
    std::vector<std::size_t> stack;
    for (std::size_t i = 0; i < t_.size(); ++i) {
      open_[i] = stack.empty() ? kNone : stack.back();
      if (IsPunct(i, "(")) {
        stack.push_back(i);
      } else if (IsPunct(i, ")")) {
        if (stack.empty()) return false;
        match_[i] = stack.back();
        match_[stack.back()] = i;
        stack.pop_back();
        open_[i] = stack.empty() ? kNone : stack.back();  // a closing mark stands outside
      }
    }
    return stack.empty();
  }

  // Keywords that are also functions (SQLite's date(), left() ...).
  bool IsFunctionWord(std::size_t i) const {
    for (const char* w : {"DATE", "TIME", "TIMESTAMP", "LEFT", "RIGHT", "INTERVAL"}) {
      if (IsWord(i, w)) return true;
    }
    return false;
  }
  // An expression of known type ends at i: a column (qualified or quoted)
  // or a function's result.
  bool IsOperand(std::size_t i) const {
    if (i >= t_.size()) return false;
    if (t_[i].kind == Tok::kQuotedName) return true;
    if (t_[i].kind == Tok::kWord) return !IsKeyword(t_[i].word);
    return IsPunct(i, ")") && kind_[match_[i]] == Paren::kCall;
  }
  // The operand of IN, LIKE or BETWEEN at k, past a NOT.
  bool OperandBefore(std::size_t k) const {
    if (k == 0) return false;
    std::size_t j = k - 1;
    if (IsWord(j, "NOT")) {
      if (j == 0) return false;
      --j;
    }
    return IsOperand(j);
  }

  void ClassifyParens(bool insert) {
    kind_.assign(t_.size(), Paren::kGroup);
    for (std::size_t k = 0; k < t_.size(); ++k) {
      if (!IsPunct(k, "(") || k == 0) continue;
      const std::size_t before = k - 1;
      const std::size_t after = match_[k] + 1;
      if (IsWord(before, "VALUES")) {
        // One row of an INSERT: each value takes its column's type.
        const bool one_row = after == t_.size() || IsPunct(after, ";");
        kind_[k] = insert && open_[k] == kNone && one_row ? Paren::kValues : Paren::kCall;
      } else if (IsWord(before, "IN")) {
        const bool subquery = IsWord(k + 1, "SELECT") || IsWord(k + 1, "WITH") || IsWord(k + 1, "VALUES");
        kind_[k] = !subquery && OperandBefore(before) ? Paren::kList : Paren::kCall;
      } else if ((t_[before].kind == Tok::kWord && (!IsKeyword(t_[before].word) || IsFunctionWord(before))) ||
                 t_[before].kind == Tok::kQuotedName) {
        kind_[k] = Paren::kCall;  // a function, a type, a column list
      } else if (t_[before].kind != Tok::kWord && t_[before].kind != Tok::kPunct) {
        kind_[k] = Paren::kCall;
      }
    }
  }

  void FindSetList() {
    for (std::size_t i = 0; i < t_.size(); ++i) {
      if (open_[i] != kNone) continue;
      if (set_begin_ == kNone && IsWord(i, "SET")) set_begin_ = i;
      if (set_begin_ != kNone && IsWord(i, "WHERE")) {
        set_end_ = i;
        return;
      }
    }
    set_end_ = t_.size();
  }
  bool InSetList(std::size_t i) const {
    return set_begin_ != kNone && i > set_begin_ && i < set_end_ && open_[i] == kNone;
  }

  // What may follow a literal that ends an operand.
  bool Boundary(std::size_t n, bool in_set) const {
    if (n >= t_.size() || IsPunct(n, ";") || IsPunct(n, ")")) return true;
    if (in_set && (IsPunct(n, ",") || IsWord(n, "WHERE"))) return true;
    static const char* const kEnds[] = {"AND",    "OR",    "ORDER",  "GROUP",     "HAVING",
                                        "LIMIT",  "OFFSET", "UNION", "EXCEPT",    "INTERSECT"};
    for (const char* w : kEnds) {
      if (IsWord(n, w)) return true;
    }
    return false;
  }

  // Where the literal at i starts, past a sign of a number.
  std::size_t Start(std::size_t i) const {
    if (t_[i].kind == Tok::kNumber && i > 0 && (IsPunct(i - 1, "-") || IsPunct(i - 1, "+"))) return i - 1;
    return i;
  }
  bool BetweenLow(std::size_t i) const {
    const std::size_t s = Start(i);
    return s > 0 && IsWord(s - 1, "BETWEEN") && OperandBefore(s - 1);
  }

  bool Extractable(std::size_t i) const {
    const std::size_t s = Start(i);
    if (s == 0) return false;
    const std::size_t p = s - 1;
    const std::size_t n = i + 1;
    const std::size_t encl = open_[i];
    const Paren paren = encl == kNone ? Paren::kGroup : kind_[encl];
    if (paren == Paren::kValues || paren == Paren::kList) {
      return (p == encl || IsPunct(p, ",")) && (IsPunct(n, ",") || n == match_[encl]);
    }
    if (paren != Paren::kGroup) return false;  // function arguments stay as written
    static const char* const kCompare[] = {"=", "<>", "!=", "<", ">", "<=", ">="};
    for (const char* op : kCompare) {
      if (IsPunct(p, op)) {
        return p > 0 && IsOperand(p - 1) && Boundary(n, InSetList(i) && t_[p].word == "=");
      }
    }
    if (IsWord(p, "BETWEEN")) return OperandBefore(p) && IsWord(n, "AND");
    if (IsWord(p, "AND")) return p > 0 && IsLiteral(p - 1) && BetweenLow(p - 1) && Boundary(n, false);
    if (IsWord(p, "LIKE")) return t_[i].kind == Tok::kString && OperandBefore(p) && Boundary(n, false);
    return false;
  }

  std::vector<Token>& t_;
  std::vector<std::size_t> match_, open_;
  std::vector<Paren> kind_;
  std::size_t set_begin_ = kNone, set_end_ = kNone;
};

char TypeLetter(LiteralType type, const Value& value) {
  switch (type) {
    case LiteralType::kInteger: {
      const std::int64_t n = std::get<std::int64_t>(value);
      const bool narrow = n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max();
      return narrow ? 'i' : 'l';
    }
    case LiteralType::kReal:
      return 'r';
    case LiteralType::kText:
      return 't';
    case LiteralType::kDate:
      return 'd';
  }
  return '?';
}

// A marker as the backend takes it; see BackendShape.
std::string TypedMarker(std::string_view marker, char letter, Dialect dialect) {
  const std::string m(marker);
  if (dialect == Dialect::kSqlite) return letter == 'r' ? "+CAST(" + m + " AS REAL)" : m;
  switch (letter) {
    case 'i':
      return "CAST(" + m + " AS integer)";
    case 'l':
      return "CAST(" + m + " AS bigint)";
    case 'r':
      return "CAST(" + m + " AS numeric)";
    case 'd':
      return "CAST(" + m + " AS timestamp)";
    default:
      return m;
  }
}

std::string ShapeWithTypes(std::string_view shape, std::string_view letters, Dialect dialect) {
  std::string out;
  out.reserve(shape.size() + letters.size() * 24);
  ScanSql(shape, [&](SqlPiece kind, std::string_view piece) {
    if (kind != SqlPiece::kCode) {
      out.append(piece);
      return;
    }
    for (std::size_t i = 0; i < piece.size();) {
      if (piece[i] != '?') {
        out += piece[i++];
        continue;
      }
      std::size_t j = i + 1, n = 0;
      while (j < piece.size() && IsDigit(piece[j])) n = n * 10 + static_cast<std::size_t>(piece[j++] - '0');
      const char letter = n >= 1 && n <= letters.size() ? letters[n - 1] : 't';
      out += TypedMarker(piece.substr(i, j - i), letter, dialect);
      i = j;
    }
  });
  return out;
}

std::string Letters(const LiteralSplit& split) {
  std::string letters;
  letters.reserve(split.types.size());
  for (std::size_t i = 0; i < split.types.size(); ++i) letters += TypeLetter(split.types[i], split.values[i]);
  return letters;
}

}  // namespace

LiteralSplit SplitLiterals(std::string_view classic_sql) {
  LiteralSplit out;
  std::optional<std::vector<Token>> tokens = Tokenizer(classic_sql).Run();
  if (!tokens || !Analyzer(*tokens).Run()) {
    out.shape = std::string(classic_sql);
    return out;
  }
  out.shape.reserve(classic_sql.size());
  std::size_t copied = 0;
  for (Token& t : *tokens) {
    if (!t.usable) continue;
    out.shape.append(classic_sql.substr(copied, t.begin - copied));
    out.types.push_back(t.type);
    out.values.push_back(std::move(t.value));
    out.shape += '?';
    out.shape += std::to_string(out.values.size());
    // ?1AND would read as one token in PostgreSQL.
    if (t.end < classic_sql.size() && IsNameChar(classic_sql[t.end])) out.shape += ' ';
    copied = t.end;
  }
  out.shape.append(classic_sql.substr(copied));
  return out;
}

std::string BackendShape(const LiteralSplit& split, Dialect dialect) {
  return TranslateClassic(ShapeWithTypes(split.shape, Letters(split), dialect), dialect);
}

namespace {

// The forms the converters write, read as the whole text's splitting reads
// them: Null (no value), a quoted text, a plain or signed number, a #date#.
// Anything else is not known here (nullopt).
std::optional<std::optional<Token>> QuickLiteral(std::string_view s) {
  using Result = std::optional<std::optional<Token>>;
  if (s.size() == 4 && AsciiUpper(s) == "NULL") return Result(std::optional<Token>());
  if (s.size() >= 2 && s.front() == '\'' && Terminated(s)) {
    Token t{Tok::kString, 0, s.size(), {}};
    t.usable = true;
    t.value = Unquoted(s);
    return Result(std::move(t));
  }
  if (s.size() >= 3 && s.front() == '#' && s.back() == '#' && s.find('#', 1) == s.size() - 1) {
    std::optional<Token> t = DateToken(s, 0);
    if (!t) return std::nullopt;
    return Result(std::move(t));
  }
  // [sign] digits [. digits] [e [sign] digits]
  const std::size_t start = !s.empty() && (s.front() == '-' || s.front() == '+') ? 1 : 0;
  std::size_t i = start;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i > from;
  };
  if (!digits()) return std::nullopt;
  bool real = false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits()) return std::nullopt;
    real = true;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return std::nullopt;
    real = true;
  }
  if (i != s.size()) return std::nullopt;
  const std::string_view number = s.substr(start);
  Token t{Tok::kNumber, start, s.size(), {}};
  t.usable = true;
  if (real) {
    t.type = LiteralType::kReal;
    t.value = std::string(number);
    return Result(std::move(t));
  }
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
  // Past 64 bits both engines read another type: left as written.
  if (ec == std::errc::result_out_of_range) return Result(std::optional<Token>());
  if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
  t.type = LiteralType::kInteger;
  t.value = n;
  return Result(std::move(t));
}

}  // namespace

LiteralSplit LiteralSql::Split() const {
  LiteralSplit out;
  out.shape.reserve(text_.size());
  std::size_t copied = 0;
  for (const Span& span : literals_) {
    auto read = QuickLiteral(std::string_view(text_).substr(span.begin, span.size));
    // A form read only in its context (a malformed date, a quote left open)
    // may leave the whole text as written: the text decides.
    if (!read) return SplitLiterals(text_);
    std::optional<Token>& t = *read;
    if (!t) continue;  // Null
    out.shape.append(text_, copied, span.begin + t->begin - copied);
    out.types.push_back(t->type);
    out.values.push_back(std::move(t->value));
    out.shape += '?';
    out.shape += std::to_string(out.values.size());
    copied = span.begin + t->end;
    if (copied < text_.size() && IsNameChar(text_[copied])) out.shape += ' ';
  }
  out.shape.append(text_, copied);
  return out;
}

LiteralStatements::Statement LiteralStatements::Prepare(LiteralSplit split) {
  std::string key = split.shape;
  key += '\x1f';
  key += Letters(split);
  auto it = shapes_.find(key);
  if (it == shapes_.end()) {
    std::string translated = BackendShape(split, dialect_);  // may throw: nothing kept
    if (shapes_.size() >= kShapes) shapes_.clear();
    it = shapes_.emplace(std::move(key), std::move(translated)).first;
  }
  return Statement{it->second, std::move(split.values)};
}

}  // namespace tarvik::data
