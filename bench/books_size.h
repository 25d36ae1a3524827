// Cost in the size of the books: one Save of one order, and one browse to
// the end and to a number, with few and with very many invoice headers.
#pragma once

#include <string>

#include "bench/harness.h"

namespace tarvik::bench {

struct BooksSizeOptions {
  int small_headers = 1000;
  int large_headers = 1000000;
  int runs = 3;
};

void RunBooksSizeBenchmarks(const BooksSizeOptions& options, Report& report);

// The same on PostgreSQL (`server`: a database the run may create others
// from), each size in a child process of its own for its peak memory.
void RunPostgresBooksSizeBenchmarks(const BooksSizeOptions& options, const std::string& server, Report& report,
                                    const char* self);
// The child's side: prints the best Save and browse seconds and its peak KiB.
int BooksSizeChild(const std::string& database, int headers, int runs);

}  // namespace tarvik::bench
