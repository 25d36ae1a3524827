// The open SQLite database with its prepared statements. Each distinct SQL
// text is prepared once; a statement is lent out for one use and comes back
// reset when the lease ends, so two users of the same text never share a
// running statement. The least recently used idle statements are finalized
// when the cache is full (texts built with literal values are one-offs).
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/value.h"

namespace tarvik::data::sqlite {

class StatementCache;

class StatementLease {
 public:
  StatementLease(std::shared_ptr<StatementCache> cache, std::string sql,
                 std::unique_ptr<SQLite::Statement> statement);
  StatementLease(StatementLease&&) = default;
  StatementLease& operator=(StatementLease&&) = delete;
  ~StatementLease();

  SQLite::Statement& operator*() const { return *statement_; }
  SQLite::Statement* operator->() const { return statement_.get(); }
  // Binds values to ?1..?n; the statement must not ask for more of them.
  void Bind(const std::vector<Value>& values, int first = 1);

 private:
  std::shared_ptr<StatementCache> cache_;
  std::string sql_;
  std::unique_ptr<SQLite::Statement> statement_;
};

class StatementCache : public std::enable_shared_from_this<StatementCache> {
 public:
  static constexpr std::size_t kCapacity = 256;

  StatementCache(const std::string& path, int busy_timeout_ms);

  SQLite::Database& db() { return db_; }
  // Throws SQLite::Exception when the text does not prepare.
  StatementLease Acquire(const std::string& sql);
  std::int64_t prepare_count() const { return prepares_; }

 private:
  friend class StatementLease;
  void GiveBack(std::string sql, std::unique_ptr<SQLite::Statement> statement);

  struct Idle {
    std::string sql;
    std::unique_ptr<SQLite::Statement> statement;
  };
  SQLite::Database db_;
  std::list<Idle> idle_;  // most recently used first
  std::unordered_multimap<std::string, std::list<Idle>::iterator> by_sql_;
  std::int64_t prepares_ = 0;
};

// A column of the current row as a Value; text of a date column becomes a
// DateValue.
Value ReadColumn(SQLite::Statement& statement, int column, bool date_column);
// Whether a declared column type holds dates (DATE, DATETIME, TIMESTAMP...).
bool IsDateType(const char* declared);

}  // namespace tarvik::data::sqlite
