// `tarvik create`: invoices the packed orders of one selection through the
// component's Save (TransactionMode 1), one invoice per order or one for a
// ship-to location, a customer or a customer's order range, and reports the
// invoices made and any back orders created after them.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/posting_readback.h"
#include "platform/variant.h"

namespace tarvik::host {

class ProgressLine;

struct CreateRequest {
  std::string grouping;  // "order", "shipto", "customer" or "custorder"
  std::string from, to;  // order number range
  std::string customer;
  std::string ship_to;
  std::string invoice_no;  // first number; empty: Get_Next_Invoice_No
  std::vector<std::pair<std::string, Variant>> header;  // property, value
};

// "" when the grouping is known and the request gives what it needs and
// nothing it does not use; else why not.
std::string CheckCreateRequest(const CreateRequest& request);

struct CreateOutcome {
  bool saved = false;
  std::string message;  // why nothing was made; after a Save, the component's InfoMsg
  std::int32_t first_number = 0;
  std::vector<InvoiceMade> invoices;
  std::vector<BackOrderMade> back_orders;
};

// Runs one checked request on the database. A selection without packed
// lines is refused before the component is called. Errors that leave Save
// travel on as AutomationError.
CreateOutcome CreateInvoices(const std::string& database, const CreateRequest& request,
                             ProgressLine& progress);

}  // namespace tarvik::host
