#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "data/dialect.h"
#include "data/field_conversion.h"
#include "data/sql_text.h"
#include "fuzz/fuzz_targets.h"
#include "platform/error.h"
#include "platform/limits.h"
#include "platform/variant.h"

namespace tarvik::fuzz {
namespace {

[[noreturn]] void Broken(const std::string& what, std::string_view input) {
  throw InvariantBroken(what + "\n  input: [" + std::string(input) + "]");
}

// The first byte picks the kind of value, the rest is its text or bytes.
Variant ValueOf(std::string_view input) {
  if (input.empty()) return Variant::String("");
  const std::string_view rest = input.substr(1);
  double d = 0;
  if (rest.size() >= sizeof d) std::memcpy(&d, rest.data(), sizeof d);
  switch (static_cast<unsigned char>(input[0]) % 5) {
    case 1: return rest.size() >= sizeof d ? Variant::Double(d) : Variant::String(rest);
    case 2: return rest.size() >= sizeof d ? Variant::Date(d) : Variant::String(rest);
    case 3: return rest.size() >= sizeof d ? Variant::Single(static_cast<float>(d)) : Variant::String(rest);
    case 4: return rest.empty() ? Variant::Null() : Variant::String(rest);
    default: return Variant::String(rest);
  }
}

// Runs a conversion; only the errors the conversions document may escape.
template <typename F>
bool Converts(F&& convert, std::string_view input, const char* name) {
  try {
    convert();
    return true;
  } catch (const AutomationError& e) {
    if (e.number() != kErrOverflow && e.number() != kErrInvalidUseOfNull && e.number() != kErrTypeMismatch) {
      Broken(std::string(name) + " raised error " + std::to_string(e.number()), input);
    }
    return false;
  }
}

// The literal, put into a statement and translated for each backend, must
// stay one string piece beside code without a statement separator: a value
// can never end the literal early or start SQL of its own.
void CheckEmbedded(const std::string& literal, std::string_view input) {
  for (const data::Dialect d : {data::Dialect::kSqlite, data::Dialect::kPostgres}) {
    std::string sql;
    try {
      sql = data::TranslateClassic("SELECT " + literal + " FROM Invoice_Header", d);
    } catch (const AutomationError&) {
      continue;  // a date the translator refuses is an error, never SQL
    }
    int strings = 0;
    std::string code;
    data::ScanSql(sql, [&](data::SqlPiece kind, std::string_view text) {
      if (kind == data::SqlPiece::kString) ++strings;
      if (kind == data::SqlPiece::kCode) code.append(text);
      if (kind == data::SqlPiece::kComment || kind == data::SqlPiece::kIdentifier) {
        Broken("literal " + literal + " became a comment or identifier in " + sql, input);
      }
    });
    if (code.find(';') != std::string::npos) Broken("a ';' outside the literal in " + sql, input);
    if (literal != "Null" && strings != 1) Broken("literal " + literal + " is not one string in " + sql, input);
  }
}

}  // namespace

void FieldConversionTarget(std::string_view input) {
  const Variant value = ValueOf(input);
  // A number that is not finite already passes through as it is.
  const bool finite_in =
      value.vt() == VT_BSTR || value.vt() == VT_NULL || std::isfinite(value.ToDouble());
  std::int32_t whole = 0;
  if (Converts([&] { whole = data::Field2Long(value); }, input, "Field2Long") && !data::IsNumeric(value) &&
      whole != 0) {
    Broken("a value that is not numeric converted to " + std::to_string(whole), input);
  }
  std::int32_t small = 0;
  if (Converts([&] { small = data::Field2Integer(value); }, input, "Field2Integer") &&
      (small < -32768 || small > 32767)) {
    Broken("Field2Integer outside 16 bits: " + std::to_string(small), input);
  }
  double real = 0;
  if (Converts([&] { real = data::Field2Double(value); }, input, "Field2Double") && finite_in &&
      !std::isfinite(real)) {
    Broken("Field2Double gave a value that is not finite", input);
  }
  float single = 0;
  if (Converts([&] { single = data::Field2Single(value); }, input, "Field2Single") && finite_in &&
      !std::isfinite(single)) {
    Broken("Field2Single gave a value that is not finite", input);
  }
  if (value.vt() == VT_BSTR && value.ToString().size() > kMaxTextBytes) {
    try {
      data::Field2SqlText(value);
      Broken("Field2SqlText took a text longer than the limit", input);
    } catch (const AutomationError& e) {
      if (e.number() != kErrInvalidProcedureCall) Broken("Field2SqlText raised " + std::to_string(e.number()), input);
    }
  } else if (value.vt() == VT_BSTR) {
    std::string literal;
    if (!Converts([&] { literal = data::Field2SqlText(value); }, input, "Field2SqlText")) {
      Broken("Field2SqlText refused a text", input);
    }
    std::string expected = "'";
    for (const char c : value.ToString()) expected += c == '\'' ? std::string("''") : std::string(1, c);
    expected += "'";
    if (value.ToString().empty()) expected = "Null";
    if (literal != expected) Broken("Field2SqlText gave " + literal, input);
    CheckEmbedded(literal, input);
  }
  std::string date;
  if (Converts([&] { date = data::Field2SqlDate(value); }, input, "Field2SqlDate")) {
    if (date != "Null" && (date.size() < 3 || date.front() != '#' || date.back() != '#')) {
      Broken("Field2SqlDate gave " + date, input);
    }
    CheckEmbedded(date, input);
  }
}

}  // namespace tarvik::fuzz
