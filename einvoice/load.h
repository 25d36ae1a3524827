// Builds the e-invoice of an invoice (or credit note) of the books: header,
// lines, customer, ship-to, items and the company settings, with every
// amount computed and rounded as the document carries it.
#pragma once

#include <cstdint>

#include "data/host_connection.h"
#include "einvoice/document.h"

namespace tarvik::einvoice {

// Reads in the caller's transaction, if one is open. An invoice (or credit
// note) that is not there raises AutomationError with a message naming it.
Document LoadInvoice(data::HostConnection& connection, std::int64_t invoice_no);
Document LoadCreditNote(data::HostConnection& connection, std::int64_t credit_no);

}  // namespace tarvik::einvoice
