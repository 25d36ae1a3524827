#include "data/backends/sqlite/sqlite_statement.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <algorithm>
#include <cctype>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data::sqlite_detail {

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

bool Step(sqlite3* db, sqlite3_stmt* st) {
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseSqlite(db);
}

namespace {

bool IsDateType(const char* decl) {
  if (!decl) return false;
  std::string t;
  for (const char* p = decl; *p; ++p) t += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return t == "DATE" || t == "DATETIME" || t == "TIMESTAMP";
}

}  // namespace

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

Stmt StatementPool::Acquire(sqlite3* db, const std::string& sql) {
  auto it = idle_.find(sql);
  if (it == idle_.end() || it->second.empty()) return Prepare(db, sql);
  Stmt st = std::move(it->second.back());
  it->second.pop_back();
  --idle_count_;
  return st;
}

void StatementPool::Release(const std::string& sql, Stmt statement) {
  if (!statement || idle_count_ >= kIdleLimit) return;  // finalized here
  sqlite3_reset(statement.get());
  sqlite3_clear_bindings(statement.get());
  idle_[sql].push_back(std::move(statement));
  ++idle_count_;
}

void StatementPool::Stepping(SteppingStatement* holder) {
  if (std::find(stepping_.begin(), stepping_.end(), holder) == stepping_.end()) stepping_.push_back(holder);
}

void StatementPool::Parked(SteppingStatement* holder) { std::erase(stepping_, holder); }

void StatementPool::ParkAll() noexcept {
  // Each Park takes its holder off the list.
  while (!stepping_.empty()) {
    SteppingStatement* holder = stepping_.back();
    stepping_.pop_back();
    holder->Park();
  }
}

}  // namespace tarvik::data::sqlite_detail
