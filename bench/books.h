// Sets of books for the benchmarks: a new SQLite file with the schema and
// catalog, customers, items on hand at two sites, and packed orders.
#pragma once

#include <string>

namespace tarvik::bench {

struct BooksShape {
  int orders = 10000;
  int lines_per_order = 5;
  int customers = 10;        // orders are dealt out to them in turn
  int invoice_headers = 0;   // existing invoices 1..n (without lines)
  int open_per_line = 0;     // ordered beyond what is packed, left open
  int items = 50;            // in stock at two sites; order lines go round them
};

// Creates the file (removing an older one). Order numbers run from 100001;
// every line is packed in full; both options are off.
void CreateBooks(const std::string& path, const BooksShape& shape);

// Removes an SQLite file with its log and shared memory.
void RemoveBooks(const std::string& path);

// A fresh copy of the SQLite books `from` at `to`, for one run to spend;
// returns `to`.
std::string CopyBooks(const std::string& from, const std::string& to);

}  // namespace tarvik::bench
