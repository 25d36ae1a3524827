// A scope in which the statements a caller runs inside a transaction need
// not wait for the server one by one. On a connection whose backend
// pipelines (PostgreSQL), Execute and ExecuteQueryDef queue their
// statements and answer True; the queue goes out and is answered when
// something needs an answer (RecordsAffected, a query, a commit, Settle),
// and that call raises the first error of an earlier statement as
// DeferredError, the work of the failing statement undone as if it had
// raised itself. On a connection that answers at once (SQLite) only the
// way a failure is undone changes (Undo); through a decorator nothing
// does. The caller must treat a DeferredError as the error of the statement
// that made it and must not depend on the queued statements' errors before
// it asks.
#pragma once

#include <cstdint>

#include "data/deferred_error.h"
#include "data/host_connection.h"

namespace tarvik::data {

class DeferredResults {
 public:
  // How a failed statement inside the transaction is undone. kAlone: by
  // itself, the transaction going on as if it had not run. kWhole: the
  // caller rolls back the transaction or the savepoint it opened around
  // this scope on any error; until then every further statement fails and
  // a commit raises. That spares PostgreSQL a subtransaction per statement
  // and SQLite a savepoint per stored query of several statements.
  enum class Undo { kAlone, kWhole };
  explicit DeferredResults(HostConnection& connection, Undo undo = Undo::kAlone);
  // Stops queueing; never waits (what is queued goes with the next call).
  ~DeferredResults();
  DeferredResults(const DeferredResults&) = delete;
  DeferredResults& operator=(const DeferredResults&) = delete;

  // Waits for every queued statement; raises the first error as DeferredError.
  void Settle();

  // Whether statements are queued here at all (a pipelining connection).
  bool Queues() const;
  // The unit the last statement inside the transaction was queued in, for
  // Changed; 0 when it was answered at once.
  std::uint64_t LastUnit() const;
  // The rows a queued unit changed; waits for it when not yet answered. Its
  // error, not raised yet, comes as DeferredError; after that it is 0.
  std::int64_t Changed(std::uint64_t unit);

 private:
  HostConnection* connection_;  // null when the connection never queues
  bool previous_ = false;
  bool previous_alone_ = true;
};

}  // namespace tarvik::data
