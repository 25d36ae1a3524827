#include <memory>
#include <string>

#include "data/backend.h"
#include "data/backends/postgres/postgres_backend.h"
#include "data/backends/sqlite/sqlite_backend.h"
#include "platform/error.h"

namespace tarvik::data {

bool IsPostgresUri(std::string_view database) {
  return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::unique_ptr<Backend> OpenBackend(const std::string& database, OpenMode mode) {
  if (IsPostgresUri(database)) {
    return OpenPostgresBackend(database, mode);
  }
  std::string path = database.rfind("sqlite:", 0) == 0 ? database.substr(7) : database;
  if (path.empty()) RaiseError(kErrDatabase, "No database file given.");
  return OpenSqliteBackend(path, mode);
}

}  // namespace tarvik::data
