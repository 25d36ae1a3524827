// tarvik_bench: the performance figures of the component beside its
// baselines, and one line per target.
// Usage: tarvik_bench [--quick] [--only invoicing|books|backorders|memory]
// (--memory-child PATH ORDERS is its own child process for the memory run).
#include <cstdio>
#include <cstring>
#include <exception>

#include "bench/backorder_run.h"
#include "bench/books_size.h"
#include "bench/harness.h"
#include "bench/invoicing_run.h"
#include "bench/memory_run.h"
#include <string>

int main(int argc, char** argv) {
  using namespace tarvik::bench;
  if (argc == 4 && std::strncmp(argv[1], "--memory-child", 14) == 0) {
    try {
      return MemoryChild(argv[2], std::stoi(argv[3]), std::strcmp(argv[1], "--memory-child-raw") == 0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
      return 2;
    }
  }
  bool quick = false;
  std::string only;  // --only invoicing|books|backorders|memory
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  auto wanted = [&](const char* name) { return only.empty() || only == name; };
  Report report;
  try {
    InvoicingOptions invoicing;
    if (quick) invoicing.orders = 1000;
    invoicing.runs = quick ? 1 : 3;
    std::printf("SQLite file, WAL journal, synchronous=NORMAL (durable at checkpoints; a power "
                "cut may lose the last commits, never corrupt).\n");
    if (wanted("invoicing")) RunInvoicingBenchmarks(invoicing, report);
    BooksSizeOptions books;
    if (quick) books.large_headers = 100000;
    if (wanted("books")) RunBooksSizeBenchmarks(books, report);
    BackOrderOptions back_orders;
    back_orders.runs = quick ? 1 : 3;
    if (wanted("backorders")) RunBackOrderBenchmarks(back_orders, report);
    MemoryOptions memory;
    if (quick) memory = {1000, 10000};
    if (wanted("memory")) RunMemoryBenchmarks(memory, report, "/proc/self/exe");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvik_bench: %s\n", e.what());
    return 2;
  }
  return report.Print() ? 0 : 1;
}
