// The host's open connection to the order-processing database. The host
// opens it, hands it to every object through Connect, and closes it; the
// component only holds a reference. Errors are thrown as AutomationError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/dao.h"
#include "data/dialect.h"
#include "data/literal_parameters.h"
#include "data/open_mode.h"
#include "data/read_only_query.h"
#include "data/result_set.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace tarvik::data {

extern const IID IID_HostConnection;

// An automation object (so it can travel in a Variant through Connect) with
// a C++ interface. Decorators (recording, fault injection) wrap it.
struct HostConnection : IDispatch {
  // --- Published operations -------------------------------------------
  // Runs the stored action query with the values just set on its QueryDef.
  virtual bool ExecuteQueryDef(const std::string& name) = 0;
  // Undoes the innermost open transaction. With none open: no effect.
  virtual void Rollback() = 0;
  // Ends the innermost open transaction keeping its work. With none open: no effect.
  virtual void CommitTrans() = 0;
  // Opens a transaction; nested ones are savepoints, undone by an outer rollback.
  virtual void BeginTrans() = 0;
  // One INSERT INTO, UPDATE or DELETE FROM statement in the classic dialect.
  virtual bool Execute(const std::string& sql) = 0;
  virtual std::string DatabaseName() = 0;
  virtual ComPtr<Database> GetDatabase() = 0;
  // Rows changed by the last Execute (or ExecuteQueryDef).
  virtual std::int32_t RecordsAffected() = 0;

  // --- Inner working shared with DataRecordset and the suite's components --
  // A SELECT in the classic dialect.
  virtual std::unique_ptr<ResultSet> OpenQuery(const std::string& sql) = 0;
  // A stored select query with positional values (converted to the declared types).
  virtual std::unique_ptr<ResultSet> OpenStoredQuery(const std::string& name,
                                                     const std::vector<Variant>& values) = 0;
  // Runs SQL of the classic dialect with ?n markers bound to values
  // (used by the suite's own components, never by the invoicing logic);
  // returns rows changed.
  virtual std::int64_t ExecuteWith(const std::string& sql, const std::vector<Variant>& values) = 0;
  // A SELECT with ?n markers bound to values (the suite's own components).
  virtual std::unique_ptr<ResultSet> QueryWith(const std::string& sql,
                                               const std::vector<Variant>& values) = 0;
  // A host's own checking read (read_only_query.h): refused when it could
  // write or reach past the database; cut off at the limits. Not in a
  // transaction the host holds open.
  virtual RowsRead ReadOnlyRows(const std::string& sql, const ReadLimits& limits) {
    (void)sql;
    (void)limits;
    RaiseError(kErrInvalidOperation, "This connection does not run checking reads.");
  }
  virtual int TransactionDepth() = 0;
  // The dialect of the backend (schema upgrades differ by engine).
  virtual Dialect SqlDialect() = 0;
  // Execute of a statement built with its literals marked: the same call
  // with the same text, which is all a connection that cannot use the
  // marks (a recording one, say) sees.
  virtual bool ExecuteLiteral(const LiteralSql& sql) { return Execute(sql.text()); }
  // CommitTrans, except that a connection that can sends the outermost
  // commit without waiting for its answer, which Committed then waits for
  // and raises as CommitTrans would have. 0 when it waited; every other
  // connection (a recording one, say) commits at once.
  virtual std::uint64_t CommitTransAhead() {
    CommitTrans();
    return 0;
  }
  virtual void Committed(std::uint64_t ticket) { (void)ticket; }

 protected:
  ~HostConnection() = default;
};

class Backend;
// A connection over a backend (see backend.h).
ComPtr<HostConnection> NewConnection(std::unique_ptr<Backend> backend);
// OpenBackend + NewConnection.
ComPtr<HostConnection> OpenConnection(const std::string& database,
                                      OpenMode mode = OpenMode::kReadWrite);

}  // namespace tarvik::data
