// The result of a SELECT on PostgreSQL, read only in windows: the rows a
// caller visits and a bounded stretch around them, never the whole result.
// A first batch with LIMIT (a short result is whole in one round trip, no
// count); the row count is one count query of the SELECT without its order;
// further rows follow the last one read, by key under a plain trailing
// ORDER BY of result columns, else by position checked against that row;
// the tail of such an order is read backwards (MoveLast); a keyed search is
// one lookup whose position is counted only when asked for.
// Nulls sort as on SQLite (null_order.h); the first key's Nulls are read
// apart from its values so that an index on it serves the order. Rows of
// equal keys are ordered by their other columns, so that every read agrees
// on positions. Key values go back to the server as the backend read them:
// exact for the books' types (numbers, text, timestamps to the second).
// Batches grow from 16 to 256 rows. Rows read ahead under another
// transaction than the caller's are read again before they are handed out;
// inside one transaction rows read ahead are handed out as read.
// Statements other than a SELECT are read whole, once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/backends/postgres/row_block.h"
#include "data/result_set.h"
#include "data/value.h"

namespace tarvik::data {

// Changes whenever the connection's transaction begins or ends; empty when
// the backend does not tell.
using TransactionEpoch = std::function<std::uint64_t()>;

// Whether the books keep row counts of tables (Table_Rows): a whole table
// is then counted from there. Empty: never asked.
using KeptRowCounts = std::function<bool()>;

// `fetch` must outlive the result; so must whatever `epoch` and
// `row_counts` read. Reads the first batch at once: errors of the SELECT
// are thrown from here.
std::unique_ptr<ResultSet> NewPostgresResultSet(RowFetcher fetch, std::string sql, std::vector<Value> params,
                                                TransactionEpoch epoch = {}, KeptRowCounts row_counts = {});

// Rows this process's PostgreSQL result sets have read from the server.
std::uint64_t PostgresRowsFetched();

}  // namespace tarvik::data
