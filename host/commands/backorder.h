// `tarvik backorder N`: hands invoice N to a new TarvikInvoice.BackOrder,
// whose BackOrder function offers to turn the lines not invoiced in full
// into new orders, asking a new order number per original order through the
// UI services. Reports the orders created.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "host/posting_readback.h"

namespace tarvik::host {

class ProgressLine;

struct BackOrderOutcome {
  bool created = false;  // what BackOrder answered
  std::vector<BackOrderMade> orders;
};

// Runs the workflow for one invoice; std::runtime_error when there is no
// such invoice. Errors of the object travel on as AutomationError.
BackOrderOutcome BackOrderInvoice(const std::string& database, std::int32_t invoice_no);

// Number of detail lines of the invoice's orders still open to back-order,
// as the workflow itself would find them.
std::int64_t OpenBackOrderLines(const std::string& database, std::int32_t invoice_no);

}  // namespace tarvik::host
