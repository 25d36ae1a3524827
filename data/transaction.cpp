#include "data/transaction.h"

#include "platform/error.h"

namespace tarvik::data {

Transaction::Transaction(HostConnection& connection) : connection_(connection) { connection_.BeginTrans(); }

Transaction::~Transaction() {
  if (committed_) return;
  try {
    connection_.Rollback();
  } catch (...) {
    // The connection is gone; its server has ended the transaction.
  }
}

void Transaction::Commit() {
  if (committed_) RaiseError(kErrInvalidOperation, "The transaction is already committed.");
  connection_.CommitTrans();
  committed_ = true;
}

}  // namespace tarvik::data
