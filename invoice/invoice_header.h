// One row of the invoice header table as the host sees it: the twelve
// columns, in column order, each held as the host set it or as browsing
// loaded it.
#pragma once

#include "data/data_recordset.h"
#include "platform/com.h"
#include "tarvik/interfaces.h"
#include "automation/text_property.h"

namespace tarvik::invoice {

struct InvoiceHeader {
  automation::TextProperty invoice_no;
  automation::TextProperty invoice_date;
  automation::TextProperty ship_date;
  automation::TextProperty bill_to;
  automation::TextProperty freight_amount;
  automation::TextProperty other_charge;
  // Also the grouping by which invoices are created and printed.
  InvoiceBy invoice_by = ibOrderNumber;
  automation::TextProperty extra1;
  automation::TextProperty extra2;
  automation::TextProperty paid;
  BYTE export_flag = 0;
  automation::TextProperty export_date;

  // Reads the current row of rs in column order. Each column is stored as
  // soon as it is read, so a failing read leaves the earlier ones replaced.
  void Load(data::DataRecordset& rs);
};

}  // namespace tarvik::invoice
