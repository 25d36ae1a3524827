#include "bench/books_size.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/raw_sqlite.h"

namespace tarvik::bench {
namespace {

struct Costs {
  double save = 0;    // one Save of one order
  double browse = 0;  // OpenRecordset + MoveLast + SeekRecord
  double count = 0;   // SELECT count(*) over the headers, raw
};

Costs Measure(const std::string& path, int headers, int runs) {
  CreateBooks(path, {runs, 5, 1, headers});
  Costs c;
  ComponentHost host(path);
  c.save = 1e300;
  for (int run = 0; run < runs; ++run) {
    const std::string order = std::to_string(100001 + run);
    c.save = std::min(c.save, Seconds([&] {
      host.Let("InvoiceNo", host.Call("Get_Next_Invoice_No"));
      host.Let("PrintInvoiceBy", Variant::Long(0));
      host.Let("BeginOrder", Variant::String(order));
      host.Let("EndOrder", Variant::String(order));
      host.Let("TransactionMode", Variant::Long(1));
      if (!host.Succeeds("Save")) throw std::runtime_error("Save answered False");
    }));
  }
  host.Let("Filter", Variant::String(""));
  c.browse = BestSeconds(runs, [&] {
    if (!host.Succeeds("OpenRecordset")) throw std::runtime_error("no headers");
    host.Succeeds("MoveLast");
    if (!host.Succeeds("SeekRecord", {Variant::Long(headers / 2)})) {
      throw std::runtime_error("SeekRecord missed");
    }
  });
  RawDatabase raw(path);
  sqlite3_stmt* count = raw.Statement("SELECT count(*) FROM Invoice_Header");
  c.count = BestSeconds(runs, [&] { raw.Run(count, {}); });
  return c;
}

}  // namespace

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
