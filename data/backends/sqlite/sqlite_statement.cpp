#include "data/backends/sqlite/sqlite_statement.h"

#include <SQLiteCpp/Exception.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/error.h"
#include "platform/regional.h"
#include "platform/valid_utf8.h"

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

namespace {

bool IsDateType(const char* decl) {
  if (!decl) return false;
  const std::string t = AsciiUpper(decl);
  return t == "DATE" || t == "DATETIME" || t == "TIMESTAMP";
}

// Where the first statement of `sql` ends, as SQLite sees it: after the
// first ';' outside quotes and comments that completes a statement (a
// trigger's body holds several). npos when there is none.
std::size_t FirstStatementEnd(const std::string& sql) {
  std::size_t end = std::string::npos;
  std::size_t at = 0;
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    const std::size_t begin = at;
    at += text.size();
    if (kind != SqlPiece::kCode || end != std::string::npos) return;
    for (std::size_t i = text.find(';'); i != std::string_view::npos; i = text.find(';', i + 1)) {
      if (sqlite3_complete(sql.substr(0, begin + i + 1).c_str())) {
        end = begin + i + 1;
        return;
      }
    }
  });
  return end;
}

// True when the text holds nothing to run: blanks, semicolons, comments.
bool NothingToRun(std::string_view sql) {
  bool nothing = true;
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    if (kind == SqlPiece::kComment) return;
    if (kind != SqlPiece::kCode) nothing = false;
    for (char c : text) {
      if (c != ';' && !std::isspace(static_cast<unsigned char>(c))) nothing = false;
    }
  });
  return nothing;
}

}  // namespace

Prepared::Prepared(SQLite::Database& db, const std::string& sql)
    : statement(db, sql), text_hash(std::hash<std::string_view>{}(statement.getQuery())) {
  const int columns = statement.getColumnCount();
  for (int c = 0; c < columns; ++c) {
    bool date = false;
    try {
      date = IsDateType(statement.getColumnDeclaredType(c));
    } catch (const SQLite::Exception&) {
      // An expression: no declared type.
    }
    date_columns.push_back(date);
  }
}

Stmt Prepare(SQLite::Database& db, const std::string& sql) {
  if (NothingToRun(sql)) RaiseError(kErrDatabase, "Database error: empty statement");
  Stmt statement;
  try {
    statement = std::make_unique<Prepared>(db, sql);
  } catch (const SQLite::Exception& e) {
    RaiseSqlite(e);
  }
  const std::size_t end = FirstStatementEnd(sql);
  if (end != std::string::npos && !NothingToRun(std::string_view(sql).substr(end))) {
    RaiseError(kErrDatabase, "Database error: only one statement can be run at a time: " + sql);
  }
  return statement;
}

bool Step(Prepared& st) {
  const int rc = st.statement.tryExecuteStep();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseSqlite(st.statement.getExtendedErrorCode(), st.statement.getErrorMsg());
}

void Bind(Prepared& p, const std::vector<Value>& params) {
  SQLite::Statement& st = p.statement;
  st.tryReset();  // reports the last step's error, seen already
  try {
    st.clearBindings();
    const int count = st.getBindParameterCount();
    for (int i = 0; i < count && i < static_cast<int>(params.size()); ++i) {
      const Value& v = params[static_cast<std::size_t>(i)];
      const int idx = i + 1;
      if (auto* n = std::get_if<std::int64_t>(&v)) {
        st.bind(idx, *n);
      } else if (auto* d = std::get_if<double>(&v)) {
        st.bind(idx, *d);
      } else if (auto* t = std::get_if<std::string>(&v)) {
        st.bind(idx, *t);
      } else if (auto* dt = std::get_if<DateValue>(&v)) {
        st.bind(idx, regional::FormatIsoDate(dt->ole));
      } else {
        st.bind(idx);
      }
    }
  } catch (const SQLite::Exception& e) {
    RaiseSqlite(e);
  }
}

Value ColumnValue(const Prepared& p, int col) {
  const SQLite::Column column = p.statement.getColumn(col);
  switch (column.getType()) {
    case SQLITE_NULL:
      return std::monostate{};
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(column.getInt64());
    case SQLITE_FLOAT:
      return column.getDouble();
    default: {
      // SQLite stores whatever bytes another program wrote; nothing past here
      // (terminal, JSON, PDF) is handed invalid UTF-8.
      std::string s = ValidUtf8(std::string(column.getText(), static_cast<std::size_t>(column.getBytes())));
      if (p.date_columns[static_cast<std::size_t>(col)]) {
        if (auto d = regional::ParseIsoDate(s)) return DateValue{*d};
      }
      return s;
    }
  }
}

std::string ColumnName(const Prepared& p, int col) {
  if (col < 0 || col >= p.statement.getColumnCount()) return {};
  const char* name = p.statement.getColumnName(col);
  return name ? name : "";
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

Stmt StatementCache::Acquire(const std::string& sql) {
  auto it = by_text_.find(Text{sql, std::hash<std::string_view>{}(sql)});
  if (it == by_text_.end()) return Prepare(db_, sql);
  Stmt st = std::move(*it->second);
  idle_.erase(it->second);
  by_text_.erase(it);
  return st;
}

void StatementCache::Release(Stmt st) noexcept {
  if (!st) return;
  st->statement.tryReset();
  try {
    st->statement.clearBindings();
    idle_.push_front(std::move(st));
    const Prepared& kept = *idle_.front();
    by_text_.emplace(Text{kept.statement.getQuery(), kept.text_hash}, idle_.begin());
  } catch (...) {
    // Not kept; finalized here.
    return;
  }
  if (idle_.size() > kIdleLimit) {
    const auto oldest = std::prev(idle_.end());
    auto [first, last] = by_text_.equal_range(Text{(*oldest)->statement.getQuery(), (*oldest)->text_hash});
    for (auto it = first; it != last; ++it) {
      if (it->second == oldest) {
        by_text_.erase(it);
        break;
      }
    }
    idle_.erase(oldest);
  }
}

void StatementCache::Stepping(SteppingStatement* holder) {
  if (std::find(stepping_.begin(), stepping_.end(), holder) == stepping_.end()) stepping_.push_back(holder);
}

void StatementCache::Parked(SteppingStatement* holder) { std::erase(stepping_, holder); }

void StatementCache::ParkAll() noexcept {
  // Each Park takes its holder off the list.
  while (!stepping_.empty()) {
    SteppingStatement* holder = stepping_.back();
    stepping_.pop_back();
    holder->Park();
  }
}

}  // namespace tarvik::data::sqlite_detail
