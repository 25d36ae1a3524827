// A database engine behind a Connection. The Connection turns the published
// connection contract (nested transactions, stored query catalog, classic
// SQL dialect) into these few primitives; a backend only has to run SQL of
// its own dialect. Errors are thrown as AutomationError with a clear
// description (kErrDatabase, kErrKeyViolation, kErrLocked, ...).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/dialect.h"
#include "data/open_mode.h"
#include "data/read_only_query.h"
#include "data/result_set.h"
#include "data/value.h"

namespace tarvik::data {

// A statement of the backend's dialect with its values.
struct BoundStatement {
  std::string sql;
  std::vector<Value> params;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual Dialect dialect() const = 0;
  // Name handed to report components (file path or URI without password).
  virtual std::string DatabaseName() const = 0;

  // One statement in the backend's own dialect with ?1..?n (SQLite) or
  // $1..$n (PostgreSQL) placeholders; returns the rows changed. Backends
  // prepare each distinct text once and reuse it.
  virtual std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) = 0;
  virtual std::unique_ptr<ResultSet> Query(const std::string& sql,
                                           const std::vector<Value>& params) = 0;
  // Several statements without parameters (schema scripts).
  virtual void ExecuteScript(std::string_view sql) = 0;

  // Gives this connection its own empty copy of each table named that
  // exists in the database: from then on its statements see only the copy,
  // so rows one session writes there are never read by another. Copies go
  // with the connection (and with a transaction that is rolled back).
  virtual void MakeSessionTables(const std::vector<std::string>& names) { (void)names; }

  // One SELECT that may not write, outside any transaction, within the
  // limits. The base reads through Query; backends make it read-only.
  virtual RowsRead ReadOnlyRows(const std::string& sql, const std::vector<Value>& params,
                                const ReadLimits& limits);

  // Transactions: level 0 is BEGIN/COMMIT/ROLLBACK, deeper levels savepoints.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual void Savepoint(const std::string& name) = 0;
  virtual void ReleaseSavepoint(const std::string& name) = 0;
  virtual void RollbackToSavepoint(const std::string& name) = 0;  // and releases it

  // --- Answers that wait (a backend that pipelines answers Pipelines) ---
  // Inside a transaction Send queues statements that run as one unit, all
  // or none, and returns without waiting for the server; outside one it
  // waits. Every later call that needs an answer (Changed, Query, Execute,
  // Commit, a savepoint) waits for what is queued before it and raises the
  // error of an earlier unit as DeferredError; Rollback drops such errors.
  virtual bool Pipelines() const { return false; }
  virtual std::uint64_t Send(const std::vector<BoundStatement>& unit);
  // Rows changed by a recent unit; waits for it. Raises its error the
  // first time; after that (or for a unit that never ran) it is 0.
  virtual std::int64_t Changed(std::uint64_t ticket);
  // Waits for every queued unit.
  virtual void Settle() {}
  // Commit, but a transaction whose statements all go out with the commit
  // is not waited for: its answer is read by Committed or by the next call
  // that waits. Several may be under way; the server runs them in turn.
  // (SQLite under FULL: committed at once, its flush left to Committed.)
  // Returns 0 when it waited as Commit does (and raised as Commit raises).
  virtual std::uint64_t CommitAhead() {
    Commit();
    return 0;
  }
  // Waits for a commit sent ahead and raises its error, the transaction
  // then kept in nothing (SQLite: the flush's error, the transaction
  // written but perhaps not on disk). Asked once; later, or for 0, nothing
  // to do.
  virtual void Committed(std::uint64_t ticket) { (void)ticket; }
  // Whether a failed unit inside a transaction is undone alone, leaving the
  // transaction usable (on by default), or spoils the transaction until the
  // caller rolls back a savepoint or the transaction around it. A backend
  // that undoes each statement by itself anyway ignores it. Returns the old
  // setting.
  virtual bool UndoUnitsAlone(bool on) {
    (void)on;
    return true;
  }
};

// What a transaction spoiled that way answers a further statement and a commit.
[[noreturn]] void RaiseSpoiledStatement();
[[noreturn]] void RaiseSpoiledCommit();

// The database argument with every password taken out (the user part of a
// URI, password= parameters), as messages and report components show it.
std::string RedactedUri(const std::string& uri);
// `text` with every password the database argument `uri` carries (raw or
// percent-decoded) replaced by ***, and any URI in it redacted.
std::string WithoutPasswords(std::string text, const std::string& uri);

// Whether a database argument names a PostgreSQL server ("postgresql://..."
// or "postgres://...") rather than an SQLite file.
bool IsPostgresUri(std::string_view database);

// Opens a backend from a database argument: a file path or "sqlite:PATH" for
// SQLite, "postgresql://..." for PostgreSQL. Throws AutomationError with a
// clear description when it cannot (a missing SQLite file is created only
// when writing).
std::unique_ptr<Backend> OpenBackend(const std::string& database,
                                     OpenMode mode = OpenMode::kReadWrite);

}  // namespace tarvik::data
