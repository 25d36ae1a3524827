#include "data/backends/postgres/postgres_backend.h"

#include <pqxx/pqxx>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <unordered_map>

#include "data/backends/postgres/null_order.h"
#include "data/backends/postgres/postgres_result_set.h"
#include "data/backends/postgres/round_trips.h"
#include "data/sql_text.h"
#include "platform/error.h"
#include "platform/regional.h"
#include "platform/ascii.h"

namespace tarvik::data {
namespace {

std::atomic<std::uint64_t> round_trips{0};

// Counts one wait for the server per call it wraps.
template <typename F>
auto Counted(F&& run) {
  round_trips.fetch_add(1, std::memory_order_relaxed);
  return run();
}

// Type oids of the built-in types the books use.
constexpr pqxx::oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701,
                    kNumeric = 1700, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184;

// Section of a server message after "label: ", up to the end of its line.
std::string MessageLine(const std::string& text, const std::string& label) {
  std::size_t at = text.find(label);
  if (at == std::string::npos) return {};
  at += label.size();
  return TrimBlanks(text.substr(at, text.find('\n', at) - at));
}

// The server's message: its ERROR line, else the whole text.
std::string ServerMessage(const std::exception& e) {
  const std::string text = e.what();
  std::string message = MessageLine(text, "ERROR:");
  return message.empty() ? TrimBlanks(text) : message;
}

[[noreturn]] void RaiseLocked(const std::exception& e) {
  RaiseError(kErrLocked, "The database is in use by another user: " + ServerMessage(e));
}

// Called in a handler of pqxx::failure: the failure as AutomationError.
[[noreturn]] void RaisePostgres() {
  try {
    throw;
  } catch (const pqxx::unique_violation& e) {
    // DETAIL names the key: "Key (invoice_no)=(500) already exists."
    const std::string detail = MessageLine(e.what(), "DETAIL:");
    RaiseError(kErrKeyViolation, "Duplicate value: " + (detail.empty() ? ServerMessage(e) : detail));
  } catch (const pqxx::serialization_failure& e) {
    RaiseLocked(e);
  } catch (const pqxx::deadlock_detected& e) {
    RaiseLocked(e);
  } catch (const pqxx::sql_error& e) {
    // A lock wait or a statement cut short by its timeout: libpqxx has no
    // class of its own for these.
    if (e.sqlstate() == "55P03" || e.sqlstate() == "57014") RaiseLocked(e);
    RaiseError(kErrDatabase, "Database error: " + ServerMessage(e));
  } catch (const pqxx::failure& e) {
    // broken_connection, in_doubt_error and the like: libpqxx's own words.
    RaiseError(kErrDatabase, std::string("Database error: ") + e.what());
  }
}

std::string NumberText(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

Value ToValue(const pqxx::field& f, pqxx::oid type) {
  if (f.is_null()) return {};
  const char* text = f.c_str();
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
      return static_cast<std::int64_t>(std::stoll(text));
    case kBool:
      return static_cast<std::int64_t>(text[0] == 't' ? 1 : 0);
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return std::stod(text);
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      // Fractions and zones are cut: dates are kept to the second.
      std::string s(text);
      if (s.size() > 19) s.resize(19);
      if (std::optional<double> d = regional::ParseIsoDate(s)) return DateValue{*d};
      return std::string(text);
    }
    default:
      return std::string(text);
  }
}

class PostgresBackend : public Backend {
 public:
  PostgresBackend(const std::string& uri, OpenMode mode) : name_(RedactedUri(uri)), conn_(uri), work_(conn_) {
    work_.exec(
        std::string(mode == OpenMode::kReadOnly ? "SET default_transaction_read_only = on; " : "") +
        "SET standard_conforming_strings = on; SET lock_timeout = '10s'; SET statement_timeout = '120s';"
        " SET idle_in_transaction_session_timeout = '300s'; SET client_min_messages = warning;"
        " SET TIME ZONE 'UTC'; SET datestyle = 'ISO, MDY'");
  }
  Dialect dialect() const override { return Dialect::kPostgres; }
  std::string DatabaseName() const override { return name_; }

  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    return static_cast<std::int64_t>(Run(sql, params).affected_rows());
  }
  std::unique_ptr<ResultSet> Query(const std::string& sql, const std::vector<Value>& params) override {
    return NewPostgresResultSet([this](const std::string& text, const std::vector<Value>& values) {
      return Fetch(text, values);
    }, sql, params, [this] { return transactions_; });
  }
  void ExecuteScript(std::string_view sql) override {
    Guarded([&] { return Counted([&] { return work_.exec(Ahead() + std::string(sql)); }); });
  }
  // BEGIN and the caller's savepoints go to the server with the next
  // statement, in its round trip: they cannot fail on a sound connection,
  // and a transaction is a chain of short statements here.
  void Begin() override {
    ++transactions_;
    in_transaction_ = true;
    begin_pending_ = true;
    guard_set_ = false;
    pending_.clear();
  }
  void Commit() override {
    const bool sent = !begin_pending_;
    std::string ahead = std::move(pending_);
    End();
    if (sent) Raw(ahead + "COMMIT");
  }
  void Rollback() override {
    const bool sent = !begin_pending_;
    End();
    if (sent) Raw("ROLLBACK");
  }
  // Outside a transaction a savepoint opens one, as it does in SQLite;
  // releasing or rolling back to that savepoint then ends it.
  void Savepoint(const std::string& name) override {
    if (!in_transaction_) {
      Begin();
      outer_savepoint_ = name;
      return;
    }
    pending_ += Unguard() + "SAVEPOINT " + name + "; ";
  }
  void ReleaseSavepoint(const std::string& name) override {
    if (in_transaction_ && outer_savepoint_ == name) return Commit();
    Unguard();  // released with the savepoint it is nested in
    pending_ += "RELEASE SAVEPOINT " + name + "; ";
  }
  void RollbackToSavepoint(const std::string& name) override {
    if (in_transaction_ && outer_savepoint_ == name) return Rollback();
    Unguard();  // ended by the rollback, nested as it is in the savepoint
    pending_ += "ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name + "; ";
  }

