#include "data/backends/sqlite/sqlite_functions.h"

#include <sqlite3.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace tarvik::data::sqlite_detail {
namespace {

std::optional<std::string_view> Text(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_NULL) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// As CAST(s AS INTEGER) for a text of digits: too large a number gives
// the largest integer.
std::int64_t Whole(std::string_view digits) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t n = 0;
  for (char c : digits) {
    const int d = c - '0';
    if (n > (kMax - d) / 10) return kMax;
    n = n * 10 + d;
  }
  return n;
}

void OrderInRange(sqlite3_context* context, int, sqlite3_value** argv) {
  const auto order = Text(argv[0]), first = Text(argv[1]), last = Text(argv[2]);
  bool in_range = false;
  if (order && first && last) {
    if (Digits(*first) && Digits(*last)) {
      in_range = Digits(*order) && Whole(*first) <= Whole(*order) && Whole(*order) <= Whole(*last);
    } else {
      in_range = *first <= *order && *order <= *last;
    }
  }
  sqlite3_result_int(context, in_range ? 1 : 0);
}

}  // namespace

void RegisterFunctions(SQLite::Database& db) {
  db.createFunction("tarvik_order_in_range", 3, true, nullptr, &OrderInRange);
}

}  // namespace tarvik::data::sqlite_detail
