// A fresh database for one test, removed afterwards: a SQLite file in a
// temporary folder, or, when TARVIK_TEST_POSTGRES names a PostgreSQL server
// (postgresql://user@host:port/db), a new database of a unique name there.
#pragma once

#include <string>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::testing {

class TempDatabase {
 public:
  // demo: full schema and demo data; otherwise an empty database.
  explicit TempDatabase(bool initialize = true, bool demo = true);
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  // File path (SQLite) or URI (PostgreSQL): what a database argument takes.
  const std::string& path() const { return path_; }
  ComPtr<data::HostConnection> Connect() const;
  bool postgres() const { return !pg_name_.empty(); }

 private:
  std::string dir_;
  std::string path_;
  std::string pg_name_;
};

// The server the tests run against, empty for SQLite.
std::string TestPostgresServer();
// Creates an empty database of a unique name on that server and returns its
// URI; it is dropped when the test program ends (or by DropPostgresDatabase).
std::string NewPostgresDatabase();
void DropPostgresDatabase(const std::string& uri);
// The database part of a server URI.
std::string PostgresDatabaseName(const std::string& uri);
// A new database on that server made from the one at uri, which must have
// no open connection; dropped like the others.
std::string CopyPostgresDatabase(const std::string& uri);
// The same for a source that never changes while the program runs: the next
// copy is made in the background while the caller uses this one.
std::string CopyPostgresDatabaseAhead(const std::string& uri);

// First column of the first row of a query, as a double (0 when no row or Null).
double ScalarNumber(data::HostConnection& c, const std::string& sql);
std::string ScalarText(data::HostConnection& c, const std::string& sql);
// Every row of a one-column query, joined by sep, in the order given: a
// portable stand-in for group_concat / string_agg.
std::string JoinedColumn(data::HostConnection& c, const std::string& sql, const std::string& sep = ",");

}  // namespace tarvik::testing
