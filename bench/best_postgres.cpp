#include <string>
#include <vector>

#include "bench/best_baseline.h"
#include "bench/pq_pipeline.h"
#include "platform/regional.h"

namespace tarvik::bench {
namespace {

// Each statement does one step of the posting whole: the order's lines are
// locked as they are read, and the relief locks the stock rows in key order
// (clerks relieving the same items queue instead of deadlocking).
constexpr struct {
  const char* name;
  const char* sql;
} kStatements[] = {
    {"option", "SELECT option_value FROM System WHERE option_name = $1::text"},
    {"keys",
     "SELECT h.order_key FROM Order_Header h "
     "WHERE h.order_number <> '' AND h.order_number !~ '[^0-9]' "
     "AND tarvik_int(h.order_number) BETWEEN $1::bigint AND $2::bigint "
     "AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_packed > 0) "
     "ORDER BY tarvik_int(h.order_number), h.order_number, h.order_key"},
    {"header",
     "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, "
     "invoice_by, extra1, extra2, paid, export_flag) "
     "VALUES ($1::bigint, $2::timestamp, NULL, $3::text, $4::float8, 0, 0, NULL, NULL, 0, 0)"},
    // Detail rows, both marks and the line status of one order; a header
    // that gets no line is not kept.
    {"order",
     "WITH lines AS (SELECT order_key, line_no, item_number, site, quantity_packed, unit_price, "
     "  order_detail_discount FROM Order_Detail WHERE order_key = $1::bigint AND quantity_packed > 0 "
     "  ORDER BY line_no FOR UPDATE), "
     "detail AS (INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, "
     "  unit_price, discount, amount) "
     "  SELECT $2::bigint, order_key, line_no, item_number, site, quantity_packed, unit_price, "
     "  order_detail_discount, round(quantity_packed * unit_price * (100 - order_detail_discount) / 100.0, 2) "
     "  FROM lines), "
     "pending AS (INSERT INTO Invoice_Pending (invoice_no, state) "
     "  SELECT $2::bigint, 0 WHERE EXISTS (SELECT 1 FROM lines)), "
     "order_pending AS (INSERT INTO Order_Status_Pending (order_key) "
     "  SELECT $1::bigint WHERE EXISTS (SELECT 1 FROM lines) ON CONFLICT DO NOTHING), "
     "no_lines AS (DELETE FROM Invoice_Header WHERE invoice_no = $2::bigint "
     "  AND NOT EXISTS (SELECT 1 FROM lines)) "
     "UPDATE Order_Detail d SET "
     "uninvoiced_status = CASE WHEN d.quantity_invoiced = 0 AND d.line_status <> 5 THEN d.line_status "
     "ELSE d.uninvoiced_status END, "
     "quantity_invoiced = d.quantity_invoiced + d.quantity_packed, quantity_packed = 0, "
     "line_status = CASE WHEN d.line_status = 5 THEN 5 "
     "WHEN d.quantity_invoiced + d.quantity_packed >= d.quantity_ordered THEN 4 ELSE 3 END "
     "FROM lines l WHERE d.order_key = l.order_key AND d.line_no = l.line_no"},
    // The mark is taken first: only the relief that removes it relieves.
    {"relieve",
     "WITH mark AS (DELETE FROM Invoice_Pending WHERE invoice_no = $1::bigint AND state = 0 "
     "  RETURNING invoice_no), "
     "lines AS (SELECT item_number, site, sum(quantity) AS quantity FROM Invoice_Detail "
     "  WHERE invoice_no = $1::bigint AND EXISTS (SELECT 1 FROM mark) GROUP BY item_number, site), "
     "ledger AS (INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason) "
     "  SELECT item_number, site, -quantity, $1::bigint, 'invoice' FROM lines) "
     "INSERT INTO Inventory AS i (item_number, site, opening_on_hand, on_hand) "
     "SELECT item_number, site, 0, -quantity FROM lines ORDER BY item_number, site "
     "ON CONFLICT (item_number, site) DO UPDATE SET on_hand = i.on_hand + excluded.on_hand"},
    {"order_status",
     "WITH marked AS (DELETE FROM Order_Status_Pending RETURNING order_key) "
     "UPDATE Order_Header SET "
     "uninvoiced_status = CASE WHEN Order_Header.order_status NOT IN (1, 2) THEN Order_Header.order_status "
     "ELSE Order_Header.uninvoiced_status END, "
     "order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d "
     "WHERE d.order_key = Order_Header.order_key AND d.line_status <> 5 "
     "AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END "
     "FROM (SELECT o.order_key FROM Order_Header o WHERE o.order_key IN (SELECT order_key FROM marked) "
     "  AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = o.order_key AND d.quantity_invoiced > 0) "
     "  ORDER BY o.order_key FOR NO KEY UPDATE OF o) t "
     "WHERE Order_Header.order_key = t.order_key"},
    {"saved", "SELECT * FROM Invoice_Header WHERE invoice_no = $1::bigint"},
};

}  // namespace

BestPostgresResult BestPostgresRun(const std::string& uri, const std::string& first, const std::string& last,
                                   std::int64_t first_invoice) {
  PqPipeline db(uri);
  const std::string today = regional::FormatIsoDate(regional::Today());
  for (const auto& s : kStatements) db.Prepare(s.name, s.sql);
  std::vector<std::int64_t> order_keys;
  db.Send("keys", {std::stoll(first), std::stoll(last)});
  db.Sync(&order_keys);
  // Every invoice in one transaction, one round trip.
  db.Send("option", {std::string("Invoice No Partial Picking")});
  std::int64_t number = first_invoice;
  for (const std::int64_t key : order_keys) {
    db.Send("header", {number, today, std::string(kBenchBillTo), kBenchFreight});
    db.Send("order", {key, number});
    ++number;
  }
  db.Sync();
  // An order whose lines another clerk took since the keys were read got
  // no invoice; the relief of its number finds no mark and changes nothing.
  // Each relief is on its way before the one before it is answered: the
  // server goes from one flush to the next without waiting for this side.
  for (std::int64_t invoice = first_invoice; invoice < number; ++invoice) {
    db.Send("relieve", {invoice});
    db.SyncAhead();
    if (invoice > first_invoice) db.Answer();
  }
  if (number > first_invoice) db.Answer();
  db.Send("order_status", {});
  if (number > first_invoice) db.Send("saved", {number - 1});
  db.Send("option", {std::string("Auto Backorder")});
  db.Sync();
  return {static_cast<int>(number - first_invoice), db.round_trips()};
}

}  // namespace tarvik::bench
