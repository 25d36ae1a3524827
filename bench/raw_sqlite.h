// The physical limit of this design on SQLite: the same statements of the
// stored queries, prepared once on the raw database API, bound with the
// same values, inside the same transactions.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <variant>
#include <string>
#include <vector>

namespace tarvik::bench {

using RawValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// The synchronous setting both sides run with: TARVIK_SQLITE_SYNCHRONOUS,
// FULL when unset, as in the component's backend.
std::string SqliteSynchronous();

class RawDatabase {
 public:
  using Handle = sqlite3_stmt*;
  explicit RawDatabase(const std::string& path);  // same pragmas as the backend
  ~RawDatabase();
  RawDatabase(const RawDatabase&) = delete;
  RawDatabase& operator=(const RawDatabase&) = delete;

  void Exec(const char* sql);
  void BeginWrite() { Exec("BEGIN IMMEDIATE"); }
  // Flushes the write-ahead log, as COMMIT does under synchronous=FULL.
  void FlushLog();
  // A prepared statement of this database, reused.
  sqlite3_stmt* Statement(const std::string& sql);
  // Binds ?1..?n, steps to the end; rows of the first column when asked.
  void Run(sqlite3_stmt* st, const std::vector<RawValue>& values,
           std::vector<std::int64_t>* first_column = nullptr);
  // A stored query of the catalog by name: its statements, run as one unit
  // (a savepoint when there are several).
  void RunStored(const std::string& name, const std::vector<RawValue>& values,
                 std::vector<std::int64_t>* first_column = nullptr);

  sqlite3* handle() const { return db_; }

 private:
  struct Stored {
    std::vector<sqlite3_stmt*> statements;
  };
  const Stored& Lookup(const std::string& name);

  sqlite3* db_ = nullptr;
  std::vector<std::pair<std::string, sqlite3_stmt*>> statements_;
  std::vector<std::pair<std::string, Stored>> stored_;
};

}  // namespace tarvik::bench
