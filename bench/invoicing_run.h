// Invoicing run: one Save over packed orders in each grouping, beside the
// raw baseline that makes the same row changes with the same statements.
#pragma once

#include <string>

#include "bench/harness.h"

namespace tarvik::bench {

struct InvoicingOptions {
  int orders = 10000;
  int lines_per_order = 5;
  int customers = 10;
  int runs = 1;  // best of
};

void RunInvoicingBenchmarks(const InvoicingOptions& options, Report& report);
// The raw baseline of an order-number run over orders 100001..100000+orders.
void RawOrderNumberRun(const std::string& path, int orders);

}  // namespace tarvik::bench
