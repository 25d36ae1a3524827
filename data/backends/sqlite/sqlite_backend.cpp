#include "data/backends/sqlite/sqlite_backend.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <cctype>
#include <memory>
#include <unordered_map>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data {
namespace {

constexpr int kBusyTimeoutMs = 10000;

[[noreturn]] void RaiseSqlite(int extended, const std::string& message) {
  const int code = extended & 0xFF;
  if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
    RaiseError(kErrKeyViolation, "Duplicate value: " + message);
  }
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    RaiseError(kErrLocked, "The database is in use by another user: " + message);
  }
  RaiseError(kErrDatabase, "Database error: " + message);
}
[[noreturn]] void RaiseSqlite(const SQLite::Exception& e) { RaiseSqlite(e.getExtendedErrorCode(), e.what()); }
[[noreturn]] void RaiseSqlite(sqlite3* db) { RaiseSqlite(sqlite3_extended_errcode(db), sqlite3_errmsg(db)); }

struct Finalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, Finalize>;

// One statement only: text after it (other than blanks, semicolons and
// comments) is refused rather than run or silently dropped.
Stmt Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK) {
    sqlite3_finalize(raw);
    RaiseSqlite(db);
  }
  if (!raw) RaiseError(kErrDatabase, "Database error: empty statement");
  Stmt statement(raw);
  const char* end = sql.c_str() + sql.size();
  while (tail && tail < end) {
    sqlite3_stmt* next = nullptr;
    const char* after = nullptr;
    const int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next, &after);
    sqlite3_finalize(next);
    if (rc != SQLITE_OK || next) {
      RaiseError(kErrDatabase, "Database error: only one statement can be run at a time: " + sql);
    }
    if (after == tail) break;
    tail = after;
  }
  return statement;
}

// True when a row is ready, false at the end.
bool Step(sqlite3* db, sqlite3_stmt* st) {
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseSqlite(db);
}

bool IsDateType(const char* decl) {
  if (!decl) return false;
  std::string t;
  for (const char* p = decl; *p; ++p) t += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return t == "DATE" || t == "DATETIME" || t == "TIMESTAMP";
}

void Bind(sqlite3* db, sqlite3_stmt* st, const std::vector<Value>& params) {
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  const int count = sqlite3_bind_parameter_count(st);
  for (int i = 0; i < count && i < static_cast<int>(params.size()); ++i) {
    const Value& v = params[static_cast<std::size_t>(i)];
    const int idx = i + 1;
    int rc = SQLITE_OK;
    if (auto* n = std::get_if<std::int64_t>(&v)) {
      rc = sqlite3_bind_int64(st, idx, *n);
    } else if (auto* d = std::get_if<double>(&v)) {
      rc = sqlite3_bind_double(st, idx, *d);
    } else if (auto* t = std::get_if<std::string>(&v)) {
      rc = sqlite3_bind_text(st, idx, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    } else if (auto* dt = std::get_if<DateValue>(&v)) {
      const std::string iso = regional::FormatIsoDate(dt->ole);
      rc = sqlite3_bind_text(st, idx, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_null(st, idx);
    }
    if (rc != SQLITE_OK) RaiseSqlite(db);
  }
}

Value ColumnValue(sqlite3_stmt* raw, int col) {
  switch (sqlite3_column_type(raw, col)) {
    case SQLITE_NULL:
      return std::monostate{};
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_column_int64(raw, col));
    case SQLITE_FLOAT:
      return sqlite3_column_double(raw, col);
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, col));
      std::string s(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(raw, col)));
      if (IsDateType(sqlite3_column_decltype(raw, col))) {
        if (auto d = regional::ParseIsoDate(s)) return DateValue{*d};
      }
      return s;
    }
  }
}

bool SameValue(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return false;
  auto num = [](const Value& v, double* out) {
    if (auto* i = std::get_if<std::int64_t>(&v)) return *out = static_cast<double>(*i), true;
    if (auto* d = std::get_if<double>(&v)) return *out = *d, true;
    return false;
  };
  double x, y;
  if (num(a, &x) && num(b, &y)) return x == y;
  return a == b;
}

