#include "bench/invoicing_run.h"

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/raw_postgres.h"
#include "bench/raw_sqlite.h"
#include "data/backend.h"
#include "platform/regional.h"

extern char** environ;

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

void Component(const std::string& path, const Grouping& g, const Selection& s,
               int first_invoice = kFirstInvoice) {
  ComponentHost host(path);
  host.Let("InvoiceNo", Variant::String(std::to_string(first_invoice)));
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

template <class Db>
void Option(Db& db, const char* name) {
  db.Run(db.Statement("SELECT option_value FROM System WHERE option_name = ?1"), {std::string(name)});
}

template <class Db>
void Baseline(const std::string& path, const Grouping& g, const Selection& s,
              std::int64_t first_invoice = kFirstInvoice) {
  Db db(path);
  const std::string today = regional::FormatIsoDate(regional::Today());
  const typename Db::Handle header = db.Statement(
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
  db.BeginWrite();
  if (g.by == 0) {
    Option(db, "Invoice No Partial Picking");
    std::int64_t number = first_invoice;
    for (std::int64_t key : keys) {
      insert_header(number);
      std::vector<RawValue> detail = SelectionValues(g, s, key);
      detail.emplace_back(std::to_string(number));
      db.RunStored(g.detail, detail);
      db.RunStored(g.line_status, SelectionValues(g, s, key));
      invoices.push_back(number++);
    }
  } else {
    insert_header(first_invoice);
    std::vector<RawValue> detail = SelectionValues(g, s, 0);
    detail.emplace_back(std::to_string(first_invoice));
    db.RunStored(g.detail, detail);
    db.RunStored(g.line_status, SelectionValues(g, s, 0));
    invoices.push_back(first_invoice);
  }
  db.Exec("COMMIT");
  for (std::int64_t number : invoices) {
    db.BeginWrite();
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
template <class Db>
std::string Outcome(const std::string& path) {
  Db db(path);
  std::vector<std::int64_t> v;
  for (const char* sql :
       {"SELECT count(*) FROM Invoice_Header", "SELECT count(*) FROM Invoice_Detail",
        "SELECT CAST(sum(on_hand) AS BIGINT) FROM Inventory", "SELECT count(*) FROM Inventory_Ledger",
        "SELECT sum(line_status) FROM Order_Detail", "SELECT sum(order_status) FROM Order_Header"}) {
    db.Run(db.Statement(sql), {}, &v);
  }
  std::string out;
  for (auto n : v) out += std::to_string(n) + " ";
  return out;
}

// A fresh copy of the template database `from`, as `name`.
std::string CopyDatabase(const std::string& server, const std::string& from, const std::string& name) {
  auto admin = data::OpenBackend(server);
  admin->ExecuteScript("DROP DATABASE IF EXISTS " + name);
  admin->ExecuteScript("CREATE DATABASE " + name + " TEMPLATE " + from);
  return WithDatabase(server, name);
}

// Wall-clock seconds for `hosts` child processes invoicing disjoint
// stretches of the orders at the same time, each under its own numbers.
double ConcurrentSeconds(const char* self, const std::string& uri, int orders, int hosts, bool raw) {
  return Seconds([&] {
    std::vector<pid_t> children;
    const int share = orders / hosts;
    for (int h = 0; h < hosts; ++h) {
      const std::string first = std::to_string(100001 + h * share);
      const std::string last = std::to_string(100000 + (h + 1) * share);
      const std::string invoice = std::to_string(kFirstInvoice + h * share);
      const char* mode = raw ? "--invoicing-host-raw" : "--invoicing-host";
      const char* argv[] = {self, mode, uri.c_str(), first.c_str(), last.c_str(), invoice.c_str(), nullptr};
      pid_t pid = 0;
      if (posix_spawn(&pid, self, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        throw std::runtime_error("cannot start an invoicing host");
      }
      children.push_back(pid);
    }
    bool failed = false;
    for (pid_t pid : children) {
      int status = 0;
      failed |= waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    if (failed) throw std::runtime_error("an invoicing host failed");
  });
}

}  // namespace

std::string WithDatabase(const std::string& server, const std::string& name) {
  const std::size_t slash = server.rfind('/');
  const std::size_t query = server.find('?', slash);
  return server.substr(0, slash + 1) + name + (query == std::string::npos ? "" : server.substr(query));
}

int InvoicingHost(const std::string& database, const std::string& first, const std::string& last,
                  int first_invoice, bool raw) {
  Selection s{first, last, "C1001", "HQ"};
  if (raw) {
    Baseline<RawPostgres>(database, kGroupings[0], s, first_invoice);
  } else {
    Component(database, kGroupings[0], s, first_invoice);
  }
  return 0;
}

void RunPostgresInvoicing(const PostgresOptions& o, Report& report, const char* self) {
  const std::string books = "tarvik_bench_books";
  {
    auto admin = data::OpenBackend(o.server);
    admin->ExecuteScript("DROP DATABASE IF EXISTS " + books);
    admin->ExecuteScript("CREATE DATABASE " + books + " TEMPLATE template0 ENCODING 'UTF8'");
  }
  CreateBooks(WithDatabase(o.server, books), {o.orders, 5, 10, 0});
  InvoicingOptions shape;
  shape.orders = o.orders;
  const Selection s = SelectionFor(shape);
  double component = 1e300, baseline = 1e300;
  std::string component_outcome, baseline_outcome;
  for (int run = 0; run < o.runs; ++run) {
    const std::string a = CopyDatabase(o.server, books, "tarvik_bench_component");
    component = std::min(component, Seconds([&] { Component(a, kGroupings[0], s); }));
    component_outcome = Outcome<RawPostgres>(a);
    const std::string b = CopyDatabase(o.server, books, "tarvik_bench_baseline");
    baseline = std::min(baseline, Seconds([&] { Baseline<RawPostgres>(b, kGroupings[0], s); }));
    baseline_outcome = Outcome<RawPostgres>(b);
  }
  if (component_outcome != baseline_outcome) {
    throw std::runtime_error("PostgreSQL invoicing: component and baseline changed different rows: " +
                             component_outcome + "/ " + baseline_outcome);
  }
  const std::string tag = o.setting.empty() ? "" : " (" + o.setting + ")";
  report.Add({"PostgreSQL: invoicing by order number" + tag, "seconds", component, baseline});
  report.Check({"PostgreSQL invoicing vs baseline" + tag, component / baseline, 2.0, true});

  // Four hosts against one, each side in child processes on a fresh copy;
  // the same for the baseline, the limit that the transactions set.
  for (const bool raw : {false, true}) {
    double one = 1e300, four = 1e300;
    for (int run = 0; run < o.runs; ++run) {
      one = std::min(one, ConcurrentSeconds(self, CopyDatabase(o.server, books, "tarvik_bench_one"), o.orders, 1, raw));
      four = std::min(four, ConcurrentSeconds(self, CopyDatabase(o.server, books, "tarvik_bench_four"), o.orders, 4, raw));
    }
    // The columns hold four hosts | one host here.
    report.Add({std::string("PostgreSQL ") + (raw ? "baseline" : "component") + ": 4 hosts | 1 host" + tag,
                "seconds", four, one});
    if (!raw && o.targets) {
      report.Check({"PostgreSQL 4 concurrent hosts, time against one host" + tag, four / one, 1.0, true});
    }
  }
  auto admin = data::OpenBackend(o.server);
  for (const char* name : {"tarvik_bench_component", "tarvik_bench_baseline", "tarvik_bench_one",
                           "tarvik_bench_four", "tarvik_bench_books"}) {
    admin->ExecuteScript(std::string("DROP DATABASE IF EXISTS ") + name);
  }
}

std::string PostgresDurability(const std::string& server) {
  auto db = data::OpenBackend(server);
  std::string out;
  for (const char* setting : {"fsync", "synchronous_commit", "full_page_writes"}) {
    auto value = db->Query(std::string("SELECT current_setting('") + setting + "')", {});
    value->Seek(0);
    out += (out.empty() ? "" : ", ") + std::string(setting) + "=" + std::get<std::string>(value->Column(0));
  }
  return out;
}

void RawOrderNumberRun(const std::string& path, int orders) {
  InvoicingOptions o;
  o.orders = orders;
  Baseline<RawDatabase>(path, kGroupings[0], SelectionFor(o));
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
      component_outcome = Outcome<RawDatabase>(a);
      const std::string b = fresh("baseline");
      baseline = std::min(baseline, Seconds([&] { Baseline<RawDatabase>(b, g, s); }));
      baseline_outcome = Outcome<RawDatabase>(b);
    }
    if (component_outcome != baseline_outcome) {
      throw std::runtime_error(std::string("invoicing by ") + g.name +
                               ": component and baseline changed different rows: " +
                               component_outcome + "/ " + baseline_outcome);
    }
    const std::string tag = o.setting.empty() ? "" : " (" + o.setting + ")";
    const std::string name = std::string("invoicing by ") + g.name + tag;
    report.Add({name, "seconds", component, baseline});
    report.Check({name + " vs baseline", component / baseline, 1.5, true});
    if (g.by == 0) {
      const double rate = o.orders / component;
      report.Add({name, "invoices/s", rate, o.orders / baseline});
      if (o.rate_target) report.Check({"invoices per second (order number)" + tag, rate, 2000, false});
    }
  }
}

}  // namespace tarvik::bench
