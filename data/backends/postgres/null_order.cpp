#include "data/backends/postgres/null_order.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "data/sql_text.h"
#include "platform/ascii.h"

namespace tarvik::data {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

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
  explicit Rewriter(std::string_view sql) : in_(sql) { levels_.emplace_back(); }

  std::string Run() {
    ScanSql(in_, [this](SqlPiece kind, std::string_view text) {
      if (kind == SqlPiece::kCode) {
        Code(text);
      } else {
        if (kind == SqlPiece::kComment) {
          out_.append(text);
        } else {
          Token(text);
        }
        after_order_ = false;
      }
    });
    CloseList();
    return out_;
  }

 private:
  void Code(std::string_view in) {
    std::size_t i = 0;
    while (i < in.size()) {
      const char c = in[i];
      if (IsWordChar(c)) {
        std::size_t end = i;
        while (end < in.size() && IsWordChar(in[end])) ++end;
        const std::string_view text = in.substr(i, end - i);
        const std::string word = AsciiUpper(text);
        Level& l = levels_.back();
        if (word == "BY" && after_order_) {
          after_order_ = false;
          CloseList();
          out_.append(text);
          l.in_order = true;
          l.key_started = false;
          l.key_has_nulls = l.key_desc = false;
        } else if (l.in_order && EndsOrderList(word)) {
          CloseList();
          out_.append(text);
        } else {
          Token(text);
          if (l.in_order) {
            if (word == "NULLS") l.key_has_nulls = true;
            if (word == "DESC") l.key_desc = true;
          }
        }
        after_order_ = word == "ORDER";
        i = end;
        continue;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        out_ += c;  // blanks keep a pending ORDER
        ++i;
        continue;
      }
      const std::string_view one = in.substr(i, 1);
      if (c == '(') {
        Token(one);
        levels_.emplace_back();
      } else if (c == ')') {
        CloseList();
        if (levels_.size() > 1) levels_.pop_back();
        Token(one);
      } else if (c == ',' && levels_.back().in_order) {
        FinishKey();
        out_ += c;
      } else if (c == ';') {
        CloseList();
        out_ += c;
      } else {
        Token(one);
      }
      after_order_ = false;
      ++i;
    }
  }
  void Token(std::string_view text) {
    out_.append(text);
    Level& l = levels_.back();
    if (l.in_order) {
      l.key_started = true;
      l.key_end = out_.size();
    }
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

  std::string_view in_;
  std::string out_;
  std::vector<Level> levels_;
  bool after_order_ = false;
};

}  // namespace

std::string WithSqliteNullOrder(const std::string& sql) { return Rewriter(sql).Run(); }

}  // namespace tarvik::data
