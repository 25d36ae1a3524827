#include "host/database_open.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "data/backend.h"
#include "data/result_set.h"
#include "data/table_lookup.h"
#include "platform/error.h"

namespace tarvik::host {
namespace {

namespace fs = std::filesystem;

// Tables every database this program made holds, whatever its age.
bool HoldsTheBooks(data::Backend& backend) {
  return data::TablesExist(backend, {"invoice_header", "order_header", "system"});
}

std::unique_ptr<data::Backend> OpenChecked(const std::string& database) {
  const auto path = LocalDatabasePath(database);
  if (path && !fs::exists(*path)) {
    throw NotOurDatabase("no database at " + *path + " (create one with: tarvik init " + database +
                         ")");
  }
  std::unique_ptr<data::Backend> backend;
  bool ours = false;
  try {
    backend = data::OpenBackend(database, data::OpenMode::kReadOnly);
    ours = HoldsTheBooks(*backend);
  } catch (const AutomationError& e) {
    // SQLite's word for a file of another kind, at the open or the first read.
    if (!path || e.description().find("file is not a database") == std::string::npos) throw;
  }
  if (!ours) {
    throw NotOurDatabase((path ? *path : backend->DatabaseName()) +
                         " is not a database of this program");
  }
  return backend;
}

bool MayWrite(const fs::path& p) { return access(p.c_str(), W_OK) == 0; }

// SQLite writes its journal beside the file, so the folder counts too.
void CheckWriteAccess(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!MayWrite(path)) throw NoWriteAccess(path, "the file is read-only for this user");
  if (!MayWrite(folder)) {
    throw NoWriteAccess(path, "its folder " + folder.string() +
                                  " is read-only for this user (SQLite keeps its journal there)");
  }
}

}  // namespace

std::optional<std::string> LocalDatabasePath(const std::string& database) {
  if (data::IsPostgresUri(database)) return std::nullopt;
  if (database.rfind("sqlite:", 0) == 0) return database.substr(7);
  return database;
}

void NoticeOnStderr(const std::string& text) { std::cerr << "tarvik: " << text << std::endl; }

std::unique_ptr<data::Backend> OpenBackendForReading(const std::string& database) {
  return OpenChecked(database);
}

ComPtr<data::HostConnection> OpenForReading(const std::string& database) {
  return data::NewConnection(OpenChecked(database));
}

RepairedOpen OpenAndRepair(const std::string& database) {
  // Checked on a reading connection first: opening for writing would turn an
  // empty file into a database.
  OpenChecked(database);
  if (auto path = LocalDatabasePath(database)) CheckWriteAccess(*path);
  RepairedOpen opened{data::OpenConnection(database), {}};
  opened.repair = db::PrepareForWriting(*opened.connection);
  return opened;
}

ComPtr<data::HostConnection> OpenForWriting(const std::string& database,
                                            const RepairNotice& notice) {
  RepairedOpen opened = OpenAndRepair(database);
  if (!opened.repair.nothing_done() && notice) notice(db::Describe(opened.repair));
  return std::move(opened.connection);
}

}  // namespace tarvik::host
