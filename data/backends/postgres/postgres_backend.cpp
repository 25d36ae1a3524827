#include "data/backends/postgres/postgres_backend.h"

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/backends/postgres/null_order.h"
#include "data/backends/postgres/postgres_result_set.h"
#include "data/backends/postgres/round_trips.h"
#include "data/backends/postgres/row_block.h"
#include "data/deferred_error.h"
#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/error.h"
#include "platform/regional.h"
#include "platform/valid_utf8.h"

namespace tarvik::data {
namespace {

std::atomic<std::uint64_t> round_trips{0};

struct ConnectionCloser {
  void operator()(PGconn* connection) const noexcept { PQfinish(connection); }
};
struct ResultClearer {
  void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using ConnectionHandle = std::unique_ptr<PGconn, ConnectionCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

// Type oids of the built-in types the books use.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700,
              kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184;

// Section of a server message after "label: ", up to the end of its line.
std::string MessageLine(const std::string& text, const std::string& label) {
  std::size_t at = text.find(label);
  if (at == std::string::npos) return {};
  at += label.size();
  return TrimBlanks(text.substr(at, text.find('\n', at) - at));
}

// The server's message: its ERROR line, else the whole text.
std::string ServerMessage(const std::string& text) {
  std::string message = MessageLine(text, "ERROR:");
  return message.empty() ? TrimBlanks(text) : message;
}

// A refusal of the server as the error the callers know.
AutomationError ErrorOf(const PGresult* result, PGconn* connection) {
  std::string text = result != nullptr ? PQresultErrorMessage(result) : "";
  if (text.empty()) text = PQerrorMessage(connection);
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const std::string code = state != nullptr ? state : "";
  if (code == "23505") {
    // DETAIL names the key: "Key (invoice_no)=(500) already exists."
    const std::string detail = MessageLine(text, "DETAIL:");
    return AutomationError(kErrKeyViolation, "Duplicate value: " + (detail.empty() ? ServerMessage(text) : detail));
  }
  // Serialization failure, deadlock, a lock wait or a statement cut short
  // by its timeout: another session holds what this one needs.
  if (code == "40001" || code == "40P01" || code == "55P03" || code == "57014") {
    return AutomationError(kErrLocked, "The database is in use by another user: " + ServerMessage(text));
  }
  if (code.empty()) return AutomationError(kErrDatabase, "Database error: " + TrimBlanks(text));
  return AutomationError(kErrDatabase, "Database error: " + ServerMessage(text));
}

// A name of ours as a string literal of the server's.
std::string QuotedLiteral(const std::string& text) {
  std::string quoted = "'";
  for (const char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
  return quoted + "'";
}

std::string NumberText(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

std::string Text(const Value& v) {
  if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  if (auto* d = std::get_if<double>(&v)) return NumberText(*d);
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return regional::FormatIsoDate(std::get<DateValue>(v).ole);
}

Value ToValue(const PGresult* result, int row, int column, Oid type) {
  if (PQgetisnull(result, row, column)) return {};
  const char* text = PQgetvalue(result, row, column);
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
      return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
    case kBool:
      return static_cast<std::int64_t>(text[0] == 't' ? 1 : 0);
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return std::strtod(text, nullptr);
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      // Fractions and zones are cut: dates are kept to the second.
      std::string s(text);
      if (s.size() > 19) s.resize(19);
      if (std::optional<double> d = regional::ParseIsoDate(s)) return DateValue{*d};
      return ValidUtf8(text);
    }
    default:
      // A server whose encoding is SQL_ASCII hands back whatever bytes were stored.
      return ValidUtf8(text);
  }
}

// A host may turn standard_conforming_strings off on the connection it hands
// over; the server then reads a backslash in quoted text as an escape, and a
// text ending in one swallows its closing quote, so what follows runs as
// code. Every text here is written for standard strings (the classic
// dialect has no escapes): one that holds a backslash goes right after the
// setting is put back, in the same round trip. A text without a backslash
// reads the same either way, so the rest cost nothing.
constexpr const char* kStandardStrings = "SET standard_conforming_strings = on";
bool HoldsBackslash(std::string_view sql) { return sql.find('\\') != std::string_view::npos; }

// libpq hands statements and values over as C strings, and PostgreSQL text
// cannot hold the NUL character: a NUL would cut the text short without a
// word, so such a statement is refused before anything is queued.
void RefuseNul(const std::string& sql, const std::vector<Value>& params) {
  bool nul = sql.find('\0') != std::string::npos;
  for (const Value& v : params) {
    const auto* s = std::get_if<std::string>(&v);
    nul = nul || (s && s->find('\0') != std::string::npos);
  }
  if (nul) {
    RaiseError(kErrInvalidOperation,
               "A text holds the character NUL (code 0), which PostgreSQL cannot store; nothing was written.");
  }
}

RowBlock ToRows(const PGresult* result) {
  RowBlock block;
  const int columns = PQnfields(result);
  std::vector<Oid> types;
  for (int c = 0; c < columns; ++c) {
    block.columns.emplace_back(PQfname(result, c));
    types.push_back(PQftype(result, c));
  }
  const int rows = PQntuples(result);
  block.rows.reserve(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    std::vector<Value> values;
    values.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) values.push_back(ToValue(result, r, c, types[static_cast<std::size_t>(c)]));
    block.rows.push_back(std::move(values));
  }
  return block;
}

// One long-lived connection in pipeline mode. Every command goes into the
// pipeline; a sync sends what is queued and waits for all of it: one round
// trip. Inside a transaction each unit of statements runs under the
// savepoint "tarvik_statement", so a failed one is undone alone, as on
// SQLite, and the transaction stays usable; a caller that undoes every
// failure whole spares the server that subtransaction per unit.
class PostgresBackend : public Backend {
 public:
  PostgresBackend(const std::string& uri, OpenMode mode)
      : name_(RedactedUri(uri)), conn_(PQconnectdb(uri.c_str())), read_only_(mode == OpenMode::kReadOnly) {
    if (!conn_) throw std::runtime_error("out of memory");
    if (PQstatus(conn_.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(conn_.get()));
    // Every text this program sends and reads is UTF-8, whatever the URI's
    // client_encoding or PGCLIENTENCODING asked for. A database in SQL_ASCII
    // holds whatever bytes were written and checks what it sends against a
    // UTF-8 client: one invalid byte would fail the whole statement. Its
    // texts are taken as stored instead, and invalid bytes replaced as read.
    const char* server_encoding = PQparameterStatus(conn_.get(), "server_encoding");
    const bool raw = server_encoding != nullptr && std::string_view(server_encoding) == "SQL_ASCII";
    const std::string settings =
        std::string(mode == OpenMode::kReadOnly ? "SET default_transaction_read_only = on; " : "") +
        (raw ? "SET client_encoding = 'SQL_ASCII';" : "SET client_encoding = 'UTF8';") +
        " SET standard_conforming_strings = on; SET lock_timeout = '10s'; SET statement_timeout = '120s';"
        " SET idle_in_transaction_session_timeout = '300s'; SET client_min_messages = warning;"
        " SET TIME ZONE 'UTC'; SET datestyle = 'ISO, MDY'";
    round_trips.fetch_add(1, std::memory_order_relaxed);
    ResultHandle result(PQexec(conn_.get(), settings.c_str()));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      throw std::runtime_error(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn_.get()));
    }
    if (PQenterPipelineMode(conn_.get()) != 1) throw std::runtime_error(PQerrorMessage(conn_.get()));
  }
  Dialect dialect() const override { return Dialect::kPostgres; }
  std::string DatabaseName() const override { return name_; }

  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    return Changed(Send({BoundStatement{sql, params}}));
  }
  std::unique_ptr<ResultSet> Query(const std::string& sql, const std::vector<Value>& params) override {
    return NewPostgresResultSet([this](const std::string& text, const std::vector<Value>& values) {
      return Fetch(text, values);
    }, sql, params, [this] { return transactions_; }, [this] { return KeepsRowCounts(); });
  }
  // Asked once the books answer yes (an upgrade may add the table later).
  bool KeepsRowCounts() {
    if (!keeps_row_counts_) {
      RowBlock b = Fetch("SELECT CASE WHEN to_regclass('table_rows') IS NULL THEN 0 ELSE 1 END", {});
      keeps_row_counts_ = !b.rows.empty() && b.rows.front().at(0) == Value{std::int64_t{1}};
    }
    return keeps_row_counts_;
  }
  // One SELECT read whole, after everything queued before it.
  RowBlock Fetch(const std::string& sql, const std::vector<Value>& params) {
    RefuseNul(sql, params);
    if (spoiled_) RaiseSpoiledStatement();
    const std::uint64_t ticket = ++tickets_;
    QueueAhead(ticket);
    QueueStatement(sql, params, Item::kRows, ticket);
    rows_.reset();
    Sync(ticket, false);
    ResultHandle rows = std::move(rows_);
    if (!rows) RaiseError(kErrDatabase, "Database error: the server sent no rows.");
    return ToRows(rows.get());
  }
  // Several statements in one text: the simple protocol, which a pipeline
  // cannot carry, so the pipeline is left for it.
  void ExecuteScript(std::string_view sql) override {
    if (spoiled_) RaiseSpoiledStatement();
    QueueAhead();
    Sync(0, false);
    if (PQexitPipelineMode(conn_.get()) != 1) {
      Drain();
      if (PQexitPipelineMode(conn_.get()) != 1) Lost();
    }
    round_trips.fetch_add(1, std::memory_order_relaxed);
    std::string script = HoldsBackslash(sql) ? std::string(kStandardStrings) + "; " : std::string();
    script += sql;
    ResultHandle result(PQexec(conn_.get(), script.c_str()));
    const bool entered = PQenterPipelineMode(conn_.get()) == 1;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      if (!entered || PQstatus(conn_.get()) == CONNECTION_BAD) Lost();
      if (in_transaction_) (guard_set_ ? restore_pending_ : spoiled_) = true;
      throw ErrorOf(result.get(), conn_.get());
    }
    if (!entered) Lost();
  }

  // A temporary table comes first in the search path, so it hides the
  // shared one of the same name. Plans made before name the shared table:
  // they are made again. A read-only session may not create one and reads
  // the shared table.
  void MakeSessionTables(const std::vector<std::string>& names) override {
    if (read_only_) return;
    std::string script = "DO $tarvik$ BEGIN ";
    for (const std::string& name : names) {
      const std::string quoted = QuotedLiteral(AsciiLower(name));
      script += "IF to_regclass(" + quoted + ") IS NOT NULL THEN EXECUTE format('CREATE TEMP TABLE IF NOT EXISTS %I "
                "(LIKE %s INCLUDING DEFAULTS)', " + quoted + ", to_regclass(" + quoted + ")); END IF; ";
    }
    script += "END $tarvik$; DISCARD PLANS";
    ExecuteScript(script);
  }

  // In a read-only transaction of its own, rolled back after; the limit on
  // rows goes to the server, which would otherwise send every row at once.
  RowsRead ReadOnlyRows(const std::string& sql, const std::vector<Value>& params,
                        const ReadLimits& limits) override {
    if (in_transaction_) RaiseError(kErrInvalidOperation, "A checking read cannot run inside an open transaction.");
    Begin();
    read_only_begin_ = "SET LOCAL statement_timeout = '" + std::to_string(limits.seconds) + "s'";
    RowBlock block;
    try {
      block = Fetch("SELECT * FROM (" + sql + ") AS tarvik_rows LIMIT " + std::to_string(limits.max_rows + 1),
                    params);
    } catch (const AutomationError& e) {
      read_only_begin_.clear();
      try {
        Rollback();
      } catch (...) {
      }
      if (e.description().find("statement timeout") == std::string::npos) throw;
      RaiseError(kErrDatabase, TimeLimitMessage(limits.seconds));
    }
    read_only_begin_.clear();
    Rollback();
    RowsRead read;
    read.columns = std::move(block.columns);
    read.more = block.rows.size() > limits.max_rows;
    if (read.more) block.rows.resize(limits.max_rows);
    read.rows = std::move(block.rows);
    return read;
  }

  // BEGIN and the caller's savepoints go to the server with the next
  // statement, in its round trip: they cannot fail on a sound connection.
  void Begin() override {
    ++transactions_;
    in_transaction_ = true;
    begin_pending_ = true;
    guard_set_ = restore_pending_ = restart_pending_ = spoiled_ = false;
    spoiled_nested_ = 0;
    first_unit_ = 0;
    control_.clear();
  }
  // Whatever is queued goes with the COMMIT. A unit that failed there
  // leaves the transaction to be rolled back, as a failed commit is.
  void Commit() override {
    if (!held_.empty()) {
      QueueHeldWhole();
      return Sync(++tickets_, false);
    }
    if (begin_pending_) return End();
    if (restart_pending_) return Rollback();  // its only unit failed: nothing to keep
    if (spoiled_) {
      // The server would take the COMMIT for a ROLLBACK without a word.
      Rollback();
      RaiseSpoiledCommit();
    }
    if (restore_pending_) Control("ROLLBACK TO SAVEPOINT tarvik_statement");
    for (const std::string& command : control_) Control(command);
    const std::uint64_t ticket = ++tickets_;
    Queue(Item::kEnd, ticket, "COMMIT");
    End();
    Sync(ticket, false);
  }
  // A transaction held back whole goes out as Commit sends it, and the
  // caller goes on while the server runs and flushes it: the next one can
  // be on its way before this one's answer is back.
  std::uint64_t CommitAhead() override {
    if (held_.empty()) {
      Commit();
      return 0;
    }
    QueueHeldWhole();
    const std::uint64_t ticket = ++tickets_;
    SendSync();
    ahead_.push_back(Ahead{ticket, std::exchange(items_, {})});
    // A caller that never asks must not make the client hold every answer.
    while (ahead_.size() > kAheadKept && ahead_.front().answered) ahead_.pop_front();
    if (ahead_.size() > kAheadKept) ReadAhead(ahead_.front().ticket);
    return ticket;
  }
  void Committed(std::uint64_t ticket) override {
    ReadAhead(ticket);
    auto it = std::find_if(ahead_.begin(), ahead_.end(), [&](const Ahead& a) { return a.ticket == ticket; });
    if (it == ahead_.end()) return;
    std::optional<AutomationError> error = std::move(it->error);
    ahead_.erase(it);
    if (error) throw *error;
  }
  // Errors of what is queued do not matter any more: it is all undone.
  void Rollback() override {
    if (begin_pending_) return End();
    const std::uint64_t ticket = ++tickets_;
    Queue(Item::kEnd, ticket, "ROLLBACK");
    End();
    Sync(ticket, true);
  }
  // Outside a transaction a savepoint opens one, as it does in SQLite;
  // releasing or rolling back to that savepoint then ends it.
  void Savepoint(const std::string& name) override {
    if (!in_transaction_) {
      Begin();
      outer_savepoint_ = name;
      return;
    }
    Sync(0, false);  // the caller's savepoints nest as the caller's calls came
    // A spoiled transaction takes no savepoint; one opened after the failure
    // is only counted, and its end changes nothing: the server would refuse
    // both, and a rollback to it would not reach back to the failure.
    if (spoiled_) {
      ++spoiled_nested_;
      return;
    }
    Unguard();
    control_.push_back("SAVEPOINT " + name);
  }
  void ReleaseSavepoint(const std::string& name) override {
    if (in_transaction_ && outer_savepoint_ == name) return Commit();
    Sync(0, false);
    if (spoiled_) {
      // The failure's own savepoint stays on the server until a rollback
      // to one around it, which the failure now waits for.
      if (spoiled_nested_ > 0) --spoiled_nested_;
      return;
    }
    Unguard();  // released with the savepoint it is nested in
    control_.push_back("RELEASE SAVEPOINT " + name);
  }
  void RollbackToSavepoint(const std::string& name) override {
    if (in_transaction_ && outer_savepoint_ == name) return Rollback();
    Sync(0, true);  // undone with the savepoint
    if (spoiled_ && spoiled_nested_ > 0) {
      --spoiled_nested_;
      return;
    }
    Unguard();  // ended by the rollback, nested as it is in the savepoint
    spoiled_ = false;
    control_.push_back("ROLLBACK TO SAVEPOINT " + name);
    control_.push_back("RELEASE SAVEPOINT " + name);
  }

  bool Pipelines() const override { return true; }
  std::uint64_t Send(const std::vector<BoundStatement>& unit) override {
    for (const BoundStatement& statement : unit) RefuseNul(statement.sql, statement.params);
    // The server would refuse it too, but a guard queued ahead of it would
    // then be taken for one that was set.
    if (spoiled_) RaiseSpoiledStatement();
    // A long queue goes out before it fills the socket both ways.
    if (items_.size() > kQueueLimit) Sync(0, false);
    const std::uint64_t ticket = ++tickets_;
    own_ = ticket;
    outcomes_.push_back(Outcome{ticket});
    if (outcomes_.size() > kOutcomesKept) outcomes_.pop_front();
    const bool alone = !in_transaction_;
    if (!alone && begin_pending_ && !guarded_ && !restart_pending_ && control_.empty() && read_only_begin_.empty()) {
      // A transaction its caller undoes whole: held back until it needs the
      // server before its commit, which may then spare its BEGIN.
      for (const BoundStatement& statement : unit) held_.push_back(Held{ticket, statement});
      own_ = 0;
      return ticket;
    }
    if (alone && unit.size() > 1) Queue(Item::kControl, 0, "BEGIN ISOLATION LEVEL READ COMMITTED");
    if (!alone) QueueAhead(ticket);
    for (const BoundStatement& statement : unit) QueueStatement(statement.sql, statement.params, Item::kChange, ticket);
    own_ = 0;  // queued: to every later call an earlier one
    if (alone) {
      if (unit.size() > 1) Queue(Item::kEnd, ticket, "COMMIT");
      Sync(ticket, false);
    }
    return ticket;
  }
  std::int64_t Changed(std::uint64_t ticket) override {
    Outcome* outcome = Find(ticket);
    if (outcome == nullptr) return 0;
    if (!outcome->answered) Sync(ticket, false);
    outcome = Find(ticket);
    if (outcome == nullptr) return 0;
    if (outcome->error && !outcome->raised) {
      outcome->raised = true;
      throw *outcome->error;
    }
    return outcome->error || !outcome->ran ? 0 : outcome->changed;
  }
  void Settle() override { Sync(0, false); }
  bool UndoUnitsAlone(bool on) override { return std::exchange(guarded_, on); }

 private:
  struct Item {
    enum Kind { kControl, kPrepare, kChange, kRows, kEnd } kind;
    std::uint64_t ticket = 0;  // the unit of a statement, the call of a COMMIT or ROLLBACK
    std::string name;          // the statement a kPrepare makes known
  };
  struct Outcome {
    std::uint64_t ticket = 0;
    bool answered = false;
    bool ran = false;
    bool raised = false;
    std::int64_t changed = 0;
    std::optional<AutomationError> error;
  };
  struct Held {
    std::uint64_t ticket = 0;
    BoundStatement statement;
  };
  // A commit sent ahead: its items until they are answered, then its error.
  struct Ahead {
    std::uint64_t ticket = 0;
    std::vector<Item> items;
    bool answered = false;
    std::optional<AutomationError> error;
  };
  // What one sync's answers said.
  struct Answers {
    std::optional<AutomationError> failure;
    std::uint64_t failed_ticket = 0;
    bool end_missed = false;   // a COMMIT or ROLLBACK did not run
    bool rolled_back = false;  // a COMMIT that failed ended the transaction
  };
  struct Cached {
    std::string name;  // empty while the text has been seen once only
    bool prepared = false;  // known to the server or on its way
  };

  ResultHandle NextResult() { return ResultHandle(PQgetResult(conn_.get())); }
  // Reads results up to the null that ends a statement's.
  void Drain() {
    for (ResultHandle extra = NextResult(); extra; extra = NextResult()) {
    }
  }

  // Tickets only grow, so the kept outcomes are in ticket order.
  Outcome* Find(std::uint64_t ticket) {
    auto it = std::lower_bound(outcomes_.begin(), outcomes_.end(), ticket,
                               [](const Outcome& o, std::uint64_t t) { return o.ticket < t; });
    return it != outcomes_.end() && it->ticket == ticket ? &*it : nullptr;
  }

  void End() {
    for (const Held& h : held_) {
      if (Outcome* outcome = Find(h.ticket)) outcome->answered = true;  // never ran
    }
    held_.clear();
    ++transactions_;
    in_transaction_ = begin_pending_ = guard_set_ = restore_pending_ = restart_pending_ = spoiled_ = false;
    spoiled_nested_ = 0;
    first_unit_ = 0;
    control_.clear();
    outer_savepoint_.clear();
  }
  // The connection is gone. The loss is the error of the first statement
  // that waited for an answer: one queued by an earlier call gets it as
  // DeferredError.
  [[noreturn]] void Lost() {
    const std::string message = TrimBlanks(PQerrorMessage(conn_.get()));
    const bool earlier = earlier_in_flight_ || EarlierUnits(items_, own_);
    earlier_in_flight_ = false;
    items_.clear();
    rows_.reset();
    End();
    const AutomationError error(kErrDatabase,
                                "Database error: " + (message.empty() ? std::string("connection lost") : message));
    for (Ahead& a : ahead_) {
      if (a.answered) continue;
      a.answered = true;
      a.items.clear();
      a.error = error;
    }
    if (earlier) throw DeferredError(error);
    throw error;
  }
  static bool EarlierUnits(const std::vector<Item>& items, std::uint64_t own) {
    for (const Item& item : items) {
      if (item.kind == Item::kChange && item.ticket != own) return true;
    }
    return false;
  }

  void Queue(Item::Kind kind, std::uint64_t ticket, const std::string& command) {
    if (PQsendQueryParams(conn_.get(), command.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1) Lost();
    items_.push_back(Item{kind, ticket, {}});
  }
  void Control(const std::string& command) { Queue(Item::kControl, 0, command); }

  // Everything that must reach the server before the next statement: the
  // BEGIN, the undoing of a failed statement, the caller's savepoints, and
  // the guard, released and set again for the statement.
  // The first unit of a transaction (`unit`, a ticket) goes without a guard:
  // nothing came before it, so when it fails the transaction is begun again
  // instead of rolled back to the guard. A relief, one transaction of two
  // units, then makes one subtransaction instead of two.
  void QueueAhead(std::uint64_t unit = 0) {
    if (!in_transaction_) return;
    if (!held_.empty()) SendHeld();
    if (restart_pending_) {
      Control("ROLLBACK");
      ++transactions_;
      restart_pending_ = false;
      begin_pending_ = true;
    }
    if (begin_pending_) {
      Control("BEGIN ISOLATION LEVEL READ COMMITTED");
      if (!read_only_begin_.empty()) {
        Control("SET TRANSACTION READ ONLY");
        Control(read_only_begin_);
      }
      begin_pending_ = false;
      if (unit != 0 && control_.empty() && read_only_begin_.empty()) {
        first_unit_ = unit;
        return;
      }
    }
    if (restore_pending_) Control("ROLLBACK TO SAVEPOINT tarvik_statement");
    restore_pending_ = false;
    for (const std::string& command : control_) Control(command);
    control_.clear();
    if (!guarded_) {
      // Not inside an earlier unit's guard either: undoing a failure to it
      // would take that unit too, and the commit would go on without it.
      if (guard_set_) Control("RELEASE SAVEPOINT tarvik_statement");
      guard_set_ = false;
      return;
    }
    if (guard_set_) Control("RELEASE SAVEPOINT tarvik_statement");
    Control("SAVEPOINT tarvik_statement");
    guard_set_ = true;
  }
  // Nothing of the transaction went out yet: its statements go without
  // BEGIN and COMMIT, and the next sync ends them as one transaction, kept
  // whole or, after a failure, not at all.
  void QueueHeldWhole() {
    std::vector<Held> held = std::exchange(held_, {});
    for (const Held& h : held) QueueStatement(h.statement.sql, h.statement.params, Item::kChange, h.ticket);
    End();
  }
  // What a transaction held back goes out, behind the BEGIN it now needs,
  // each unit as if queued just now.
  void SendHeld() {
    std::vector<Held> held = std::exchange(held_, {});
    std::uint64_t unit = 0;
    for (const Held& h : held) {
      if (h.ticket != unit) QueueAhead(unit = h.ticket);
      QueueStatement(h.statement.sql, h.statement.params, Item::kChange, h.ticket);
    }
  }
  // Takes the guard away before a savepoint of the caller's is set or ended,
  // so that the caller's savepoints nest as the caller nests them.
  void Unguard() {
    if (guard_set_) control_.push_back("RELEASE SAVEPOINT tarvik_statement");
    guard_set_ = false;
  }

  // A text seen before goes as a named statement, prepared in the same
  // round trip the first time; a text seen once goes unnamed: statements
  // built with literal values are mostly seen once.
  void QueueStatement(const std::string& sql, const std::vector<Value>& params, Item::Kind kind,
                      std::uint64_t ticket) {
    ReplanAsTheBooksGrow();
    if (HoldsBackslash(sql)) Control(kStandardStrings);
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (IsNull(params[i])) continue;
      texts[i] = Text(params[i]);
      values[i] = texts[i].c_str();
    }
    const int count = static_cast<int>(params.size());
    Cached* cached = Remember(sql);
    if (cached == nullptr) {
      const std::string text = WithSqliteNullOrder(sql);
      if (PQsendQueryParams(conn_.get(), text.c_str(), count, nullptr, values.data(), nullptr, nullptr, 0) != 1) {
        Lost();
      }
    } else {
      if (!cached->prepared) {
        const std::string text = WithSqliteNullOrder(sql);
        if (PQsendPrepare(conn_.get(), cached->name.c_str(), text.c_str(), 0, nullptr) != 1) Lost();
        items_.push_back(Item{Item::kPrepare, ticket, cached->name});
        cached->prepared = true;
      }
      if (PQsendQueryPrepared(conn_.get(), cached->name.c_str(), count, values.data(), nullptr, nullptr, 0) != 1) {
        Lost();
      }
    }
    items_.push_back(Item{kind, ticket, {}});
  }
  // The server keeps a plan made for a table as it was, for the session: a
  // foreign key's check keeps its own, and a statement's generic plan is
  // made after its fifth run. Made while the table was nearly empty, by
  // statistics of an empty or small table (an ANALYZE, autovacuum), such a
  // plan scans the whole table however much it grows, and a long run's
  // every line pays for all the lines before it. A session that has written
  // four times as many rows as when it last did so has the server plan
  // again for the tables as they are now: a few times a session, each costs
  // a few plans made again.
  void ReplanAsTheBooksGrow() {
    if (written_ < replan_at_) return;
    Control("DISCARD PLANS");
    replan_at_ = 4 * written_;
  }
  // The cache entry for a text seen before, or null the first time. The
  // cache is bounded; one-off texts go first, then every named statement
  // (names are never used twice, so a late DEALLOCATE cannot clash).
  Cached* Remember(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
      if (it->second.name.empty()) it->second.name = "tarvik_" + std::to_string(++counter_);
      return &it->second;
    }
    if (statements_.size() >= kCachedStatements) {
      std::erase_if(statements_, [](const auto& entry) { return entry.second.name.empty(); });
      if (statements_.size() >= kCachedStatements / 2) {
        for (const auto& [text, cached] : statements_) {
          if (cached.prepared) Control("DEALLOCATE " + cached.name);
        }
        statements_.clear();
      }
    }
    statements_.emplace(sql, Cached{});
    return nullptr;
  }
  void Forget(const std::string& name) {
    for (auto& [text, cached] : statements_) {
      if (cached.name == name) cached.prepared = false;
    }
  }

  // Ends what is queued with a sync and sends it: one round trip.
  void SendSync() {
    if (PQpipelineSync(conn_.get()) != 1) Lost();
    round_trips.fetch_add(1, std::memory_order_relaxed);
  }
  // The answers of one sync's items, up to the sync itself. The first
  // failure aborts the rest on the server.
  Answers Read(const std::vector<Item>& items) {
    Answers a;
    for (const Item& item : items) {
      ResultHandle result = NextResult();
      if (!result && PQstatus(conn_.get()) != CONNECTION_BAD) result = NextResult();
      if (!result) Lost();
      Drain();  // the end of this item's results
      const ExecStatusType status = PQresultStatus(result.get());
      Outcome* outcome = item.kind == Item::kChange ? Find(item.ticket) : nullptr;
      if (outcome != nullptr) outcome->answered = true;
      if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        if (outcome != nullptr) {
          outcome->ran = true;
          const std::int64_t changed = std::strtoll(PQcmdTuples(result.get()), nullptr, 10);
          outcome->changed += changed;
          written_ += changed;
        }
        if (item.kind == Item::kRows) rows_ = std::move(result);
        continue;
      }
      if (item.kind == Item::kPrepare) Forget(item.name);
      if (item.kind == Item::kEnd) a.end_missed = true;
      if (status == PGRES_PIPELINE_ABORTED) continue;
      if (PQstatus(conn_.get()) == CONNECTION_BAD) Lost();
      if (a.failure) continue;
      a.failure = ErrorOf(result.get(), conn_.get());
      a.failed_ticket = item.ticket;
      if (item.kind == Item::kEnd) a.rolled_back = true;
      if (outcome != nullptr) outcome->error = a.failure;
    }
    ResultHandle sync = NextResult();
    if (!sync) sync = NextResult();
    if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) Lost();
    return a;
  }
  // Reads the answers of the commits sent ahead, oldest first, up to
  // `upto`; each keeps its error for Committed.
  void ReadAhead(std::uint64_t upto) {
    for (Ahead& ahead : ahead_) {
      if (ahead.ticket > upto) break;
      if (ahead.answered) continue;
      earlier_in_flight_ = true;
      Answers answers = Read(ahead.items);
      earlier_in_flight_ = false;
      ahead.items.clear();
      ahead.answered = true;
      if (Outcome* outcome = Find(answers.failed_ticket)) outcome->raised = true;  // raised by Committed
      ahead.error = std::move(answers.failure);
    }
  }

  // One round trip: sends the queue and reads every answer. The first
  // failure aborts the rest of the queue on the server; the failed unit is
  // undone with its guard, an unfinished transaction block is rolled back.
  // The failure is raised as the error of `own` (a unit, a SELECT, a
  // COMMIT) or as DeferredError of an earlier call; `quiet` drops it.
  void Sync(std::uint64_t own, bool quiet) {
    if (!held_.empty()) SendHeld();
    ReadAhead(std::numeric_limits<std::uint64_t>::max());  // their answers come first
    if (items_.empty()) return;
    std::vector<Item> items = std::move(items_);
    items_.clear();
    earlier_in_flight_ = EarlierUnits(items, own);
    SendSync();

    auto [failure, failed_ticket, end_missed, rolled_back] = Read(items);
    earlier_in_flight_ = false;
    for (Outcome& outcome : outcomes_) outcome.answered = true;
    if (!failure) return;

    if (in_transaction_) {
      if (first_unit_ != 0 && failed_ticket == first_unit_ && guarded_) {
        // The unguarded first unit: the guard queued after it never ran.
        restart_pending_ = true;
        restore_pending_ = guard_set_ = false;
      } else if (first_unit_ != 0 && failed_ticket == first_unit_) {
        spoiled_ = true;  // undone whole: by the caller's rollback, as any other
        restore_pending_ = guard_set_ = false;
      } else if (guard_set_) {
        restore_pending_ = true;  // the failed unit is undone before anything else
      } else {
        spoiled_ = true;  // the caller rolls back around it
      }
    } else if (end_missed && !rolled_back) {
      // A transaction block the failure left open (a unit sent alone, a
      // COMMIT behind a failed unit): nothing of it is kept.
      Queue(Item::kControl, 0, "ROLLBACK");
      Sync(0, true);
    }
    if (Outcome* outcome = Find(failed_ticket)) outcome->raised = true;
    if (quiet) return;
    if (failed_ticket != 0 && failed_ticket == own) throw *failure;
    throw DeferredError(*failure);
  }

  static constexpr std::size_t kCachedStatements = 512;
  static constexpr std::size_t kQueueLimit = 4096;
  // Enough for the units of a creation's largest look-ahead window (256
  // orders, a header and two postings each) to be asked for after one wait.
  static constexpr std::size_t kOutcomesKept = 1024;
  static constexpr std::size_t kAheadKept = 16;
  std::string name_;
  ConnectionHandle conn_;
  bool read_only_;
  std::string read_only_begin_;  // set: the transaction being begun is read-only, with this timeout
  bool in_transaction_ = false;
  bool begin_pending_ = false;    // BEGIN not sent yet
  bool guard_set_ = false;        // "tarvik_statement" is set, innermost
  bool restore_pending_ = false;  // a failed unit waits to be undone to its guard
  bool restart_pending_ = false;  // the unguarded first unit failed: begin again
  bool guarded_ = true;           // units get "tarvik_statement"
  bool spoiled_ = false;          // an unguarded unit failed: only a rollback helps
  int spoiled_nested_ = 0;        // the caller's savepoints opened since, not sent
  std::uint64_t first_unit_ = 0;  // the ticket of the transaction's unguarded first unit
  std::vector<std::string> control_;  // the caller's savepoint commands not sent yet
  std::string outer_savepoint_;       // set when a savepoint opened the transaction
  std::vector<Item> items_;           // sent, not answered yet
  std::vector<Held> held_;            // a transaction's statements not sent yet
  std::deque<Outcome> outcomes_;      // the last units sent
  std::deque<Ahead> ahead_;           // commits sent ahead, oldest first
  ResultHandle rows_;                 // the rows of the last SELECT
  std::uint64_t tickets_ = 0;
  bool keeps_row_counts_ = false;
  std::uint64_t transactions_ = 0;  // counts every BEGIN and end: rows read before are stale
  std::uint64_t own_ = 0;            // the unit being queued
  bool earlier_in_flight_ = false;   // the sync under way carries earlier calls' units
  std::unordered_map<std::string, Cached> statements_;
  std::uint64_t counter_ = 0;
  std::int64_t written_ = 0;        // rows the session's statements changed
  std::int64_t replan_at_ = 2048;   // written_ at which the server plans again
};

}  // namespace

std::uint64_t PostgresRoundTrips() { return round_trips.load(std::memory_order_relaxed); }

std::unique_ptr<Backend> OpenPostgresBackend(const std::string& uri, OpenMode mode) {
  try {
    return std::make_unique<PostgresBackend>(uri, mode);
  } catch (const std::exception& e) {
    RaiseError(kErrDatabase,
               "Cannot open database '" + RedactedUri(uri) + "': " + WithoutPasswords(TrimBlanks(e.what()), uri));
  }
}

}  // namespace tarvik::data
