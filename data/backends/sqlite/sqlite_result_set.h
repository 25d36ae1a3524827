// The result of a SELECT on SQLite, costing only the rows a caller visits:
// rows are streamed from the start; the row count is one count query; a jump
// far ahead (MoveLast on a large table) reads a window, the tail of a plain
// ORDER BY backwards; a keyed search is one lookup whose position is counted
// only when asked for.
// Outside a transaction the stream reads a bounded batch ahead and resets
// its statement before the call returns (a statement between its rows keeps
// its read snapshot); it takes up after the last row read, by key under a
// plain ORDER BY of result columns, else by position checked against the
// last row read. Inside a transaction it streams on, and is stopped when the
// transaction ends. Rows read ahead under another transaction state than
// the caller's are read again before they are handed out.
#pragma once

#include <SQLiteCpp/Database.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/result_set.h"
#include "data/value.h"

namespace tarvik::data {

namespace sqlite_detail {
class StatementCache;
}

// Statements come from the cache and go back to it when the result ends (or
// are finalized when the cache is gone).
std::unique_ptr<ResultSet> NewSqliteResultSet(SQLite::Database& db,
                                              std::weak_ptr<sqlite_detail::StatementCache> cache,
                                              const std::string& sql,
                                              const std::vector<Value>& params);

// Rows this process's SQLite result sets have read from their statements.
std::uint64_t SqliteRowsRead();

}  // namespace tarvik::data
