// SQLite backend: one database file, WAL journal, foreign keys on, a busy
// timeout so several processes on one file wait for each other.
#pragma once

#include <memory>
#include <string>

#include "data/backend.h"

namespace tarvik::data {

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path);

}  // namespace tarvik::data
