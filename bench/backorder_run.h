// Back orders: an invoice with 1,000 open lines over 100 original orders
// turned into new orders with scripted answers, beside its raw baseline.
#pragma once

#include "bench/harness.h"

namespace tarvik::bench {

struct BackOrderOptions {
  int orders = 100;
  int lines_per_order = 10;
  int runs = 3;
};

void RunBackOrderBenchmarks(const BackOrderOptions& options, Report& report);

}  // namespace tarvik::bench
