// Invoicing run: one Save over packed orders in each grouping, beside the
// best-possible raw baseline (best_baseline.h) and the raw baseline that
// runs the component's own stored SQL; on durable settings beside the
// durable commits a second that the disk allows (commit_limit.h).
#pragma once

#include <string>

#include "bench/harness.h"

namespace tarvik::bench {

struct InvoicingOptions {
  int orders = 10000;
  int lines_per_order = 5;
  int customers = 10;
  int runs = 1;  // best of
  // Durable settings: the commit limit measured first and the durable
  // targets; the same-SQL baseline of the order-number run is left out
  // (beside a flush per commit it tells nothing more).
  bool durable = false;
  // The invoices-per-second target of the fast settings.
  bool rate_target = true;
};

void RunInvoicingBenchmarks(const InvoicingOptions& options, Report& report);

struct PostgresOptions {
  std::string server;  // postgresql://... of a database the run may create others from
  int orders = 10000;
  int runs = 1;
  std::string setting;  // the server's durability settings, as PostgresDurability reports them
  bool durable = false;  // as in InvoicingOptions
  bool targets = true;
};
// The server's durability settings, e.g. "fsync=on, synchronous_commit=on,
// full_page_writes=on".
std::string PostgresDurability(const std::string& server);
// The order-number run on PostgreSQL beside the best-possible baseline (libpq
// pipeline) and the same-SQL one (libpqxx), its round trips per invoice, and
// 1, 4 and 16 concurrent hosts on disjoint ranges (the deadlocks and lock
// errors they report counted).
void RunPostgresInvoicing(const PostgresOptions& options, Report& report, const char* self);
// A child host of the concurrent run: one order-number Save over
// first..last, or with `raw` the best-possible baseline for the same range.
// The component's message boxes go to standard error, one a line.
int InvoicingHost(const std::string& database, const std::string& first, const std::string& last,
                  int first_invoice, bool raw);
// The engine's own words for the settings a connection opened as the
// backend opens it runs under, e.g. "journal_mode=wal, synchronous=FULL".
std::string SqliteSetting(const std::string& path);
// The server's URI with another database name.
std::string WithDatabase(const std::string& server, const std::string& name);
// The raw baseline of an order-number run over orders 100001..100000+orders.
void RawOrderNumberRun(const std::string& path, int orders);

}  // namespace tarvik::bench
