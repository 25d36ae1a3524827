// Whether a database holds given tables: those of the current schema on a
// server, names compared without regard to case. Opening, initializing and
// upgrading a database ask it before they touch anything.
#pragma once

#include <string_view>
#include <vector>

#include "data/backend.h"
#include "data/host_connection.h"

namespace tarvik::data {

// True when every one of `names` is a table of the database.
bool TablesExist(Backend& backend, const std::vector<std::string_view>& names);
bool TablesExist(HostConnection& connection, const std::vector<std::string_view>& names);

}  // namespace tarvik::data
