// The best-possible raw baseline of an order-number run: the same rows
// changed as the component's Save (headers, detail rows, line and order
// status, stock relief and its ledger, the Invoice_Pending and
// Order_Status_Pending marks set and cleared) written by hand the fastest
// way: statements prepared once with parameters, the relief keyed by
// (item_number, site) over the invoice's own grouped lines, and the same
// transactions as the component (every invoice created in one, each
// relieved in its own, the order status posted at the end), so both sides
// are equally durable. On PostgreSQL each relief is sent before the one
// before it is answered; on SQLite under FULL the reliefs after the first
// share a flush of the log two by two, as the component's do. Order
// numbers first..last are numeric.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik::bench {

// Invoice header fields the benchmark's Save sets.
inline constexpr const char* kBenchBillTo = "Benchmark Customer";
inline constexpr double kBenchFreight = 12.5;

class RawDatabase;

// On the raw SQLite API; returns the invoices made.
int BestSqliteRun(const std::string& path, const std::string& first, const std::string& last,
                  std::int64_t first_invoice);
// The same on an open database, whose prepared statements later runs reuse
// (one order at a time, as a clerk invoices).
int BestSqliteRun(RawDatabase& db, const std::string& first, const std::string& last,
                  std::int64_t first_invoice);

struct BestPostgresResult {
  int invoices = 0;
  std::uint64_t round_trips = 0;
};
// On libpq in pipeline mode: one round trip per transaction.
BestPostgresResult BestPostgresRun(const std::string& uri, const std::string& first,
                                   const std::string& last, std::int64_t first_invoice);

}  // namespace tarvik::bench
