#include <string>
#include <utility>
#include <vector>

#include "bench/best_baseline.h"
#include "bench/raw_sqlite.h"
#include "platform/regional.h"

namespace tarvik::bench {

int BestSqliteRun(const std::string& path, const std::string& first, const std::string& last,
                  std::int64_t first_invoice) {
  RawDatabase db(path);
  return BestSqliteRun(db, first, last, first_invoice);
}

int BestSqliteRun(RawDatabase& db, const std::string& first, const std::string& last,
                  std::int64_t first_invoice) {
  sqlite3* handle = db.handle();
  const std::string today = regional::FormatIsoDate(regional::Today());
  sqlite3_stmt* option = db.Statement("SELECT option_value FROM System WHERE option_name = ?1");
  sqlite3_stmt* keys = db.Statement(
      "SELECT h.order_key FROM Order_Header h "
      "WHERE h.order_number <> '' AND h.order_number NOT GLOB '*[^0-9]*' "
      "AND CAST(h.order_number AS INTEGER) BETWEEN ?1 AND ?2 "
      "AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND d.quantity_packed > 0) "
      "ORDER BY CAST(h.order_number AS INTEGER), h.order_number, h.order_key");
  sqlite3_stmt* header = db.Statement(
      "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, "
      "invoice_by, extra1, extra2, paid, export_flag) VALUES (?1, ?2, NULL, ?3, ?4, 0, 0, NULL, NULL, 0, 0)");
  sqlite3_stmt* detail = db.Statement(
      "INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, "
      "discount, amount) "
      "SELECT ?2, order_key, line_no, item_number, site, quantity_packed, unit_price, order_detail_discount, "
      "round(quantity_packed * unit_price * (100 - order_detail_discount) / 100.0, 2) "
      "FROM Order_Detail WHERE order_key = ?1 AND quantity_packed > 0");
  sqlite3_stmt* no_lines = db.Statement("DELETE FROM Invoice_Header WHERE invoice_no = ?1");
  sqlite3_stmt* pending = db.Statement("INSERT OR IGNORE INTO Invoice_Pending (invoice_no, state) VALUES (?1, 0)");
  sqlite3_stmt* order_pending = db.Statement("INSERT OR IGNORE INTO Order_Status_Pending (order_key) VALUES (?1)");
  sqlite3_stmt* lines = db.Statement(
      "UPDATE Order_Detail SET "
      "uninvoiced_status = CASE WHEN quantity_invoiced = 0 AND line_status <> 5 THEN line_status "
      "ELSE uninvoiced_status END, "
      "quantity_invoiced = quantity_invoiced + quantity_packed, quantity_packed = 0, "
      "line_status = CASE WHEN line_status = 5 THEN 5 "
      "WHEN quantity_invoiced + quantity_packed >= quantity_ordered THEN 4 ELSE 3 END "
      "WHERE order_key = ?1 AND quantity_packed > 0");
  // The mark is taken first: only the relief that removes it relieves.
  sqlite3_stmt* unmark = db.Statement("DELETE FROM Invoice_Pending WHERE invoice_no = ?1 AND state = 0");
  sqlite3_stmt* relieve = db.Statement(
      "INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand) "
      "SELECT item_number, site, 0, -sum(quantity) FROM Invoice_Detail WHERE invoice_no = ?1 "
      "GROUP BY item_number, site "
      "ON CONFLICT (item_number, site) DO UPDATE SET on_hand = on_hand + excluded.on_hand");
  sqlite3_stmt* ledger = db.Statement(
      "INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason) "
      "SELECT item_number, site, -sum(quantity), ?1, 'invoice' FROM Invoice_Detail WHERE invoice_no = ?1 "
      "GROUP BY item_number, site");
  sqlite3_stmt* order_status = db.Statement(
      "UPDATE Order_Header SET "
      "uninvoiced_status = CASE WHEN order_status NOT IN (1, 2) THEN order_status ELSE uninvoiced_status END, "
      "order_status = CASE WHEN NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key "
      "AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered) THEN 2 ELSE 1 END "
      "WHERE order_key IN (SELECT order_key FROM Order_Status_Pending) "
      "AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = Order_Header.order_key "
      "AND d.quantity_invoiced > 0)");
  sqlite3_stmt* unmark_orders = db.Statement("DELETE FROM Order_Status_Pending");
  sqlite3_stmt* saved = db.Statement("SELECT * FROM Invoice_Header WHERE invoice_no = ?1");

  std::vector<std::int64_t> order_keys;
  db.Run(keys, {std::stoll(first), std::stoll(last)}, &order_keys);
  db.BeginWrite();
  db.Run(option, {std::string("Invoice No Partial Picking")});
  std::vector<std::int64_t> invoices;
  std::int64_t number = first_invoice;
  for (const std::int64_t key : order_keys) {
    db.Run(header, {number, today, std::string(kBenchBillTo), kBenchFreight});
    db.Run(detail, {key, number});
    if (sqlite3_changes(handle) > 0) {
      db.Run(pending, {number});
      db.Run(order_pending, {key});
      db.Run(lines, {key});
      invoices.push_back(number);
    } else {
      db.Run(no_lines, {number});
    }
    ++number;
  }
  db.Exec("COMMIT");
  // Under FULL the reliefs after the first commit under NORMAL, and the
  // log is flushed after every second one, covering the one before it:
  // each relief is on disk before the one after the next begins, as the
  // component's chain of commits sent ahead has it.
  const bool chain = SqliteSynchronous() == "FULL";
  std::size_t relieved = 0;
  for (const std::int64_t invoice : invoices) {
    db.BeginWrite();
    db.Run(unmark, {invoice});
    if (sqlite3_changes(handle) == 1) {
      db.Run(relieve, {invoice});
      db.Run(ledger, {invoice});
    }
    db.Exec("COMMIT");
    if (!chain) continue;
    if (++relieved == 1) {
      db.Exec("PRAGMA synchronous=NORMAL");
    } else if (relieved % 2 == 1) {
      db.FlushLog();
    }
  }
  if (chain && relieved >= 2 && relieved % 2 == 0) db.FlushLog();  // the last, not yet covered
  db.BeginWrite();
  db.Run(order_status, {});
  db.Run(unmark_orders, {});
  db.Exec("COMMIT");
  if (chain && relieved > 0) {
    db.FlushLog();
    db.Exec("PRAGMA synchronous=FULL");
  }
  if (!invoices.empty()) db.Run(saved, {invoices.back()});
  db.Run(option, {std::string("Auto Backorder")});
  return static_cast<int>(invoices.size());
}

}  // namespace tarvik::bench
