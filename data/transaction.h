// A transaction on a host connection that ends on every path, in the shape
// of SQLite::Transaction: the constructor begins it, Commit keeps its work,
// the destructor rolls it back unless Commit succeeded (a failed commit is
// rolled back too). Inside another open transaction the connection makes it
// a savepoint, so a nested Transaction is the savepoint guard as well.
#pragma once

#include "data/host_connection.h"

namespace tarvik::data {

class Transaction {
 public:
  explicit Transaction(HostConnection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Ends the transaction keeping its work; a second call is an error.
  void Commit();

 private:
  HostConnection& connection_;
  bool committed_ = false;
};

}  // namespace tarvik::data
