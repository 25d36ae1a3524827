#include "bench/invoicing_run.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/raw_sqlite.h"
#include "platform/regional.h"

namespace tarvik::bench {
namespace {

constexpr int kFirstInvoice = 500;

struct Grouping {
  const char* name;
  int by;  // PrintInvoiceBy
  const char* detail;
  const char* line_status;
  const char* order_status;
};

constexpr Grouping kGroupings[] = {
    {"order number", 0, "v_InvoiceDet_byOrdPack", "v_Invoice_Up_LineStat_byOrdPack",
     "v_Invoice_Up_OrderStat_byOrdPack"},
    {"ship-to location", 1, "v_InvoiceDet_byShipPack", "v_Invoice_Up_LineStat_byShipPack",
     "v_Invoice_Up_OrderStat_byShipPack"},
    {"customer", 2, "v_InvoiceDet_byCustPack", "v_Invoice_Up_LineStat_byCustPack",
     "v_Invoice_Up_OrderStat_byCustPack"},
    {"customer order range", 3, "v_InvoiceDet_byCustOrdPack",
     "v_Invoice_Up_LineStat_ByCustOrdPack", "v_Invoice_Up_OrderStat_byCustOrdPack"},
};

struct Selection {
  std::string first, last, customer, ship_to;
};

Selection SelectionFor(const InvoicingOptions& o) {
  return {std::to_string(100001), std::to_string(100000 + o.orders), "C1001", "HQ"};
}

// The grouping's selection values, in parameter order.
std::vector<RawValue> SelectionValues(const Grouping& g, const Selection& s, std::int64_t key) {
  switch (g.by) {
    case 0: return {key};
    case 1: return {s.customer, s.ship_to};
    case 2: return {s.customer};
    default: return {s.customer, s.first, s.last};
  }
}

void Component(const std::string& path, const Grouping& g, const Selection& s) {
  ComponentHost host(path);
  host.Let("InvoiceNo", Variant::String(std::to_string(kFirstInvoice)));
  host.Let("PrintInvoiceBy", Variant::Long(g.by));
  host.Let("BeginOrder", Variant::String(s.first));
  host.Let("EndOrder", Variant::String(s.last));
  host.Let("CustID", Variant::String(s.customer));
  host.Let("ShipTo", Variant::String(s.ship_to));
  host.Let("BillTo", Variant::String("Benchmark Customer"));
  host.Let("FreightAmount", Variant::String("12.50"));
  host.Let("TransactionMode", Variant::Long(1));
  if (!host.Succeeds("Save")) throw std::runtime_error("Save answered False");
}

void Option(RawDatabase& db, const char* name) {
  db.Run(db.Statement("SELECT option_value FROM System WHERE option_name = ?1"), {std::string(name)});
}

void Baseline(const std::string& path, const Grouping& g, const Selection& s) {
  RawDatabase db(path);
  const std::string today = regional::FormatIsoDate(regional::Today());
  sqlite3_stmt* header = db.Statement(
      "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
      "other_charge, invoice_by, extra1, extra2, paid, export_flag ) VALUES "
      "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
  auto insert_header = [&](std::int64_t number) {
    db.Run(header, {number, today, std::monostate{}, std::string("Benchmark Customer"), 12.5, 0.0,
                    std::int64_t{g.by}, std::monostate{}, std::monostate{}, 0.0, std::int64_t{0}});
  };
  std::vector<std::int64_t> keys;
  std::vector<std::int64_t> invoices;
  if (g.by == 0) db.RunStored("v_Order_Keys", {s.first, s.last}, &keys);
  db.Exec("BEGIN IMMEDIATE");
  if (g.by == 0) {
    Option(db, "Invoice No Partial Picking");
    std::int64_t number = kFirstInvoice;
    for (std::int64_t key : keys) {
      insert_header(number);
      std::vector<RawValue> detail = SelectionValues(g, s, key);
      detail.emplace_back(std::to_string(number));
      db.RunStored(g.detail, detail);
      db.RunStored(g.line_status, SelectionValues(g, s, key));
      invoices.push_back(number++);
    }
  } else {
    insert_header(kFirstInvoice);
    std::vector<RawValue> detail = SelectionValues(g, s, 0);
    detail.emplace_back(std::to_string(kFirstInvoice));
    db.RunStored(g.detail, detail);
    db.RunStored(g.line_status, SelectionValues(g, s, 0));
    invoices.push_back(kFirstInvoice);
  }
  db.Exec("COMMIT");
  for (std::int64_t number : invoices) {
    db.Exec("BEGIN IMMEDIATE");
    db.RunStored("v_Invoice_Relieve_Inventory", {std::to_string(number)});
    db.RunStored("v_Invoice_Relieve_Inventory_LS", {std::to_string(number)});
    db.Exec("COMMIT");
  }
  db.RunStored(g.order_status, SelectionValues(g, s, keys.empty() ? 0 : keys.back()));
  // The browse refresh: count, last header, the saved one by key.
  db.Run(db.Statement("SELECT count(*) FROM Invoice_Header"), {});
  db.Run(db.Statement("SELECT * FROM Invoice_Header ORDER BY invoice_no DESC LIMIT 1"), {});
  db.Run(db.Statement("SELECT * FROM Invoice_Header WHERE invoice_no = ?1"), {invoices.back()});
  Option(db, "Auto Backorder");
}

// Both sides change the same rows: compare what they left behind.
std::string Outcome(const std::string& path) {
  RawDatabase db(path);
  std::vector<std::int64_t> v;
  for (const char* sql :
       {"SELECT count(*) FROM Invoice_Header", "SELECT count(*) FROM Invoice_Detail",
        "SELECT CAST(sum(on_hand) AS INTEGER) FROM Inventory", "SELECT count(*) FROM Inventory_Ledger",
        "SELECT sum(line_status) FROM Order_Detail", "SELECT sum(order_status) FROM Order_Header"}) {
    db.Run(db.Statement(sql), {}, &v);
  }
  std::string out;
  for (auto n : v) out += std::to_string(n) + " ";
  return out;
}

}  // namespace

void RawOrderNumberRun(const std::string& path, int orders) {
  InvoicingOptions o;
  o.orders = orders;
  Baseline(path, kGroupings[0], SelectionFor(o));
}

void RunInvoicingBenchmarks(const InvoicingOptions& o, Report& report) {
  const std::string dir = std::filesystem::temp_directory_path() / "tarvik-bench";
  std::filesystem::create_directories(dir);
  const std::string books = dir + "/books.db";
  CreateBooks(books, {o.orders, o.lines_per_order, o.customers, 0});
  const Selection s = SelectionFor(o);
  for (const Grouping& g : kGroupings) {
    auto fresh = [&](const std::string& name) {
      const std::string path = dir + "/" + name + ".db";
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
      std::filesystem::copy_file(books, path);
      return path;
    };
    double component = 1e300, baseline = 1e300;
    std::string component_outcome, baseline_outcome;
    for (int run = 0; run < o.runs; ++run) {
      const std::string a = fresh("component");
      component = std::min(component, Seconds([&] { Component(a, g, s); }));
      component_outcome = Outcome(a);
      const std::string b = fresh("baseline");
      baseline = std::min(baseline, Seconds([&] { Baseline(b, g, s); }));
      baseline_outcome = Outcome(b);
    }
    if (component_outcome != baseline_outcome) {
      throw std::runtime_error(std::string("invoicing by ") + g.name +
                               ": component and baseline changed different rows: " +
                               component_outcome + "/ " + baseline_outcome);
    }
    const std::string name = std::string("invoicing by ") + g.name;
    report.Add({name, "seconds", component, baseline});
    report.Check({name + " vs baseline", component / baseline, 1.5, true});
    if (g.by == 0) {
      const double rate = o.orders / component;
      report.Add({name, "invoices/s", rate, o.orders / baseline});
      report.Check({"invoices per second (order number)", rate, 2000, false});
    }
  }
}

}  // namespace tarvik::bench