// Rows are read lazily: only what a caller visits is fetched from the
// statement; MoveLast or RowCount read the rest once.
class SqliteResultSet : public ResultSet {
 public:
  SqliteResultSet(sqlite3* db, const std::string& sql, const std::vector<Value>& params)
      : db_(db), st_(Prepare(db, sql)) {
    Bind(db_, st_.get(), params);
    columns_ = sqlite3_column_count(st_.get());
  }
  std::int64_t RowCount() override {
    FetchUntil(-1);
    return static_cast<std::int64_t>(rows_.size());
  }
  int ColumnCount() override { return columns_; }
  std::string ColumnName(int column) override {
    const char* n = sqlite3_column_name(st_.get(), column);
    return n ? n : "";
  }
  bool Seek(std::int64_t row) override {
    if (row < 0) return false;
    FetchUntil(row);
    if (row >= static_cast<std::int64_t>(rows_.size())) return false;
    current_ = row;
    return true;
  }
  const Value& Column(int column) override {
    static const Value kNull;
    if (current_ < 0 || column < 0 || column >= columns_) return kNull;
    return rows_[static_cast<std::size_t>(current_)][static_cast<std::size_t>(column)];
  }
  std::optional<std::int64_t> FindFirst(const std::string& column, const Value& value,
                                        std::int64_t from) override {
    int col = -1;
    for (int c = 0; c < columns_ && col < 0; ++c) {
      if (sqlite3_stricmp(sqlite3_column_name(st_.get(), c), column.c_str()) == 0) col = c;
    }
    if (col < 0) RaiseError(kErrItemNotFound, "Item not found in this collection: column " + column);
    for (std::int64_t r = std::max<std::int64_t>(from, 0);; ++r) {
      FetchUntil(r);
      if (r >= static_cast<std::int64_t>(rows_.size())) return std::nullopt;
      if (SameValue(rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)], value)) return r;
    }
  }

 private:
  // Rows are fetched only as far as a caller reaches.
  void FetchUntil(std::int64_t row) {
    while (!done_ && (row < 0 || static_cast<std::int64_t>(rows_.size()) <= row)) {
      if (!Step(db_, st_.get())) {
        done_ = true;
        break;
      }
      std::vector<Value> r;
      r.reserve(static_cast<std::size_t>(columns_));
      for (int c = 0; c < columns_; ++c) r.push_back(ColumnValue(st_.get(), c));
      rows_.push_back(std::move(r));
    }
  }

  sqlite3* db_;
  Stmt st_;
  int columns_ = 0;
  std::vector<std::vector<Value>> rows_;
  std::int64_t current_ = -1;
  bool done_ = false;
};

class SqliteBackend : public Backend {
 public:
  explicit SqliteBackend(const std::string& path)
      : path_(path), db_(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, kBusyTimeoutMs) {
    db_.exec("PRAGMA journal_mode=WAL");
    db_.exec("PRAGMA foreign_keys=ON");
    db_.exec("PRAGMA synchronous=NORMAL");
  }
  Dialect dialect() const override { return Dialect::kSqlite; }
  std::string DatabaseName() const override { return path_; }

  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    sqlite3* db = db_.getHandle();
    sqlite3_stmt* st = Prepared(sql);
    Bind(db, st, params);
    try {
      while (Step(db, st)) {
      }
    } catch (...) {
      sqlite3_reset(st);
      throw;
    }
    std::int64_t changes = sqlite3_changes(db);
    sqlite3_reset(st);
    return changes;
  }
  std::unique_ptr<ResultSet> Query(const std::string& sql, const std::vector<Value>& params) override {
    return std::make_unique<SqliteResultSet>(db_.getHandle(), sql, params);
  }
  void ExecuteScript(std::string_view sql) override { Exec(std::string(sql)); }
  void Begin() override { Exec("BEGIN IMMEDIATE"); }
  void Commit() override { Exec("COMMIT"); }
  void Rollback() override { Exec("ROLLBACK"); }
  void Savepoint(const std::string& name) override { Exec("SAVEPOINT " + name); }
  void ReleaseSavepoint(const std::string& name) override { Exec("RELEASE " + name); }
  void RollbackToSavepoint(const std::string& name) override {
    Exec("ROLLBACK TO " + name);
    Exec("RELEASE " + name);
  }

 private:
  void Exec(const std::string& sql) {
    try {
      db_.exec(sql);
    } catch (const SQLite::Exception& e) {
      RaiseSqlite(e);
    }
  }
  // Each distinct text is prepared once and reused.
  sqlite3_stmt* Prepared(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) it = cache_.emplace(sql, Prepare(db_.getHandle(), sql)).first;
    return it->second.get();
  }

  std::string path_;
  SQLite::Database db_;  // before the cache: statements finalize first
  std::unordered_map<std::string, Stmt> cache_;
};

}  // namespace

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path) {
  try {
    return std::make_unique<SqliteBackend>(path);
  } catch (const SQLite::Exception& e) {
    RaiseError(kErrDatabase, "Cannot open database '" + path + "': " + e.what());
  }
}

std::unique_ptr<Backend> OpenBackend(const std::string& database) {
  if (database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0) {
    RaiseError(kErrDatabase, "PostgreSQL backend is not available in this build: " + database);
  }
  std::string path = database.rfind("sqlite:", 0) == 0 ? database.substr(7) : database;
  if (path.empty()) RaiseError(kErrDatabase, "No database file given.");
  return OpenSqliteBackend(path);
}

}  // namespace tarvik::data
