#include "db/books_recovery.h"

#include <string>
#include <vector>

#include "data/stored_query.h"
#include "data/transaction.h"
#include "db/initialize.h"
#include "platform/error.h"

namespace tarvik::db {
namespace {

constexpr int kAwaitingRelief = 0;
constexpr int kBeingUndone = 1;

std::vector<std::int64_t> MarkedInvoices(data::HostConnection& c, int state) {
  auto rs = c.QueryWith("SELECT invoice_no FROM Invoice_Pending WHERE state = ?1 ORDER BY invoice_no",
                        {Variant::Long(state)});
  std::vector<std::int64_t> out;
  for (std::int64_t r = 0; rs->Seek(r); ++r) out.push_back(std::get<std::int64_t>(rs->Column(0)));
  return out;
}

std::int64_t MarkedOrders(data::HostConnection& c) {
  auto rs = c.QueryWith("SELECT count(*) FROM Order_Status_Pending", {});
  return rs->Seek(0) ? std::get<std::int64_t>(rs->Column(0)) : 0;
}

std::vector<Variant> InvoiceValues(std::int64_t invoice_no) {
  return {Variant::String(std::to_string(invoice_no))};
}

// The relief pair as a run makes it. False when either query reports
// failure or raises an error of the books: the invoice cannot be relieved.
// A lock held by another host is no reason to give an invoice up: it passes
// to the caller, and the next opening tries again.
bool Relieve(data::HostConnection& c, std::int64_t invoice_no) {
  const auto values = InvoiceValues(invoice_no);
  try {
    data::Transaction t(c);
    if (!data::RunStoredQuery(c, "v_Invoice_Relieve_Inventory", values) ||
        !data::RunStoredQuery(c, "v_Invoice_Relieve_Inventory_LS", values)) {
      return false;
    }
    t.Commit();
    return true;
  } catch (const AutomationError& e) {
    if (e.number() == kErrLocked) throw;
    return false;
  }
}

// What a run does after a failed relief (status reset, header deleted), in
// one transaction here. The status reset skips an invoice already undone.
void Remove(data::HostConnection& c, std::int64_t invoice_no) {
  data::Transaction t(c);
  data::RunStoredQuery(c, "v_Invoice_Delete_Reset_Status", InvoiceValues(invoice_no));
  c.Execute("DELETE FROM Invoice_Header Where Invoice_No = " + std::to_string(invoice_no));
  t.Commit();
}

std::string Numbers(const std::vector<std::int64_t>& numbers) {
  std::string out;
  constexpr std::size_t kShown = 10;
  for (std::size_t i = 0; i < numbers.size() && i < kShown; ++i) {
    out += (i ? ", " : "") + std::to_string(numbers[i]);
  }
  if (numbers.size() > kShown) out += ", ... (" + std::to_string(numbers.size()) + " in all)";
  return out;
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

PostingCheck CheckPostings(data::HostConnection& c) {
  PostingCheck check;
  if (SchemaVersion(c) < 2) return check;
  check.unrelieved = MarkedInvoices(c, kAwaitingRelief);
  check.abandoned = MarkedInvoices(c, kBeingUndone);
  check.orders_pending = MarkedOrders(c);
  return check;
}

PostingRepair RepairPostings(data::HostConnection& c) {
  PostingRepair repair;
  const PostingCheck check = CheckPostings(c);
  for (std::int64_t n : check.unrelieved) {
    if (Relieve(c, n)) {
      repair.relieved.push_back(n);
    } else {
      Remove(c, n);
      repair.removed.push_back(n);
    }
  }
  for (std::int64_t n : check.abandoned) {
    Remove(c, n);
    repair.removed.push_back(n);
  }
  if (check.orders_pending > 0) {
    // Posts every marked order; no order has this key.
    data::RunStoredQuery(c, "v_Invoice_Up_OrderStat_byOrdPack", {Variant::Long(-1)});
    repair.orders_restated = check.orders_pending;
  }
  return repair;
}

PostingRepair PrepareForWriting(data::HostConnection& c) {
  const bool upgraded = UpgradeDatabase(c);
  PostingRepair repair = RepairPostings(c);
  repair.upgraded = upgraded;
  return repair;
}

std::string Describe(const PostingRepair& repair) {
  std::vector<std::string> parts;
  if (!repair.relieved.empty()) {
    parts.push_back("completed the inventory relief of " + Count(repair.relieved.size(), "invoice", "invoices") +
                    " (" + Numbers(repair.relieved) + ")");
  }
  if (!repair.removed.empty()) {
    parts.push_back("removed " + Count(repair.removed.size(), "invoice", "invoices") +
                    " whose relief could not be posted, with their order lines put back (" +
                    Numbers(repair.removed) + ")");
  }
  if (repair.orders_restated > 0) {
    parts.push_back("posted the status of " +
                    Count(static_cast<std::size_t>(repair.orders_restated), "order", "orders"));
  }
  std::string out;
  if (repair.upgraded) {
    out = "brought the database up to schema version " + std::to_string(kSchemaVersion) +
          " (stored queries replaced by this program's)";
  }
  if (!parts.empty()) {
    out += std::string(out.empty() ? "" : "; ") + "an earlier run was interrupted; ";
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "; " : "") + parts[i];
  }
  return out.empty() ? out : out + ".";
}

}  // namespace tarvik::db
