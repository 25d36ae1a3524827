// tarvik_bench: the performance figures of the component beside its
// baselines, and one line per target. Usage: tarvik_bench [--quick]
#include <cstdio>
#include <cstring>
#include <exception>

#include "bench/books_size.h"
#include "bench/harness.h"
#include "bench/invoicing_run.h"

int main(int argc, char** argv) {
  using namespace tarvik::bench;
  bool quick = false;
  for (int i = 1; i < argc; ++i) quick = quick || std::strcmp(argv[i], "--quick") == 0;
  Report report;
  try {
    InvoicingOptions invoicing;
    if (quick) invoicing.orders = 1000;
    invoicing.runs = quick ? 1 : 3;
    std::printf("SQLite file, WAL journal, synchronous=NORMAL (durable at checkpoints; a power "
                "cut may lose the last commits, never corrupt).\n");
    RunInvoicingBenchmarks(invoicing, report);
    BooksSizeOptions books;
    if (quick) books.large_headers = 100000;
    RunBooksSizeBenchmarks(books, report);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
    return 2;
  }
  return report.Print() ? 0 : 1;
}
