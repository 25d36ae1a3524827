// What a run of the component wrote, read back with the host's own SQL:
// the invoices it made (with their lines and the stock they took) and the
// back orders it created. Used to report a run, never to decide one.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/host_connection.h"

namespace tarvik::host {

struct InvoiceMade {
  std::int32_t number = 0;
  std::int32_t grouping = 0;           // invoice_by
  std::vector<std::string> orders;     // order numbers of its lines
  std::vector<std::string> customers;  // customers of those orders
  std::int64_t lines = 0;
  double units = 0;     // quantity invoiced
  double amount = 0;
  double relieved = 0;  // stock taken, by the ledger
};

struct BackOrderMade {
  std::int64_t order_key = 0;
  std::string order_number;
  std::vector<std::string> originals;  // orders whose lines point at it
  std::string customer;
  std::string ship_to;
  std::int64_t lines = 0;
  double units = 0;  // quantity ordered
};

// Numbers of the headers at or above first.
std::set<std::int32_t> InvoiceNumbersFrom(data::HostConnection& c, std::int32_t first);
// The numbers in after that are not in before, in order.
std::vector<std::int32_t> NewNumbers(const std::set<std::int32_t>& before,
                                     const std::set<std::int32_t>& after);
// Highest ledger entry so far; a run's reliefs are posted after it.
std::int64_t HighestLedgerEntry(data::HostConnection& c);
// The invoices among numbers (ascending) that still have a header, with the
// stock their reliefs took after ledger_after. A bounded number of queries,
// each reading the range of numbers by key.
std::vector<InvoiceMade> ReadInvoices(data::HostConnection& c,
                                      const std::vector<std::int32_t>& numbers,
                                      std::int64_t ledger_after);

// Highest order key so far; back orders made later have higher keys.
std::int64_t HighestOrderKey(data::HostConnection& c);
// Orders the back-order workflow created with keys above after_key, for the
// invoices first_invoice to last_invoice (their originals are looked for
// among those invoices' orders first).
std::vector<BackOrderMade> BackOrdersAfter(data::HostConnection& c, std::int64_t after_key,
                                           std::int32_t first_invoice, std::int32_t last_invoice);

// Readable tables (nothing for an empty list) and their JSON forms.
void WriteInvoices(std::ostream& out, const std::vector<InvoiceMade>& invoices,
                   const std::string& indent = "  ");
void WriteBackOrders(std::ostream& out, const std::vector<BackOrderMade>& orders,
                     const std::string& indent = "  ");
nlohmann::ordered_json InvoicesJson(const std::vector<InvoiceMade>& invoices);
nlohmann::ordered_json BackOrdersJson(const std::vector<BackOrderMade>& orders);

// "order", "ship-to", "customer", "customer order", or the number.
std::string GroupingName(std::int32_t invoice_by);
// Comma-separated.
std::string JoinTexts(const std::vector<std::string>& texts);

}  // namespace tarvik::host
