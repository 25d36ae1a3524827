// Cost per invoice against the size of the stock and of the history: the
// same one-order Saves on books with few items in stock, with very many,
// and with very many plus a long history of invoice lines, ledger entries
// and orders. A posting that reached beyond its own rows would grow here.
#pragma once

#include <string>

#include "bench/harness.h"

namespace tarvik::bench {

struct StockSizeOptions {
  int small_items = 100;       // Inventory rows (item and site)
  int large_items = 100000;
  int history_lines = 100000;  // invoiced lines, their orders and ledger entries already in the largest books
  int invoices = 1000;         // one-order Saves measured on each
  int runs = 3;                // best of, each on a fresh copy
  std::string postgres;        // a server to measure on as well; empty for SQLite only
  // Durable settings (SQLite synchronous=FULL, a server that flushes its
  // log) carry the targets; the fast ones are figures beside them.
  bool durable = true;
};

void RunStockSizeBenchmarks(const StockSizeOptions& options, Report& report);

}  // namespace tarvik::bench
