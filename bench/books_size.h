// Cost in the size of the books: one Save of one order, and one browse to
// the end and to a number, with few and with very many invoice headers.
#pragma once

#include "bench/harness.h"

namespace tarvik::bench {

struct BooksSizeOptions {
  int small_headers = 1000;
  int large_headers = 1000000;
  int runs = 3;
};

void RunBooksSizeBenchmarks(const BooksSizeOptions& options, Report& report);

}  // namespace tarvik::bench
