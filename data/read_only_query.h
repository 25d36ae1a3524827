// What a host's own checking read may run: one SELECT (or WITH ... SELECT,
// VALUES), nothing that writes. The backends hold it to that as well (a
// read-only statement on SQLite, a read-only transaction on PostgreSQL);
// this refuses early, with a clear message, what they would not catch:
// more than one statement, and on PostgreSQL functions that reach past the
// database (server files, other sessions, settings), which a read-only
// transaction still allows a privileged role.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/dialect.h"
#include "data/value.h"

namespace tarvik::data {

// Throws AutomationError (kErrInvalidOperation) naming what is refused.
// Returns the statement without a trailing ';'.
std::string CheckReadOnlyQuery(std::string_view sql, Dialect dialect);

// Limits of such a read: rows handed back, time a statement may take.
struct ReadLimits {
  std::size_t max_rows = 100000;
  int seconds = 30;
};

// What a read stopped at its time limit answers, on every backend.
std::string TimeLimitMessage(int seconds);

// The rows read; `more` when the statement had rows past max_rows.
struct RowsRead {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
  bool more = false;
};

}  // namespace tarvik::data
