#include <string>
#include <utility>
#include <vector>

#include "data/sql_text.h"
#include "fuzz/fuzz_targets.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::fuzz {
namespace {

using data::Dialect;
using data::SqlPiece;

struct Lexed {
  std::vector<std::pair<SqlPiece, std::string>> quoted;  // everything but code
  std::string code;                                      // the code pieces, joined
};

Lexed Lex(std::string_view sql) {
  Lexed out;
  data::ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    if (kind == SqlPiece::kCode) {
      out.code.append(text);
      out.code += ' ';  // pieces stay apart
    } else {
      out.quoted.emplace_back(kind, std::string(text));
    }
  });
  return out;
}

std::size_t CountOf(std::string_view text, char c) {
  std::size_t n = 0;
  for (char x : text) n += x == c;
  return n;
}

// What a translated date literal looks like: '2001-03-15[ 14:30:00]'.
bool IsDateString(const std::string& piece) {
  if (piece.size() < 2 || piece.front() != '\'' || piece.back() != '\'') return false;
  return regional::ParseIsoDate(std::string_view(piece).substr(1, piece.size() - 2)).has_value();
}

[[noreturn]] void Broken(const std::string& what, std::string_view input, std::string_view output) {
  throw InvariantBroken(what + "\n  input:  [" + std::string(input) + "]\n  output: [" +
                        std::string(output) + "]");
}

const char* Name(Dialect d) { return d == Dialect::kSqlite ? "sqlite" : "postgres"; }

}  // namespace

void CheckTranslation(std::string_view input, std::string_view output, Dialect target) {
  const Lexed in = Lex(input);
  const Lexed out = Lex(output);
  const std::string where = std::string(" (") + Name(target) + ")";
  const std::size_t hashes = CountOf(in.code, '#');
  if (hashes % 2 != 0) Broken("an unpaired # was accepted" + where, input, output);
  if (CountOf(out.code, '#') != 0) Broken("a # is left in the code" + where, input, output);
  if (target == Dialect::kPostgres && CountOf(out.code, '?') != 0) {
    Broken("a ? marker is left in the code" + where, input, output);
  }
  const bool nothing_to_do =
      hashes == 0 && (target == Dialect::kSqlite || CountOf(in.code, '?') == 0);
  if (nothing_to_do && input != output) Broken("text changed with nothing to translate" + where, input, output);

  // The quoted pieces of the input, in order, with one date string per
  // literal between them and nothing else.
  std::size_t next = 0, dates = 0;
  for (const auto& piece : out.quoted) {
    if (next < in.quoted.size() && piece == in.quoted[next]) {
      ++next;
    } else if (piece.first == SqlPiece::kString && IsDateString(piece.second)) {
      ++dates;
    } else {
      Broken("quoted text was changed, merged or invented: " + piece.second + where, input, output);
    }
  }
  if (next != in.quoted.size()) Broken("quoted text was lost" + where, input, output);
  if (dates != hashes / 2) Broken("date literals and date strings differ in number" + where, input, output);
}

void ClassicDialectTarget(std::string_view input) {
  for (Dialect target : {Dialect::kSqlite, Dialect::kPostgres}) {
    std::string output;
    try {
      output = data::TranslateClassic(input, target);
    } catch (const AutomationError& e) {
      // Only a malformed date literal is an error, so there must be a '#'.
      if (CountOf(Lex(input).code, '#') == 0 || e.number() != kErrDatabase) {
        Broken("unexpected error " + std::to_string(e.number()) + ": " + e.description(), input, "");
      }
      continue;
    }
    CheckTranslation(input, output, target);
    if (data::TranslateClassic(output, target) != output) {
      Broken(std::string("a second translation changed the text (") + Name(target) + ")", input, output);
    }
  }
}

}  // namespace tarvik::fuzz
