#include <memory>
#include <string>

#include "data/backend.h"
#include "data/backends/postgres/postgres_backend.h"
#include "data/backends/sqlite/sqlite_backend.h"
#include "platform/error.h"

namespace tarvik::data {

std::unique_ptr<Backend> OpenBackend(const std::string& database, OpenMode mode) {
  if (database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0) {
    return OpenPostgresBackend(database, mode);
  }
  std::string path = database.rfind("sqlite:", 0) == 0 ? database.substr(7) : database;
  if (path.empty()) RaiseError(kErrDatabase, "No database file given.");
  return OpenSqliteBackend(path, mode);
}

}  // namespace tarvik::data
