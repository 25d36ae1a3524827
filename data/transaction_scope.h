// A transaction on a host connection that ends on every path: committed by
// Commit, rolled back when the scope is left any other way (an error).
#pragma once

#include "data/host_connection.h"

namespace tarvik::data {

class TransactionScope {
 public:
  explicit TransactionScope(HostConnection& connection) : connection_(connection) { connection_.BeginTrans(); }
  ~TransactionScope() {
    if (!open_) return;
    try {
      connection_.Rollback();
    } catch (...) {
      // The connection is gone; its server has ended the transaction.
    }
  }
  TransactionScope(const TransactionScope&) = delete;
  TransactionScope& operator=(const TransactionScope&) = delete;

  void Commit() {
    open_ = false;
    connection_.CommitTrans();
  }

 private:
  HostConnection& connection_;
  bool open_ = true;
};

}  // namespace tarvik::data