 private:
  struct Statement {
    std::string name;  // empty while the text has been seen once only
    bool prepared = false;  // known to the server
  };

  void Raw(const std::string& sql) {
    try {
      Counted([&] { return work_.exec(sql); });
    } catch (const pqxx::failure&) {
      RaisePostgres();
    }
  }
  void End() {
    ++transactions_;
    in_transaction_ = begin_pending_ = guard_set_ = false;
    pending_.clear();
    outer_savepoint_.clear();
  }

  // A failed statement aborts a PostgreSQL transaction; inside one, every
  // statement runs under the savepoint "tarvik_statement" so that callers
  // see SQLite's per-statement behaviour. The savepoint stays set after the
  // statement and is released and set again in the round trip of the next.
  std::string Guard() {
    if (!in_transaction_) return {};
    std::string prefix = guard_set_ ? "RELEASE SAVEPOINT tarvik_statement; " : "";
    guard_set_ = true;
    return prefix + "SAVEPOINT tarvik_statement; ";
  }
  // Takes the guard away before a savepoint of the caller's is set or ended,
  // so that the caller's savepoints nest as the caller nests them.
  std::string Unguard() {
    const bool set = guard_set_;
    guard_set_ = false;
    return set ? "RELEASE SAVEPOINT tarvik_statement; " : "";
  }
  // Everything that must reach the server before the next statement.
  std::string Ahead() {
    std::string out = begin_pending_ ? "BEGIN ISOLATION LEVEL READ COMMITTED; " : "";
    begin_pending_ = false;
    out += pending_;
    pending_.clear();
    return out + Guard();
  }

  template <typename F>
  pqxx::result Guarded(F&& run) {
    try {
      return run();
    } catch (const pqxx::failure&) {
      Restore();
      RaisePostgres();
    } catch (const std::exception& e) {
      Restore();
      RaiseError(kErrDatabase, std::string("Database error: ") + e.what());
    }
  }
  void Restore() noexcept {
    if (!in_transaction_ || !guard_set_) return;
    try {
      Counted([&] { return work_.exec("ROLLBACK TO SAVEPOINT tarvik_statement"); });
    } catch (...) {
      // The connection is gone; the next call reports it.
      guard_set_ = false;
    }
  }

