// A transaction on a host connection that ends on every path, in the shape
// of SQLite::Transaction: the constructor begins it, Commit keeps its work,
// the destructor rolls it back unless Commit succeeded (a failed commit is
// rolled back too). Inside another open transaction the connection makes it
// a savepoint, so a nested Transaction is the savepoint guard as well.
#pragma once

#include <cstdint>

#include "data/host_connection.h"

namespace tarvik::data {

// A commit on its way to the server (Transaction::CommitAhead). Wait
// raises its error, nothing of the transaction then kept (on SQLite the
// error of the log's flush, the transaction written but perhaps not on
// disk). Destroyed unwaited, it waits and drops the error: only a caller
// already leaving on another error does that.
class PendingCommit {
 public:
  PendingCommit() = default;
  PendingCommit(HostConnection& connection, std::uint64_t ticket) : connection_(&connection), ticket_(ticket) {}
  PendingCommit(PendingCommit&& other) noexcept;
  PendingCommit& operator=(PendingCommit&& other) noexcept;
  ~PendingCommit();

  // Whether the answer is still to come (false when it was committed at once).
  bool ahead() const { return ticket_ != 0; }
  void Wait();

 private:
  void WaitQuietly() noexcept;

  HostConnection* connection_ = nullptr;
  std::uint64_t ticket_ = 0;
};

class Transaction {
 public:
  explicit Transaction(HostConnection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Ends the transaction keeping its work; a second call is an error.
  void Commit();
  // Commit, but where the connection can, the caller goes on before the
  // server has answered (and flushed): the next transaction can be on its
  // way meanwhile. Only for a caller that does not need the outcome before
  // its next statement.
  PendingCommit CommitAhead();

 private:
  HostConnection& connection_;
  bool committed_ = false;
};

}  // namespace tarvik::data
