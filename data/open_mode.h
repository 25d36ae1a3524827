// How a database is opened. Writing is the default: the component and the
// commands that post open that way. Reading never creates, converts or
// writes anything in the database, so it works for a user who may only
// read it.
#pragma once

namespace tarvik::data {

enum class OpenMode {
  kReadWrite,
  // SQLite: the file opened read-only, never created, no PRAGMA that writes
  // (the journal mode stays what the file has). PostgreSQL: a session whose
  // transactions are read-only.
  kReadOnly,
};

}  // namespace tarvik::data
