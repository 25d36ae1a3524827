// The result of a SELECT on SQLite, costing only the rows a caller visits:
// rows are streamed from the start; the row count is one count query; a jump
// far ahead (MoveLast on a large table) reads a window, the tail of a plain
// ORDER BY backwards; a keyed search is one lookup whose position is counted
// only when asked for.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "data/result_set.h"
#include "data/value.h"

namespace tarvik::data {

namespace sqlite_detail {
class StatementPool;
}

// Statements come from the pool and go back to it when the result ends (or
// are finalized when the pool is gone).
std::unique_ptr<ResultSet> NewSqliteResultSet(sqlite3* db,
                                              std::weak_ptr<sqlite_detail::StatementPool> pool,
                                              const std::string& sql,
                                              const std::vector<Value>& params);

}  // namespace tarvik::data
