// tarvik_bench: the performance figures of the component beside its
// baselines, and one line per target.
// Usage: tarvik_bench [--quick] [--only invoicing|books|books-postgres|backorders|memory|host|postgres|stock]
//                     [--synchronous full|normal|both] [--postgres URI]
//                     [--postgres-durable URI]
// SQLite runs under TARVIK_SQLITE_SYNCHRONOUS, which this program sets per
// part (FULL, durable, first); PostgreSQL under whatever the server is
// configured with (printed; the durable server first).
// (--memory-child PATH ORDERS is its own child process for the memory run,
// --books-child URI HEADERS RUNS for the PostgreSQL books-size run).
// To profile one side alone: --make-books PATH|URI ORDERS lays down the
// invoicing books, --invoicing-host[-raw] PATH|URI FIRST LAST INVOICE runs
// the component (or the best-possible baseline) over them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>

#include "bench/backorder_run.h"
#include "bench/books.h"
#include "bench/books_size.h"
#include "bench/harness.h"
#include "bench/host_run.h"
#include "bench/invoicing_run.h"
#include "bench/memory_run.h"
#include "bench/stock_size.h"
#include "data/backends/sqlite/sqlite_backend.h"
#include <string>

int main(int argc, char** argv) {
  using namespace tarvik::bench;
  // As the tarvik host does: the benchmarks drive the component as a host.
  tarvik::data::ConfigureSqliteForThisProgram();
  if (argc == 4 && std::strncmp(argv[1], "--memory-child", 14) == 0) {
    try {
      return MemoryChild(argv[2], std::stoi(argv[3]), std::strcmp(argv[1], "--memory-child-raw") == 0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
      return 2;
    }
  }
  if (argc == 5 && std::strcmp(argv[1], "--books-child") == 0) {
    try {
      return BooksSizeChild(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
      return 2;
    }
  }
  if (argc == 4 && std::strcmp(argv[1], "--make-books") == 0) {
    try {
      CreateBooks(argv[2], {std::stoi(argv[3]), 5, 10, 0});
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
      return 2;
    }
  }
  if (argc == 6 && std::strncmp(argv[1], "--invoicing-host", 16) == 0) {
    try {
      return InvoicingHost(argv[2], argv[3], argv[4], std::stoi(argv[5]),
                           std::strcmp(argv[1], "--invoicing-host-raw") == 0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
      return 2;
    }
  }
  bool quick = false;
  std::string postgres;  // --postgres URI
  std::string durable_postgres;  // --postgres-durable URI
  std::string only;  // --only invoicing|books|books-postgres|backorders|memory
  std::string synchronous = "both";
  // A full run takes the better part of an hour: anything not understood
  // (--help included) stops it before it starts.
  constexpr const char* kUsage =
      "usage: tarvik_bench [--quick] [--only invoicing|books|books-postgres|backorders|memory|host|postgres|stock]\n"
      "                    [--synchronous full|normal|both] [--postgres URI] [--postgres-durable URI]\n";
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--only") == 0 && has_value) {
      only = argv[++i];
    } else if (std::strcmp(argv[i], "--synchronous") == 0 && has_value) {
      synchronous = argv[++i];
    } else if (std::strcmp(argv[i], "--postgres") == 0 && has_value) {
      postgres = argv[++i];
    } else if (std::strcmp(argv[i], "--postgres-durable") == 0 && has_value) {
      durable_postgres = argv[++i];
    } else {
      std::fprintf(stderr, "tarvik_bench: '%s' is not understood\n%s", argv[i], kUsage);
      return 2;
    }
  }
  constexpr const char* kParts[] = {"",       "invoicing", "books", "books-postgres", "backorders",
                                    "memory", "host",      "postgres", "stock"};
  if (std::find(std::begin(kParts), std::end(kParts), only) == std::end(kParts)) {
    std::fprintf(stderr, "tarvik_bench: --only '%s' is no part\n%s", only.c_str(), kUsage);
    return 2;
  }
  if (synchronous != "full" && synchronous != "normal" && synchronous != "both") {
    std::fprintf(stderr, "tarvik_bench: --synchronous takes full, normal or both\n");
    return 2;
  }
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  Report report;
  try {
    if (wanted("invoicing") && synchronous != "normal") {
      // Durable first: a flush of the log per commit, and the run relieves
      // every invoice in a commit of its own, so the disk sets its pace;
      // the figures stand beside the durable commits a second it allows.
      setenv("TARVIK_SQLITE_SYNCHRONOUS", "FULL", 1);
      std::printf("SQLite file, WAL journal, synchronous=FULL (the default: a commit is on disk when "
                  "it returns).\n");
      InvoicingOptions invoicing;
      invoicing.orders = quick ? 500 : 10000;
      // The disk's flush time wanders from second to second: the best of
      // five, each side in turn, compares the two at the disk's best.
      invoicing.runs = quick ? 1 : 5;
      invoicing.durable = true;
      invoicing.rate_target = false;
      RunInvoicingBenchmarks(invoicing, report);
    }
    // The rest measures the component's own work, not the disk's flushes.
    setenv("TARVIK_SQLITE_SYNCHRONOUS", "NORMAL", 1);
    if (only != "postgres" && only != "books-postgres") {
      std::printf("SQLite file, WAL journal, synchronous=NORMAL (durable at checkpoints; a power "
                  "cut may lose the last commits, never corrupt).\n");
    }
    if (wanted("invoicing") && synchronous != "full") {
      InvoicingOptions invoicing;
      if (quick) invoicing.orders = 1000;
      invoicing.runs = quick ? 1 : 3;
      RunInvoicingBenchmarks(invoicing, report);
    }
    BooksSizeOptions books;
    if (quick) books.large_headers = 100000;
    if (wanted("books")) RunBooksSizeBenchmarks(books, report);
    if (!postgres.empty() && (wanted("books") || only == "books-postgres")) {
      RunPostgresBooksSizeBenchmarks(books, postgres, report, "/proc/self/exe");
    }
    BackOrderOptions back_orders;
    back_orders.runs = quick ? 1 : 3;
    if (wanted("backorders")) RunBackOrderBenchmarks(back_orders, report);
    MemoryOptions memory;
    if (quick) memory = {1000, 10000};
    if (wanted("memory")) RunMemoryBenchmarks(memory, report, "/proc/self/exe");
    if (wanted("stock")) {
      // Durable first, as a clerk's books run; the fast settings show
      // what is left once no flush hides it.
      StockSizeOptions stock;
      // Flush times wander as in the invoicing run: the best of more runs.
      stock.runs = quick ? 1 : 5;
      stock.postgres = durable_postgres;
      setenv("TARVIK_SQLITE_SYNCHRONOUS", "FULL", 1);
      RunStockSizeBenchmarks(stock, report);
      stock.durable = false;
      stock.runs = quick ? 1 : 3;
      stock.postgres = postgres;
      setenv("TARVIK_SQLITE_SYNCHRONOUS", "NORMAL", 1);
      RunStockSizeBenchmarks(stock, report);
    }
    if (wanted("host")) {
      HostRunOptions host;
      host.tarvik = DefaultTarvikPath("/proc/self/exe");
      if (quick) {
        host.create_orders = host.orders_large = 5000;
        host.orders_small = 1000;
        host.headers_large = host.list_large = 100000;
        host.list_small = 10000;
      }
      // The host's figures are its own work: measured without a flush per
      // commit, whether or not the stock run before left that setting.
      setenv("TARVIK_SQLITE_SYNCHRONOUS", "NORMAL", 1);
      RunHostBenchmarks(host, report);
    }
    if (!durable_postgres.empty() && wanted("postgres")) {
      // Durable first: a flush per commit, beside the commit limit. The
      // flush time wanders as on SQLite: the best of three, sides in turn.
      PostgresOptions pg{durable_postgres, quick ? 500 : 10000, quick ? 1 : 3, PostgresDurability(durable_postgres),
                         true, true};
      std::printf("PostgreSQL 15 on loopback: %s (%s)\n", durable_postgres.c_str(), pg.setting.c_str());
      RunPostgresInvoicing(pg, report, "/proc/self/exe");
    }
    if (!postgres.empty() && wanted("postgres")) {
      PostgresOptions pg{postgres, quick ? 2000 : 10000, quick ? 1 : 2, PostgresDurability(postgres), false, true};
      std::printf("PostgreSQL 15 on loopback: %s (%s)\n", postgres.c_str(), pg.setting.c_str());
      RunPostgresInvoicing(pg, report, "/proc/self/exe");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
    return 2;
  }
  return report.Print() ? 0 : 1;
}
