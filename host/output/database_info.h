// What `tarvik info` shows of a database: rows per table, the orders with
// their status, the invoices, stock per item and site, and the options.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "data/backend.h"

namespace tarvik::host {

// User tables of the database, by name.
std::vector<std::string> ListTables(data::Backend& backend);

// Writes the listing as readable tables, or as one JSON object.
void WriteDatabaseInfo(data::Backend& backend, std::ostream& out, bool json);

}  // namespace tarvik::host
