#include "bench/raw_sqlite.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "data/backends/sqlite/sqlite_backend.h"
#include "data/dialect.h"
#include "data/sql_text.h"

namespace tarvik::bench {
namespace {

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
  }
}

}  // namespace

RawDatabase::RawDatabase(const std::string& path) {
  Check(db_, sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr));
  sqlite3_busy_timeout(db_, 10000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA foreign_keys=ON");
  Exec(("PRAGMA synchronous=" + SqliteSynchronous()).c_str());
  // The component's page cache: a baseline with less would read the stock
  // from the file where the component does not.
  Exec(("PRAGMA cache_size=-" + std::to_string(data::kSqlitePageCacheKib)).c_str());
}

std::string SqliteSynchronous() {
  const char* given = std::getenv("TARVIK_SQLITE_SYNCHRONOUS");
  std::string upper = given && *given ? given : "FULL";
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

RawDatabase::~RawDatabase() {
  for (auto& [sql, st] : statements_) sqlite3_finalize(st);
  sqlite3_close(db_);
}

void RawDatabase::Exec(const char* sql) { Check(db_, sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

void RawDatabase::FlushLog() {
  sqlite3_file* log = nullptr;
  Check(db_, sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log));
  if (log && log->pMethods && log->pMethods->xSync(log, SQLITE_SYNC_NORMAL) != SQLITE_OK) {
    throw std::runtime_error("sqlite: the write-ahead log could not be flushed");
  }
}

sqlite3_stmt* RawDatabase::Statement(const std::string& sql) {
  for (auto& [text, st] : statements_) {
    if (text == sql) return st;
  }
  sqlite3_stmt* st = nullptr;
  Check(db_, sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr));
  statements_.emplace_back(sql, st);
  return st;
}

void RawDatabase::Run(sqlite3_stmt* st, const std::vector<RawValue>& values,
                      std::vector<std::int64_t>* first_column) {
  sqlite3_reset(st);
  const int count = sqlite3_bind_parameter_count(st);
  for (int i = 0; i < count && i < static_cast<int>(values.size()); ++i) {
    const RawValue& v = values[static_cast<std::size_t>(i)];
    if (auto* n = std::get_if<std::int64_t>(&v)) {
      sqlite3_bind_int64(st, i + 1, *n);
    } else if (auto* d = std::get_if<double>(&v)) {
      sqlite3_bind_double(st, i + 1, *d);
    } else if (auto* s = std::get_if<std::string>(&v)) {
      sqlite3_bind_text(st, i + 1, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(st, i + 1);
    }
  }
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    if (first_column) first_column->push_back(sqlite3_column_int64(st, 0));
  }
  Check(db_, rc);
}

const RawDatabase::Stored& RawDatabase::Lookup(const std::string& name) {
  for (auto& [n, s] : stored_) {
    if (n == name) return s;
  }
  sqlite3_stmt* q = Statement("SELECT sql FROM QueryDefs WHERE name = ?1");
  sqlite3_reset(q);
  sqlite3_bind_text(q, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(q) != SQLITE_ROW) throw std::runtime_error("no stored query " + name);
  const std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
  sqlite3_reset(q);
  Stored stored;
  for (const std::string& piece : data::SplitStatements(sql)) {
    stored.statements.push_back(Statement(data::TranslateClassic(piece, data::Dialect::kSqlite)));
  }
  stored_.emplace_back(name, stored);
  return stored_.back().second;
}

void RawDatabase::RunStored(const std::string& name, const std::vector<RawValue>& values,
                            std::vector<std::int64_t>* first_column) {
  const Stored& stored = Lookup(name);
  const bool unit = stored.statements.size() > 1;
  if (unit) Exec("SAVEPOINT q");
  for (sqlite3_stmt* st : stored.statements) Run(st, values, first_column);
  if (unit) Exec("RELEASE q");
}

}  // namespace tarvik::bench
