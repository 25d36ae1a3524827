// How the host opens the books for a command.
//
// Reading never creates, converts or writes anything: a missing SQLite
// file, an empty one or a file of another kind is refused with a clear
// message and left as it is, and a user who may only read the database can
// read it. Writing first makes the same check, then opens read-write and
// completes what an interrupted run left (db::PrepareForWriting), telling
// the user when it did.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "data/backend.h"
#include "data/host_connection.h"
#include "db/books_recovery.h"
#include "platform/com.h"

namespace tarvik::host {

// The file behind a database argument ("x.db" or "sqlite:x.db"); nullopt for
// a server URI.
std::optional<std::string> LocalDatabasePath(const std::string& database);

// The argument names no database of this program (missing, empty, another
// kind of file, a server database without the books' tables).
struct NotOurDatabase : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// This user may read the database but not write it.
struct NoWriteAccess : std::runtime_error {
  NoWriteAccess(std::string database, std::string reason)
      : std::runtime_error("cannot write " + database + ": " + reason),
        database(std::move(database)),
        reason(std::move(reason)) {}
  std::string database;
  std::string reason;  // "the file is read-only for this user"
};

// Told what a writing open repaired; one line for a person.
using RepairNotice = std::function<void(const std::string& text)>;

// Writes "tarvik: <text>" on standard error.
void NoticeOnStderr(const std::string& text);

std::unique_ptr<data::Backend> OpenBackendForReading(const std::string& database);
ComPtr<data::HostConnection> OpenForReading(const std::string& database);

// Throws NoWriteAccess when a SQLite file or its folder may not be written.
ComPtr<data::HostConnection> OpenForWriting(const std::string& database,
                                            const RepairNotice& notice = NoticeOnStderr);

// OpenForWriting that hands back what the repair did instead of telling it.
struct RepairedOpen {
  ComPtr<data::HostConnection> connection;
  db::PostingRepair repair;
};
RepairedOpen OpenAndRepair(const std::string& database);

}  // namespace tarvik::host
