// Peak memory of a large invoicing run against a ten times smaller one,
// each in a child process of its own so neither inherits the other's pages.
#pragma once

#include <string>
#include <vector>

#include "bench/harness.h"

namespace tarvik::bench {

struct MemoryOptions {
  int small_orders = 10000;
  int large_orders = 100000;
};

void RunMemoryBenchmarks(const MemoryOptions& options, Report& report, const char* self);
// The child's side: one order-number Save over every order of the file.
int MemoryChild(const char* path, int orders, bool raw);

// The high-water mark of this process's own pages, in KiB.
long OwnPeakKib();
// Runs this program again with `args` and returns what it printed; throws
// when it fails.
std::string ChildOutput(const char* self, const std::vector<std::string>& args);

}  // namespace tarvik::bench
