#include "data/backends/sqlite/statement_cache.h"

#include <sqlite3.h>

#include <cctype>
#include <string_view>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data::sqlite {

StatementLease::StatementLease(std::shared_ptr<StatementCache> cache, std::string sql,
                               std::unique_ptr<SQLite::Statement> statement)
    : cache_(std::move(cache)), sql_(std::move(sql)), statement_(std::move(statement)) {}

StatementLease::~StatementLease() {
  if (!statement_) return;
  statement_->tryReset();
  try {
    statement_->clearBindings();
  } catch (const std::exception&) {
    return;  // not reusable; let it be finalized
  }
  cache_->GiveBack(std::move(sql_), std::move(statement_));
}

void StatementLease::Bind(const std::vector<Value>& values, int first) {
  const int wanted = statement_->getBindParameterCount();
  const int given = static_cast<int>(values.size());
  for (int i = 0; i < given && first + i <= wanted; ++i) {
    const int index = first + i;
    const Value& v = values[static_cast<std::size_t>(i)];
    if (std::holds_alternative<std::monostate>(v)) {
      statement_->bind(index);
    } else if (auto n = std::get_if<std::int64_t>(&v)) {
      statement_->bind(index, static_cast<int64_t>(*n));
    } else if (auto d = std::get_if<double>(&v)) {
      statement_->bind(index, *d);
    } else if (auto s = std::get_if<std::string>(&v)) {
      statement_->bind(index, *s);
    } else {
      statement_->bind(index, regional::FormatIsoDate(std::get<DateValue>(v).ole));
    }
  }
}

StatementCache::StatementCache(const std::string& path, int busy_timeout_ms)
    : db_(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_URI,
          busy_timeout_ms) {}

StatementLease StatementCache::Acquire(const std::string& sql) {
  auto found = by_sql_.find(sql);
  if (found != by_sql_.end()) {
    auto it = found->second;
    by_sql_.erase(found);
    std::unique_ptr<SQLite::Statement> statement = std::move(it->statement);
    idle_.erase(it);
    return StatementLease(shared_from_this(), sql, std::move(statement));
  }
  auto statement = std::make_unique<SQLite::Statement>(db_, sql);
  ++prepares_;
  return StatementLease(shared_from_this(), sql, std::move(statement));
}

void StatementCache::GiveBack(std::string sql, std::unique_ptr<SQLite::Statement> statement) {
  idle_.push_front(Idle{sql, std::move(statement)});
  by_sql_.emplace(std::move(sql), idle_.begin());
  if (idle_.size() <= kCapacity) return;
  auto last = std::prev(idle_.end());
  auto range = by_sql_.equal_range(last->sql);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == last) {
      by_sql_.erase(it);
      break;
    }
  }
  idle_.erase(last);
}

bool IsDateType(const char* declared) {
  if (!declared) return false;
  std::string upper;
  for (const char* p = declared; *p; ++p) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  std::string_view t(upper);
  return t.starts_with("DATE") || t.starts_with("TIMESTAMP");
}

Value ReadColumn(SQLite::Statement& statement, int column, bool date_column) {
  SQLite::Column c = statement.getColumn(column);
  switch (c.getType()) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(c.getInt64());
    case SQLITE_FLOAT:
      return c.getDouble();
    case SQLITE_NULL:
      return std::monostate{};
    default: {
      std::string text = c.getString();
      if (date_column) {
        if (auto d = regional::ParseIsoDate(text)) return DateValue{*d};
      }
      return text;
    }
  }
}

}  // namespace tarvik::data::sqlite
