// The `tarvik` program itself, run as a separate process on books of two
// sizes: what the host adds to the component's Save, and whether each
// command's cost follows what it reports rather than the size of the books.
#pragma once

#include <string>

#include "bench/harness.h"

namespace tarvik::bench {

struct HostRunOptions {
  std::string tarvik;              // the program to run
  int create_orders = 20000;       // tarvik create against Save alone
  int orders_small = 2000;         // create in each grouping, two sizes
  int orders_large = 20000;
  int headers_small = 1000;        // one-invoice commands, two sizes of books
  int headers_large = 1000000;
  int list_small = 100000;         // list and info report every header
  int list_large = 1000000;
};

// $TARVIK_BENCH_TARVIK, else `tarvik` beside the benchmark program.
std::string DefaultTarvikPath(const std::string& bench_program);

void RunHostBenchmarks(const HostRunOptions& options, Report& report);

}  // namespace tarvik::bench
