// What whole books look like, as counting queries: each names a rule and
// counts the rows that break it. Run on a fresh connection after any
// interruption and its recovery.
#pragma once

#include <string>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::testing {

// The rules every finished workflow keeps: stock follows the ledger, every
// header has lines, invoiced quantities follow the lines, numbers unique.
// Names of those broken, with the count of rows; empty when all hold.
std::vector<std::string> BrokenInvariants(data::HostConnection& c);

// The above and what an interrupted posting may leave behind: markers of
// unfinished steps, an invoice whose ledger rows do not net to minus its
// lines (or a removed one whose rows do not net to zero), order status that
// disagrees with the lines, and on SQLite a damaged file.
std::vector<std::string> BrokenBooks(data::HostConnection& c);

// Findings like the above in one line, "; " between them.
std::string Joined(const std::vector<std::string>& findings);

}  // namespace tarvik::testing
