#include "data/backend.h"

#include "platform/error.h"

namespace tarvik::data {

// Backends that answer every statement at once never queue: the Connection
// asks them for nothing of this.
std::uint64_t Backend::Send(const std::vector<BoundStatement>&) {
  RaiseError(kErrInvalidOperation, "This database does not queue statements.");
}

void RaiseSpoiledStatement() {
  RaiseError(kErrDatabase, "Database error: a statement of this transaction failed; it must be rolled back first.");
}

void RaiseSpoiledCommit() {
  RaiseError(kErrDatabase, "Database error: the transaction was rolled back, a statement in it had failed.");
}

RowsRead Backend::ReadOnlyRows(const std::string& sql, const std::vector<Value>& params,
                               const ReadLimits& limits) {
  RowsRead read;
  auto rows = Query(sql, params);
  for (int c = 0; c < rows->ColumnCount(); ++c) read.columns.push_back(rows->ColumnName(c));
  for (std::int64_t r = 0; rows->Seek(r); ++r) {
    if (read.rows.size() == limits.max_rows) {
      read.more = true;
      break;
    }
    std::vector<Value> row;
    for (int c = 0; c < rows->ColumnCount(); ++c) row.push_back(rows->Column(c));
    read.rows.push_back(std::move(row));
  }
  return read;
}

std::int64_t Backend::Changed(std::uint64_t) {
  RaiseError(kErrInvalidOperation, "This database does not queue statements.");
}

}  // namespace tarvik::data
