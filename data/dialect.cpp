#include "data/dialect.h"

#include <cctype>

#include "data/sql_text.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data {

namespace {

[[noreturn]] void MalformedDate(std::string_view literal) {
  RaiseError(kErrDatabase,
             "Syntax error in date in query expression '" + std::string(literal) + "'.");
}

// A translated date beside a quoted string would read as one string with a
// doubled quote inside ('2001-03-15''x'), so a blank keeps them apart.
void SeparateQuotes(std::string& out, char next) {
  if (!out.empty() && out.back() == '\'' && next == '\'') out += ' ';
}

void AppendDate(std::string& out, std::string_view literal, Dialect target) {
  // literal includes both '#' marks.
  std::string_view inner = literal.substr(1, literal.size() - 2);
  std::optional<double> date;
  bool blank = true;
  for (char c : inner) blank = blank && std::isspace(static_cast<unsigned char>(c));
  if (!blank) date = regional::ParseDate(inner);
  if (!date) MalformedDate(literal);
  if (target == Dialect::kPostgres) out += "TIMESTAMP ";
  SeparateQuotes(out, '\'');
  out += '\'';
  out += regional::FormatIsoDate(*date);
  out += '\'';
}

class Translator {
 public:
  explicit Translator(Dialect target) : target_(target) {}

  void Code(std::string_view code) {
    std::size_t i = 0;
    while (i < code.size()) {
      const char c = code[i];
      if (c == '#') {
        std::size_t close = code.find('#', i + 1);
        // A literal never holds quotes or comments, so its closing mark lies
        // in the same code piece.
        if (close == std::string_view::npos) {
          std::string_view rest = code.substr(i);
          RaiseError(kErrDatabase, "Syntax error in date in query expression '" +
                                       std::string(rest) + "': the closing # is missing.");
        }
        AppendDate(out_, code.substr(i, close - i + 1), target_);
        i = close + 1;
      } else if (c == '?' && target_ == Dialect::kPostgres) {
        std::size_t j = i + 1;
        while (j < code.size() && std::isdigit(static_cast<unsigned char>(code[j]))) ++j;
        out_ += '$';
        if (j == i + 1) {
          out_ += std::to_string(++anonymous_);
        } else {
          out_.append(code.substr(i + 1, j - i - 1));
        }
        i = j;
      } else {
        out_ += c;
        ++i;
      }
    }
  }
  void Verbatim(std::string_view text) {
    SeparateQuotes(out_, text.front());
    out_.append(text);
  }
  std::string Take() { return std::move(out_); }

 private:
  Dialect target_;
  std::string out_;
  int anonymous_ = 0;
};

}  // namespace

std::string TranslateClassic(std::string_view sql, Dialect target) {
  Translator t(target);
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    if (kind == SqlPiece::kCode) {
      t.Code(text);
    } else {
      t.Verbatim(text);
    }
  });
  return t.Take();
}

}  // namespace tarvik::data
