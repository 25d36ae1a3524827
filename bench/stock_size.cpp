#include "bench/stock_size.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "bench/best_baseline.h"
#include "bench/books.h"
#include "bench/component.h"
#include "bench/invoicing_run.h"
#include "bench/raw_sqlite.h"
#include "data/backend.h"
#include "data/dialect.h"

namespace tarvik::bench {
namespace {

constexpr int kLines = 5;
constexpr int kHistoryInvoices = 100;

struct StockShape {
  int items;          // Inventory rows: items at MAIN and EAST
  int history_lines;  // lines of orders invoiced before (on 100 invoices), with their ledger entries
};

// The books of CreateBooks with the shape's stock (its items at two sites,
// ten customers) and no orders, grown by earlier invoices, then `invoices`
// packed orders of five lines each, whose items are spread over the whole
// stock. Rows are made by the database from a counter, in SQL both backends
// read.
void CreateStockBooks(const std::string& path, const StockShape& shape, int invoices) {
  const int items = shape.items / 2;
  CreateBooks(path, {0, kLines, 10, 0, 0, items});
  auto db = data::OpenBackend(path);
  auto exec = [&](const std::string& sql) { db->Execute(data::TranslateClassic(sql, db->dialect()), {}); };
  auto counted = [](int first, int last) {
    return "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(first) + " UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(last) + ") ";
  };
  const int history_orders = shape.history_lines / kLines;
  const int orders = history_orders + invoices;
  db->Begin();
  exec(counted(1, orders) +
       "INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, order_date, order_status) "
       "SELECT i, CAST(100000 + i AS TEXT), 'C' || (1001 + (i - 1) % 10), 'HQ', '2026-12-01', 0 FROM n");
  // Earlier orders are invoiced in full, the rest packed.
  exec(counted(1, orders) + ", l(j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM l WHERE j < " +
       std::to_string(kLines) +
       ") INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_picked, "
       "quantity_packed, quantity_invoiced, unit_price, line_status) "
       "SELECT i, j, 'ITEM-' || (1 + (i * 7919 + j * 104729) % " + std::to_string(items) + "), "
       "CASE WHEN j % 2 = 1 THEN 'MAIN' ELSE 'EAST' END, 2, 2, "
       "CASE WHEN i <= " + std::to_string(history_orders) + " THEN 0 ELSE 2 END, "
       "CASE WHEN i <= " + std::to_string(history_orders) + " THEN 2 ELSE 0 END, 3, "
       "CASE WHEN i <= " + std::to_string(history_orders) + " THEN 4 ELSE 2 END FROM n, l");
  if (history_orders > 0) {
    // A few invoices hold the history: the number of headers is what the
    // size-of-the-books run measures, the lines and the ledger are this one's.
    const std::string headers = std::to_string(kHistoryInvoices);
    exec("UPDATE Order_Header SET order_status = 2 WHERE order_key <= " + std::to_string(history_orders));
    exec(counted(1, kHistoryInvoices) +
         "INSERT INTO Invoice_Header (invoice_no, invoice_date, bill_to, freight, other_charge, invoice_by, paid, "
         "export_flag) SELECT i, '2026-01-01', 'B', 0, 0, 0, 0, 0 FROM n");
    exec("INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price, "
         "discount, amount) SELECT 1 + (order_key - 1) % " + headers + ", order_key, line_no, item_number, site, 2, "
         "unit_price, 0, 6 FROM Order_Detail WHERE order_key <= " + std::to_string(history_orders));
    exec("INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason) "
         "SELECT item_number, site, -quantity, invoice_no, 'invoice' FROM Invoice_Detail");
  }
  db->Commit();
  // The server keeps statistics of what it holds, as it would of books
  // that grew over time.
  if (db->dialect() == data::Dialect::kPostgres) db->ExecuteScript("ANALYZE");
}

// Seconds per invoice: one order invoiced a call, as a clerk invoices
// orders one at a time; `one(order, k)` invoices the k-th.
double PerInvoice(int invoices, int history_orders, const std::function<void(const std::string&, int)>& one) {
  return Seconds([&] {
           for (int k = 1; k <= invoices; ++k) one(std::to_string(100000 + history_orders + k), k);
         }) /
         invoices;
}

// The component's Saves on a fresh copy of the books.
double ComponentPerInvoice(const std::string& books, int invoices, int history_orders,
                           const std::function<std::string(const std::string&)>& fresh) {
  ComponentHost host(fresh(books));
  return PerInvoice(invoices, history_orders, [&](const std::string& order, int) { host.SaveOneOrder(order); });
}

// The same orders invoiced the best-possible raw way (SQLite) on one open
// database: what the shape costs the engine itself.
double RawPerInvoice(const std::string& books, int invoices, int history_orders,
                     const std::function<std::string(const std::string&)>& fresh) {
  RawDatabase db(fresh(books));
  return PerInvoice(invoices, history_orders, [&](const std::string& order, int k) {
    if (BestSqliteRun(db, order, order, kHistoryInvoices + k) != 1) {
      throw std::runtime_error("the raw baseline made no invoice of order " + order);
    }
  });
}

struct Backend {
  std::string label;  // "SQLite" / "PostgreSQL"
  // Where books of a name live, and a fresh copy of them to spend.
  std::function<std::string(const std::string& name)> books;
  std::function<std::string(const std::string& books)> fresh;
  std::function<void()> drop;
  // The settings the books run under, in the engine's own words.
  std::function<std::string(const std::string& books)> setting;
  bool raw = false;  // the best-possible baseline runs beside the component
};

Backend SqliteFiles() {
  const std::string dir = std::filesystem::temp_directory_path() / "tarvik-bench";
  std::filesystem::create_directories(dir);
  return {"SQLite", [dir](const std::string& name) { return dir + "/" + name + ".db"; },
          [dir](const std::string& books) { return CopyBooks(books, dir + "/stock-run.db"); },
          [] {},
          SqliteSetting,
          true};
}

Backend PostgresDatabases(const std::string& server) {
  auto admin = [server](const std::string& sql) { data::OpenBackend(server)->ExecuteScript(sql); };
  return {"PostgreSQL",
          [server, admin](const std::string& name) {
            admin("DROP DATABASE IF EXISTS tarvik_" + name);
            admin("CREATE DATABASE tarvik_" + name + " TEMPLATE template0 ENCODING 'UTF8'");
            return WithDatabase(server, "tarvik_" + name);
          },
          [server, admin](const std::string& books) {
            const std::size_t slash = books.rfind('/');
            const std::string from = books.substr(slash + 1, books.find('?', slash) - slash - 1);
            admin("DROP DATABASE IF EXISTS tarvik_stock_run");
            admin("CREATE DATABASE tarvik_stock_run TEMPLATE " + from);
            return WithDatabase(server, "tarvik_stock_run");
          },
          [admin] {
            for (const char* name : {"tarvik_stock_run", "tarvik_stock_small", "tarvik_stock_large",
                                     "tarvik_stock_history"}) {
              admin(std::string("DROP DATABASE IF EXISTS ") + name);
            }
          },
          [server](const std::string&) { return PostgresDurability(server); }};
}

void Measure(const StockSizeOptions& o, const Backend& b, Report& report) {
  struct Case {
    const char* name;
    StockShape shape;
  };
  const Case cases[] = {{"stock_small", {o.small_items, 0}},
                        {"stock_large", {o.large_items, 0}},
                        {"stock_history", {o.large_items, o.history_lines}}};
  std::string books[3];
  for (int i = 0; i < 3; ++i) {
    books[i] = b.books(cases[i].name);
    CreateStockBooks(books[i], cases[i].shape, o.invoices);
  }
  double cost[3] = {1e300, 1e300, 1e300};
  double raw[3] = {1e300, 1e300, 1e300};
  // Shapes and sides in turn, so that all meet the disk in the same moods:
  // its flush time wanders over minutes, more than the shapes differ.
  for (int run = 0; run < o.runs; ++run) {
    for (int i = 0; i < 3; ++i) {
      const int history_orders = cases[i].shape.history_lines / kLines;
      cost[i] = std::min(cost[i], ComponentPerInvoice(books[i], o.invoices, history_orders, b.fresh));
      if (b.raw) raw[i] = std::min(raw[i], RawPerInvoice(books[i], o.invoices, history_orders, b.fresh));
    }
  }
  if (!b.raw) raw[0] = raw[1] = raw[2] = 0;
  const std::string label = b.label + " (" + b.setting(books[0]) + ")";
  b.drop();
  const std::string few = std::to_string(o.small_items) + " items";
  const std::string many = std::to_string(o.large_items) + " items";
  const std::string history = many + " + " + std::to_string(o.history_lines) + " lines";
  report.Add({label + ": one invoice, " + few, "seconds", cost[0], raw[0]});
  report.Add({label + ": one invoice, " + many, "seconds", cost[1], raw[1]});
  report.Add({label + ": one invoice, " + history, "seconds", cost[2], raw[2]});
  if (b.raw) {
    // The shape's own price: what the engine pays for pages spread over
    // the stock, whoever sends the statements.
    report.Add({label + ": " + many + " against " + few + ", component | best-possible baseline", "ratio",
                cost[1] / cost[0], raw[1] / raw[0]});
    report.Add({label + ": " + history + " against " + few + ", component | best-possible baseline", "ratio",
                cost[2] / cost[0], raw[2] / raw[0]});
  }
  if (!o.durable) return;
  report.Check({label + " cost per invoice, " + many + " against " + few, cost[1] / cost[0], 1.2, true});
  report.Check({label + " cost per invoice, " + history + " against " + few, cost[2] / cost[0], 1.2, true});
}

}  // namespace

void RunStockSizeBenchmarks(const StockSizeOptions& o, Report& report) {
  Measure(o, SqliteFiles(), report);
  if (!o.postgres.empty()) Measure(o, PostgresDatabases(o.postgres), report);
}

}  // namespace tarvik::bench
