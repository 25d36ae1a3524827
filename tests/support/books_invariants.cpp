#include "tests/support/books_invariants.h"

#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

struct Invariant {
  const char* name;
  const char* violations;  // counts the rows that break it
};

constexpr Invariant kFinished[] = {
    {"stock equals opening plus ledger",
     "SELECT count(*) FROM Inventory i WHERE i.on_hand <> i.opening_on_hand + "
     "(SELECT coalesce(sum(l.quantity), 0) FROM Inventory_Ledger l "
     "WHERE l.item_number = i.item_number AND l.site = i.site)"},
    {"every header has detail rows",
     "SELECT count(*) FROM Invoice_Header h WHERE NOT EXISTS "
     "(SELECT 1 FROM Invoice_Detail d WHERE d.invoice_no = h.invoice_no)"},
    {"invoiced quantity equals its detail rows",
     "SELECT count(*) FROM Order_Detail o WHERE o.quantity_invoiced <> "
     "(SELECT coalesce(sum(quantity), 0) FROM Invoice_Detail i "
     "WHERE i.order_key = o.order_key AND i.line_no = o.line_no)"},
    {"header numbers are unique",
     "SELECT count(*) - count(DISTINCT invoice_no) FROM Invoice_Header"},
};

// The relief writes minus the lines' quantities per item and site, its
// undoing adds them back: per invoice number the rows net to minus what
// the invoice holds now, zero once it is gone (numbers are used again
// after a delete, so only the net can be compared).
constexpr Invariant kPosted[] = {
    {"an invoice's ledger rows net to minus its lines",
     "SELECT count(*) FROM (SELECT p.invoice_no FROM ("
     "  SELECT invoice_no, item_number, site, quantity FROM Inventory_Ledger "
     "  WHERE reason IN ('invoice', 'invoice deleted') "
     "  UNION ALL SELECT invoice_no, item_number, site, quantity FROM Invoice_Detail) p "
     " WHERE EXISTS (SELECT 1 FROM Invoice_Header h WHERE h.invoice_no = p.invoice_no) "
     " GROUP BY p.invoice_no, p.item_number, p.site HAVING abs(sum(p.quantity)) > 0.0001) x"},
    {"a removed invoice's ledger rows net to zero",
     "SELECT count(*) FROM (SELECT l.invoice_no FROM Inventory_Ledger l "
     " WHERE l.reason IN ('invoice', 'invoice deleted') "
     "   AND NOT EXISTS (SELECT 1 FROM Invoice_Header h WHERE h.invoice_no = l.invoice_no) "
     " GROUP BY l.invoice_no, l.item_number, l.site HAVING abs(sum(l.quantity)) > 0.0001) x"},
    // 2 when every line not back-ordered is invoiced in full, else 1. A
    // back order marks lines without posting the status, so an order with
    // back-ordered lines may still say 1 until the next posting by order
    // number refreshes it.
    {"order status agrees with its invoiced lines",
     "SELECT count(*) FROM Order_Header h "
     "WHERE EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_invoiced > 0) "
     "  AND h.order_status <> CASE WHEN EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key "
     "      AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 1 ELSE 2 END "
     "  AND NOT (h.order_status = 1 AND EXISTS (SELECT 1 FROM Order_Detail d "
     "      WHERE d.order_key = h.order_key AND d.line_status = 5))"},
};

constexpr const char* kMarkerTables[] = {"Invoice_Pending", "Order_Status_Pending"};

bool OnServer(data::HostConnection& c) { return c.DatabaseName().rfind("postgresql:", 0) == 0; }

bool HasTable(data::HostConnection& c, const std::string& table) {
  const std::string sql =
      OnServer(c) ? "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() "
                    "AND lower(table_name) = lower('" + table + "')"
                  : "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) = lower('" +
                        table + "')";
  return ScalarNumber(c, sql) > 0;
}

template <std::size_t N>
void Count(data::HostConnection& c, const Invariant (&rules)[N], std::vector<std::string>& broken) {
  for (const Invariant& rule : rules) {
    const double n = ScalarNumber(c, rule.violations);
    if (n != 0) broken.push_back(std::string(rule.name) + " (" + std::to_string(static_cast<long>(n)) + " rows)");
  }
}

}  // namespace

std::vector<std::string> BrokenInvariants(data::HostConnection& c) {
  std::vector<std::string> broken;
  Count(c, kFinished, broken);
  return broken;
}

std::vector<std::string> BrokenBooks(data::HostConnection& c) {
  std::vector<std::string> broken;
  if (!OnServer(c)) {
    const std::string integrity = ScalarText(c, "PRAGMA integrity_check");
    // A damaged file answers the other queries with nonsense or errors.
    if (integrity != "ok") return {"integrity_check: " + integrity};
  }
  Count(c, kFinished, broken);
  Count(c, kPosted, broken);
  // Books made before the markers existed have none to leave.
  for (const char* table : kMarkerTables) {
    if (!HasTable(c, table)) continue;
    const double n = ScalarNumber(c, std::string("SELECT count(*) FROM ") + table);
    if (n != 0) broken.push_back(std::string("no unfinished-step markers left in ") + table + " (" +
                                 std::to_string(static_cast<long>(n)) + " rows)");
  }
  return broken;
}

std::string Joined(const std::vector<std::string>& findings) {
  std::string out;
  for (const std::string& f : findings) out += (out.empty() ? "" : "; ") + f;
  return out;
}

}  // namespace tarvik::testing
