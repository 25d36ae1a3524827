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
  std::string setting;  // what the figures' names say they were measured under
  // The invoices-per-second target; with a flush per commit the disk sets
  // the rate, not the component.
  bool rate_target = true;
};

void RunInvoicingBenchmarks(const InvoicingOptions& options, Report& report);

struct PostgresOptions {
  std::string server;  // postgresql://... of a database the run may create others from
  int orders = 10000;
  int runs = 1;
  std::string setting;  // as in InvoicingOptions
  bool targets = true;
};
// The server's durability settings, e.g. "fsync=on, synchronous_commit=on,
// full_page_writes=on".
std::string PostgresDurability(const std::string& server);
// The order-number run on PostgreSQL beside its libpqxx baseline, and four
// concurrent hosts on disjoint ranges against one host doing them all.
void RunPostgresInvoicing(const PostgresOptions& options, Report& report, const char* self);
// A child host of the concurrent run: one order-number Save over
// first..last, or with `raw` the baseline's statements for the same range.
int InvoicingHost(const std::string& database, const std::string& first, const std::string& last,
                  int first_invoice, bool raw);
// The server's URI with another database name.
std::string WithDatabase(const std::string& server, const std::string& name);
// The raw baseline of an order-number run over orders 100001..100000+orders.
void RawOrderNumberRun(const std::string& path, int orders);

}  // namespace tarvik::bench
