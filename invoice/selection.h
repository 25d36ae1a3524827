// Which rows an operation takes: the browse and delete keyword, the orders
// a creation invoices, and what the last selection counted.
#pragma once

#include <string>

#include "platform/com.h"
#include "automation/text_property.h"

namespace tarvik::invoice {

struct Selection {
  // "EXPORT", "INVOICE_NUMBER" (any letter case) or anything else.
  automation::TextProperty filter;
  automation::TextProperty begin_order;
  automation::TextProperty end_order;
  automation::TextProperty cust_id;
  automation::TextProperty ship_to;
  // The order being invoiced; creation sets it from each order key in turn.
  LONG order_key = 0;
  // Rows of the last opened selection (headers or order keys).
  LONG record_count = 0;
};

// The WHERE clause of a header selection: the export keyword, the one
// invoice invoice_no by the invoice-number keyword, empty otherwise.
std::string FilterClause(const std::string& filter, const std::u16string& invoice_no);

}  // namespace tarvik::invoice
