// SQLite backend: one database file, WAL journal, foreign keys on, a busy
// timeout so several processes on one file wait for each other.
// synchronous=FULL: a committed transaction survives a power cut
// (TARVIK_SQLITE_SYNCHRONOUS=NORMAL|EXTRA overrides it, for benchmarks; see
// docs/durability.md). Outside a transaction no statement is left between
// its rows when a call returns, so the connection never answers from an
// old snapshot.
//
// Writing opens (and creates) the file read-write and puts it in WAL mode;
// a file this user may not write is refused. Reading opens it read-only,
// never creates it and leaves its journal mode alone. SQLite needs the
// file's -shm to read a WAL file; when it is missing and the folder may not
// be written, the file is read as immutable (no locks, so a writer working
// on it at that moment is not seen), and refused when its -wal still holds
// changes.
#pragma once

#include <memory>
#include <string>

#include "data/backend.h"

namespace tarvik::data {

// The page cache of each connection, in KiB (SQLite's default is 2,000).
// A warehouse's stock of 100,000 rows (some 800 pages) fits, so a relief
// reads each page of it from the file once, not once an invoice; the cache
// takes memory only as pages are read.
inline constexpr int kSqlitePageCacheKib = 8192;

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path,
                                           OpenMode mode = OpenMode::kReadWrite);

// For a program that owns its process (the tarvik host, the benchmarks),
// called first thing in main: SQLite's process-wide memory statistics off,
// as SQLite's own recommended settings have them. They take a lock around
// every allocation of every connection (some 8% of an invoice's
// instructions), and nothing here reads them. It has no effect once the
// process has used SQLite; a library loaded into another program's process
// must leave that program's setting alone, so the component never calls it.
void ConfigureSqliteForThisProgram();

}  // namespace tarvik::data
