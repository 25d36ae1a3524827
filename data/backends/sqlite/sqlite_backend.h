// SQLite backend: one database file, WAL journal, foreign keys on, a busy
// timeout so several processes on one file wait for each other.
// synchronous=FULL: a committed transaction survives a power cut
// (TARVIK_SQLITE_SYNCHRONOUS=NORMAL|EXTRA overrides it, for benchmarks; see
// docs/durability.md). Outside a transaction no statement is left between
// its rows when a call returns, so the connection never answers from an
// old snapshot.
#pragma once

#include <memory>
#include <string>

#include "data/backend.h"

namespace tarvik::data {

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path);

}  // namespace tarvik::data