  // One round trip per statement where it can be: a prepared statement in a
  // transaction goes by SQL EXECUTE behind what is ahead of it, its values
  // as escaped literals, which the server converts to the parameters' types
  // exactly as it converts bound texts.
  pqxx::result Run(const std::string& sql, const std::vector<Value>& params) {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> args(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (IsNull(params[i])) continue;
      texts[i] = Text(params[i]);
      args[i] = texts[i].c_str();
    }
    Statement* statement = Cached(sql);
    return Guarded([&] {
      std::string ahead = Ahead();
      if (statement != nullptr && statement->prepared && !ahead.empty()) {
        std::string text = ahead + "EXECUTE " + statement->name;
        for (std::size_t i = 0; i < params.size(); ++i) {
          text += i == 0 ? "(" : ", ";
          if (args[i] == nullptr) {
            text += "NULL";
          } else {
            text += '\'';
            text += conn_.esc(texts[i]);
            text += '\'';
          }
        }
        if (!params.empty()) text += ')';
        return Counted([&] { return work_.exec(text); });
      }
      if (!ahead.empty()) Counted([&] { return work_.exec(ahead); });  // the server prepares behind the guard too
      if (statement == nullptr) {
        return Counted([&] { return work_.exec_params(WithSqliteNullOrder(sql), pqxx::prepare::make_dynamic_params(args)); });
      }
      if (!statement->prepared) {
        Counted([&] { conn_.prepare_now(statement->name); return 0; });
        statement->prepared = true;
      }
      return Counted([&] { return work_.exec_prepared(statement->name, pqxx::prepare::make_dynamic_params(args)); });
    });
  }
  // One bounded SELECT of a result set, read whole.
  RowBlock Fetch(const std::string& sql, const std::vector<Value>& params) {
    const pqxx::result result = Run(sql, params);
    RowBlock block;
    std::vector<pqxx::oid> types;
    for (pqxx::row_size_type c = 0; c < result.columns(); ++c) {
      block.columns.push_back(result.column_name(c));
      types.push_back(result.column_type(c));
    }
    block.rows.reserve(result.size());
    for (const pqxx::row& r : result) {
      std::vector<Value>& row = block.rows.emplace_back();
      row.reserve(types.size());
      for (pqxx::row_size_type c = 0; c < result.columns(); ++c) row.push_back(ToValue(r[c], types[c]));
    }
    return block;
  }
  static std::string Text(const Value& v) {
    if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    if (auto* d = std::get_if<double>(&v)) return NumberText(*d);
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return regional::FormatIsoDate(std::get<DateValue>(v).ole);
  }
  // The named statement for a text seen before, or null the first time:
  // statements built with literal values are mostly seen once and not worth
  // a round trip to prepare. The cache is bounded; one-off texts go first.
  Statement* Cached(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
      if (it->second.name.empty()) {
        it->second.name = "tarvik_" + std::to_string(++counter_);
        conn_.prepare(it->second.name, WithSqliteNullOrder(sql));
      }
      return &it->second;
    }
    if (statements_.size() >= kCachedStatements) {
      std::erase_if(statements_, [](const auto& entry) { return entry.second.name.empty(); });
      if (statements_.size() >= kCachedStatements / 2) {
        for (auto& [text, statement] : statements_) conn_.unprepare(statement.name);
        statements_.clear();
      }
    }
    statements_.emplace(sql, Statement{});
    return nullptr;
  }

  static constexpr std::size_t kCachedStatements = 512;
  std::string name_;
  pqxx::connection conn_;
  pqxx::nontransaction work_;  // the one session object; transactions are plain SQL
  bool in_transaction_ = false;
  bool begin_pending_ = false;  // BEGIN not sent yet
  bool guard_set_ = false;      // "tarvik_statement" is set, innermost
  std::string pending_;         // the caller's savepoint commands not sent yet
  std::string outer_savepoint_;  // set when a savepoint opened the transaction
  std::unordered_map<std::string, Statement> statements_;
  std::uint64_t counter_ = 0;
  std::uint64_t transactions_ = 0;  // counts every BEGIN and end: rows read before are stale
};

}  // namespace

std::uint64_t PostgresRoundTrips() { return round_trips.load(std::memory_order_relaxed); }

std::unique_ptr<Backend> OpenPostgresBackend(const std::string& uri, OpenMode mode) {
  try {
    return std::make_unique<PostgresBackend>(uri, mode);
  } catch (const std::exception& e) {
    RaiseError(kErrDatabase, "Cannot open database '" + RedactedUri(uri) + "': " + TrimBlanks(e.what()));
  }
}

}  // namespace tarvik::data
