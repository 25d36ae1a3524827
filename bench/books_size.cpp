#include "bench/books_size.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/invoicing_run.h"
#include "bench/memory_run.h"
#include "bench/raw_sqlite.h"
#include "data/backend.h"

namespace tarvik::bench {
namespace {

// A browse takes under a millisecond, where one stray write-back of the
// server or the disk shows as a doubling: it is the best of many, each
// costing nothing worth counting.
constexpr int kBrowseRuns = 25;

struct Costs {
  double save = 0;    // one Save of one order
  double browse = 0;  // OpenRecordset + MoveLast + SeekRecord
  double count = 0;   // SELECT count(*) over the headers, raw
};

// The component's Save and browse on books already made.
Costs MeasureComponent(const std::string& path, int headers, int runs) {
  Costs c;
  ComponentHost host(path);
  c.save = 1e300;
  for (int run = 0; run < runs; ++run) {
    const std::string order = std::to_string(100001 + run);
    c.save = std::min(c.save, Seconds([&] {
      host.SaveOneOrder(order);
    }));
  }
  host.Let("Filter", Variant::String(""));
  c.browse = BestSeconds(std::max(runs, kBrowseRuns), [&] {
    if (!host.Succeeds("OpenRecordset")) throw std::runtime_error("no headers");
    host.Succeeds("MoveLast");
    if (!host.Succeeds("SeekRecord", {Variant::Long(headers / 2)})) {
      throw std::runtime_error("SeekRecord missed");
    }
  });
  return c;
}

Costs Measure(const std::string& path, int headers, int runs) {
  CreateBooks(path, {runs, 5, 1, headers});
  Costs c = MeasureComponent(path, headers, runs);
  RawDatabase raw(path);
  sqlite3_stmt* count = raw.Statement("SELECT count(*) FROM Invoice_Header");
  c.count = BestSeconds(runs, [&] { raw.Run(count, {}); });
  return c;
}

// A new database `name` on the server with `runs` orders and invoice
// headers 1..headers, loaded by one statement.
std::string CreatePostgresBooks(const std::string& server, const std::string& name, int headers, int runs) {
  {
    auto admin = data::OpenBackend(server);
    admin->ExecuteScript("DROP DATABASE IF EXISTS " + name);
    admin->ExecuteScript("CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8'");
  }
  const std::string uri = WithDatabase(server, name);
  CreateBooks(uri, {runs, 5, 1, 0});
  auto db = data::OpenBackend(uri);
  db->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_date, bill_to, freight, other_charge, invoice_by, "
              "paid, export_flag) SELECT n, '2026-01-01', 'B', 0, 0, 0, 0, 0 FROM generate_series(1, " +
                  std::to_string(headers) + ") AS n",
              {});
  // As the books stand after autovacuum has been by.
  db->ExecuteScript("VACUUM ANALYZE Invoice_Header");
  return uri;
}

struct ChildCosts {
  double save = 0;
  double browse = 0;
  double peak_kib = 0;
};

ChildCosts MeasureInChild(const char* self, const std::string& uri, int headers, int runs) {
  std::istringstream out(
      ChildOutput(self, {"--books-child", uri, std::to_string(headers), std::to_string(runs)}));
  ChildCosts c;
  if (!(out >> c.save >> c.browse >> c.peak_kib)) throw std::runtime_error("the books child printed no figures");
  return c;
}

}  // namespace

int BooksSizeChild(const std::string& database, int headers, int runs) {
  const Costs c = MeasureComponent(database, headers, runs);
  std::printf("%.9g %.9g %ld\n", c.save, c.browse, OwnPeakKib());
  return 0;
}

void RunPostgresBooksSizeBenchmarks(const BooksSizeOptions& o, const std::string& server, Report& report,
                                    const char* self) {
  const std::string name = "tarvik_bench_books_size";
  const ChildCosts small =
      MeasureInChild(self, CreatePostgresBooks(server, name, o.small_headers, o.runs), o.small_headers, o.runs);
  const std::string uri = CreatePostgresBooks(server, name, o.large_headers, o.runs);
  const ChildCosts large = MeasureInChild(self, uri, o.large_headers, o.runs);
  double count = 0;
  {
    auto db = data::OpenBackend(uri);
    count = BestSeconds(o.runs, [&] { db->Query("SELECT count(*) FROM Invoice_Header", {})->Seek(0); });
  }
  data::OpenBackend(server)->ExecuteScript("DROP DATABASE IF EXISTS " + name);
  const std::string few = std::to_string(o.small_headers) + " headers";
  const std::string many = std::to_string(o.large_headers) + " headers";
  report.Add({"PostgreSQL: save one order, " + few, "seconds", small.save, 0});
  report.Add({"PostgreSQL: save one order, " + many, "seconds", large.save, 0});
  report.Add({"PostgreSQL: open + last + seek, " + few, "seconds", small.browse, 0});
  report.Add({"PostgreSQL: open + last + seek, " + many, "seconds", large.browse, 0});
  report.Add({"PostgreSQL: peak memory, save + browse, " + few, "KiB", small.peak_kib, 0});
  report.Add({"PostgreSQL: peak memory, save + browse, " + many, "KiB", large.peak_kib, 0});
  report.Add({"PostgreSQL: count(*) over " + many, "seconds", count, 0});
  report.Check({"PostgreSQL save, " + many + " against " + few, large.save / small.save, 2, true});
  report.Check({"PostgreSQL browse, " + many + " against " + few, large.browse / small.browse, 2, true});
  report.Check({"PostgreSQL peak memory, " + many + " against " + few, large.peak_kib / small.peak_kib, 1.25, true});
}

void RunBooksSizeBenchmarks(const BooksSizeOptions& o, Report& report) {
  const std::string dir = std::filesystem::temp_directory_path() / "tarvik-bench";
  std::filesystem::create_directories(dir);
  const Costs small = Measure(dir + "/small-books.db", o.small_headers, o.runs);
  const Costs large = Measure(dir + "/large-books.db", o.large_headers, o.runs);
  const std::string few = std::to_string(o.small_headers) + " headers";
  const std::string many = std::to_string(o.large_headers) + " headers";
  report.Add({"save one order, " + few, "seconds", small.save, 0});
  report.Add({"save one order, " + many, "seconds", large.save, 0});
  report.Add({"open + last + seek, " + few, "seconds", small.browse, 0});
  report.Add({"open + last + seek, " + many, "seconds", large.browse, 0});
  report.Add({"count(*) over " + many, "seconds", large.count, 0});
  // The extra cost of the large books, in units of one count over them.
  report.Check({"save extra cost in counts", (large.save - small.save) / large.count, 2, true});
  report.Check({"browse extra cost in counts", (large.browse - small.browse) / large.count, 2, true});
}

}  // namespace tarvik::bench
