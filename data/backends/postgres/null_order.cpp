#include "data/backends/postgres/null_order.h"

#include <cctype>
#include <vector>

namespace tarvik::data {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Words that end a sort list at its own nesting level.
bool EndsOrderList(const std::string& word) {
  static const char* const kWords[] = {"LIMIT", "OFFSET", "FETCH", "FOR", "UNION", "EXCEPT", "INTERSECT",
                                       "WINDOW", "RETURNING", "ROWS", "RANGE", "GROUPS"};
  for (const char* w : kWords) {
    if (word == w) return true;
  }
  return false;
}

struct Level {
  bool in_order = false;
  bool key_has_nulls = false;
  bool key_desc = false;
  bool key_started = false;
  std::size_t key_end = 0;  // output position just after the key's last token
};

class Rewriter {
 public:
  explicit Rewriter(const std::string& sql) : in_(sql) { levels_.emplace_back(); }

  std::string Run() {
    std::size_t i = 0;
    std::string pending_order;  // "ORDER" seen, waiting for "BY"
    while (i < in_.size()) {
      const char c = in_[i];
      if (c == '\'' || c == '"') {
        std::size_t end = SkipQuoted(i, c);
        Token(i, end);
        i = end;
      } else if (c == '-' && i + 1 < in_.size() && in_[i + 1] == '-') {
        std::size_t end = in_.find('\n', i);
        if (end == std::string::npos) end = in_.size();
        out_.append(in_, i, end - i);
        i = end;
      } else if (c == '/' && i + 1 < in_.size() && in_[i + 1] == '*') {
        std::size_t end = in_.find("*/", i + 2);
        end = end == std::string::npos ? in_.size() : end + 2;
        out_.append(in_, i, end - i);
        i = end;
      } else if (c == '(') {
        Token(i, i + 1);
        levels_.emplace_back();
        ++i;
      } else if (c == ')') {
        CloseList();
        if (levels_.size() > 1) levels_.pop_back();
        Token(i, i + 1);
        ++i;
      } else if (c == ',') {
        Level& l = levels_.back();
        if (l.in_order) {
          FinishKey();
          out_ += c;
        } else {
          Token(i, i + 1);
        }
        ++i;
      } else if (c == ';') {
        CloseList();
        out_ += c;
        ++i;
      } else if (IsWordChar(c)) {
        std::size_t end = i;
        while (end < in_.size() && IsWordChar(in_[end])) ++end;
        const std::string word = Upper(in_.substr(i, end - i));
        Level& l = levels_.back();
        if (word == "BY" && after_order_) {
          after_order_ = false;
          CloseList();
          out_.append(in_, i, end - i);
          l.in_order = true;
          l.key_started = false;
          l.key_has_nulls = l.key_desc = false;
        } else if (l.in_order && EndsOrderList(word)) {
          CloseList();
          out_.append(in_, i, end - i);
        } else {
          Token(i, end);
          if (l.in_order) {
            if (word == "NULLS") l.key_has_nulls = true;
            if (word == "DESC") l.key_desc = true;
          }
        }
        after_order_ = word == "ORDER";
        i = end;
        continue;
      } else {
        // Blanks and operators.
        if (!std::isspace(static_cast<unsigned char>(c))) Token(i, i + 1);
        else out_ += c;
        ++i;
        continue;
      }
      after_order_ = false;
    }
    CloseList();
    return out_;
  }

 private:
  std::size_t SkipQuoted(std::size_t from, char quote) const {
    std::size_t i = from + 1;
    while (i < in_.size()) {
      if (in_[i] == quote) {
        if (i + 1 < in_.size() && in_[i + 1] == quote) {
          i += 2;
          continue;
        }
        return i + 1;
      }
      ++i;
    }
    return in_.size();
  }
  void Token(std::size_t from, std::size_t to) {
    out_.append(in_, from, to - from);
    Level& l = levels_.back();
    if (l.in_order) {
      l.key_started = true;
      l.key_end = out_.size();
    }
    if (to > from && !IsWordChar(in_[from])) after_order_ = false;
  }
  void FinishKey() {
    Level& l = levels_.back();
    if (l.key_started && !l.key_has_nulls) {
      out_.insert(l.key_end, l.key_desc ? " NULLS LAST" : " NULLS FIRST");
    }
    l.key_started = l.key_has_nulls = l.key_desc = false;
  }
  void CloseList() {
    Level& l = levels_.back();
    if (!l.in_order) return;
    FinishKey();
    l.in_order = false;
  }

  const std::string& in_;
  std::string out_;
  std::vector<Level> levels_;
  bool after_order_ = false;
};

}  // namespace

std::string WithSqliteNullOrder(const std::string& sql) { return Rewriter(sql).Run(); }

}  // namespace tarvik::data
