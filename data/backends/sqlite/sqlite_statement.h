// Statements of the SQLite backend and its result sets, on SQLiteCpp.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/sql_text.h"
#include "data/value.h"

namespace SQLite {
class Exception;
}

namespace tarvik::data::sqlite_detail {

// Errors as AutomationError: key violations 3022, busy or locked 3260,
// anything else 3146, with SQLite's message.
[[noreturn]] void RaiseSqlite(int extended, const std::string& message);
[[noreturn]] void RaiseSqlite(const SQLite::Exception& e);

// A prepared statement and which of its columns are declared DATE,
// DATETIME or TIMESTAMP (their text is read as a date).
struct Prepared {
  Prepared(SQLite::Database& db, const std::string& sql);
  SQLite::Statement statement;
  std::vector<bool> date_columns;
  std::size_t text_hash;  // of the statement's text, for the cache
  // Its trailing ORDER BY taken apart, found by the first record set that
  // reads it and kept with the statement: the text does not change.
  std::shared_ptr<const std::optional<OrderedSelect>> order;
};
using Stmt = std::unique_ptr<Prepared>;

// One statement only: text after it (other than blanks, semicolons and
// comments) is refused rather than run or silently dropped.
Stmt Prepare(SQLite::Database& db, const std::string& sql);

// A holder of a statement that may be left in the middle of its rows.
class SteppingStatement {
 public:
  // Resets the statement, remembering where to go on from. Cannot fail.
  virtual void Park() noexcept = 0;

 protected:
  ~SteppingStatement() = default;
};

// The connection's one statement cache: prepared statements are lent to
// whoever runs a text and taken back, reset, when they are done, so the
// same text is not prepared again. Statements built with literal values are
// all different: only the most recently used idle ones are kept, so the
// cache cannot grow with the books. A statement that has not run to its end
// holds a read transaction on its snapshot (in WAL mode), so one is left
// stepping between calls only inside a transaction of ours, and is parked
// before that transaction ends.
class StatementCache {
 public:
  explicit StatementCache(SQLite::Database& db) : db_(db) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  Stmt Acquire(const std::string& sql);
  void Release(Stmt statement) noexcept;

  // `holder` leaves its statement stepping; Parked takes it off the list.
  void Stepping(SteppingStatement* holder);
  void Parked(SteppingStatement* holder);
  // Parks every stepping statement (before COMMIT or ROLLBACK).
  void ParkAll() noexcept;

 private:
  static constexpr std::size_t kIdleLimit = 256;
  SQLite::Database& db_;
  std::list<Stmt> idle_;  // most recently used first
  // Keyed by the text the statement holds itself, with its hash kept: a
  // statement goes in and out of the cache for every execution, and its
  // text can be long.
  struct Text {
    std::string_view text;
    std::size_t hash;
    bool operator==(const Text& other) const { return text == other.text; }
  };
  struct TextHash {
    std::size_t operator()(const Text& t) const noexcept { return t.hash; }
  };
  std::unordered_multimap<Text, std::list<Stmt>::iterator, TextHash> by_text_;
  std::vector<SteppingStatement*> stepping_;
};

// True when a row is ready, false at the end.
bool Step(Prepared& st);
// Resets the statement and binds ?1..?n; surplus values are ignored.
void Bind(Prepared& st, const std::vector<Value>& params);
// A column of the current row; text of date columns becomes a date.
Value ColumnValue(const Prepared& st, int col);
// The name of a column of the result, empty for none.
std::string ColumnName(const Prepared& st, int col);
// Equality for FindFirst: numbers by value, never Null.
bool SameValue(const Value& a, const Value& b);

}  // namespace tarvik::data::sqlite_detail
