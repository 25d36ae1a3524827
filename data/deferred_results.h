// A scope in which the statements a caller runs inside a transaction need
// not wait for the server one by one. On a connection whose backend
// pipelines (PostgreSQL), Execute and ExecuteQueryDef queue their
// statements and answer True; the queue goes out and is answered when
// something needs an answer (RecordsAffected, a query, a commit, Settle),
// and that call raises the first error of an earlier statement as
// DeferredError, the work of the failing statement undone as if it had
// raised itself. On any other connection (SQLite, decorators) nothing
// changes. The caller must treat a DeferredError as the error of the
// statement that made it and must not depend on the queued statements'
// errors before it asks.
#pragma once

#include "data/deferred_error.h"
#include "data/host_connection.h"

namespace tarvik::data {

class DeferredResults {
 public:
  explicit DeferredResults(HostConnection& connection);
  // Stops queueing; never waits (what is queued goes with the next call).
  ~DeferredResults();
  DeferredResults(const DeferredResults&) = delete;
  DeferredResults& operator=(const DeferredResults&) = delete;

  // Waits for every queued statement; raises the first error as DeferredError.
  void Settle();

 private:
  HostConnection* connection_;  // null when the connection never queues
  bool previous_ = false;
};

}  // namespace tarvik::data
