// One row of the invoice header table as the host sees it: the twelve
// columns, in column order, each held as the host set it or as browsing
// loaded it.
#pragma once

#include "data/data_recordset.h"
#include "platform/com.h"
#include "server/interfaces.h"
#include "server/text_property.h"

namespace tarvik::invoice {

struct InvoiceHeader {
  server::TextProperty invoice_no;
  server::TextProperty invoice_date;
  server::TextProperty ship_date;
  server::TextProperty bill_to;
  server::TextProperty freight_amount;
  server::TextProperty other_charge;
  // Also the grouping by which invoices are created and printed.
  server::InvoiceBy invoice_by = server::ibOrderNumber;
  server::TextProperty extra1;
  server::TextProperty extra2;
  server::TextProperty paid;
  BYTE export_flag = 0;
  server::TextProperty export_date;

  // Reads the current row of rs in column order. Each column is stored as
  // soon as it is read, so a failing read leaves the earlier ones replaced.
  void Load(data::DataRecordset& rs);
};

}  // namespace tarvik::invoice
