// Postings that a run could not finish. Creation commits the invoices, their
// lines and line status in one transaction; inventory relief (one
// transaction per invoice), the order status and the undoing of a failed
// relief follow as separate steps. The stored queries leave a marker for each
// step still to come (tables Invoice_Pending and Order_Status_Pending), so a
// crash, a cut connection or a full disk between the steps leaves books that
// say what is missing. Repair completes it with the same stored queries a
// run uses, and is safe while another host is posting: a relief already made
// by anyone is never made twice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/host_connection.h"
#include "db/schema_upgrade.h"

namespace tarvik::db {

struct PostingCheck {
  std::vector<std::int64_t> unrelieved;  // saved invoices whose inventory relief did not run
  std::vector<std::int64_t> abandoned;   // invoices whose failed relief was half undone
  std::int64_t orders_pending = 0;       // orders whose status was not posted after invoicing
  bool clean() const { return unrelieved.empty() && abandoned.empty() && orders_pending == 0; }
};

struct PostingRepair {
  std::vector<std::int64_t> relieved;  // relief completed
  std::vector<std::int64_t> removed;   // relief failed again or was being undone: status reset, header deleted
  std::int64_t orders_restated = 0;    // order status posted
  bool nothing_done() const { return relieved.empty() && removed.empty() && orders_restated == 0; }
};

// Reads only. A database of an earlier schema has no markers: clean.
PostingCheck CheckPostings(data::HostConnection& connection);

// Completes every unfinished posting found, oldest invoice first, each in a
// transaction of its own. Errors of the database pass to the caller; what was
// completed before stays completed.
PostingRepair RepairPostings(data::HostConnection& connection);

// What every host does when it opens a database for writing, before any
// other work: UpgradeDatabase (schema_upgrade.h), then RepairPostings.
PostingRepair PrepareForWriting(data::HostConnection& connection);

// One line for a person: "completed the relief of 3 invoices (1041-1043),
// ..."; empty when nothing was done.
std::string Describe(const PostingRepair& repair);

}  // namespace tarvik::db
