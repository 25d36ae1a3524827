#include "data/transaction.h"

#include <utility>

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

PendingCommit Transaction::CommitAhead() {
  if (committed_) RaiseError(kErrInvalidOperation, "The transaction is already committed.");
  const std::uint64_t ticket = connection_.CommitTransAhead();
  committed_ = true;
  return PendingCommit(connection_, ticket);
}

PendingCommit::PendingCommit(PendingCommit&& other) noexcept
    : connection_(other.connection_), ticket_(std::exchange(other.ticket_, 0)) {}

PendingCommit& PendingCommit::operator=(PendingCommit&& other) noexcept {
  if (this != &other) {
    WaitQuietly();
    connection_ = other.connection_;
    ticket_ = std::exchange(other.ticket_, 0);
  }
  return *this;
}

PendingCommit::~PendingCommit() { WaitQuietly(); }

void PendingCommit::WaitQuietly() noexcept {
  try {
    Wait();
  } catch (...) {
    // Dropped, as the class says.
  }
}

void PendingCommit::Wait() {
  if (ticket_ == 0) return;
  connection_->Committed(std::exchange(ticket_, 0));
}

}  // namespace tarvik::data
