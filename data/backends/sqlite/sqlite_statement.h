// Statement helpers shared by the SQLite backend and its result sets.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/value.h"

namespace SQLite {
class Exception;
}

namespace tarvik::data::sqlite_detail {

// Errors as AutomationError: key violations 3022, busy or locked 3260,
// anything else 3146, with SQLite's message.
[[noreturn]] void RaiseSqlite(int extended, const std::string& message);
[[noreturn]] void RaiseSqlite(const SQLite::Exception& e);
[[noreturn]] void RaiseSqlite(sqlite3* db);

struct Finalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, Finalize>;

// One statement only: text after it (other than blanks, semicolons and
// comments) is refused rather than run or silently dropped.
Stmt Prepare(sqlite3* db, const std::string& sql);
// A holder of a statement that may be left in the middle of its rows.
class SteppingStatement {
 public:
  // Resets the statement, remembering where to go on from. Cannot fail.
  virtual void Park() noexcept = 0;

 protected:
  ~SteppingStatement() = default;
};

// Prepared SELECT statements lent to result sets and taken back when they
// are done, so the same query opened again is not prepared again. Released
// and idle statements are reset. A statement that has not run to its end
// holds a read transaction on its snapshot (in WAL mode), so one is left
// stepping between calls only inside a transaction of ours, and is parked
// before that transaction ends.
class StatementPool {
 public:
  Stmt Acquire(sqlite3* db, const std::string& sql);
  void Release(const std::string& sql, Stmt statement);

  // `holder` leaves its statement stepping; Parked takes it off the list.
  void Stepping(SteppingStatement* holder);
  void Parked(SteppingStatement* holder);
  // Parks every stepping statement (before COMMIT or ROLLBACK).
  void ParkAll() noexcept;

 private:
  static constexpr std::size_t kIdleLimit = 128;
  std::unordered_map<std::string, std::vector<Stmt>> idle_;
  std::size_t idle_count_ = 0;
  std::vector<SteppingStatement*> stepping_;
};

// True when a row is ready, false at the end.
bool Step(sqlite3* db, sqlite3_stmt* st);
// Resets the statement and binds ?1..?n; surplus values are ignored.
void Bind(sqlite3* db, sqlite3_stmt* st, const std::vector<Value>& params);
// A column of the current row; text of DATE/DATETIME/TIMESTAMP columns
// becomes a date.
Value ColumnValue(sqlite3_stmt* raw, int col);
// Equality for FindFirst: numbers by value, never Null.
bool SameValue(const Value& a, const Value& b);

}  // namespace tarvik::data::sqlite_detail
