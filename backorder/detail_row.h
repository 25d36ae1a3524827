// One row of the back-order detail layout (23 columns): the values the host
// reads, and the four the order creation needs besides them.
#pragma once

#include <string>

#include "data/data_recordset.h"
#include "platform/com.h"
#include "automation/text_property.h"

namespace tarvik::backorder {

struct DetailRow {
  automation::TextProperty invoice_no;
  std::string order_key;
  automation::TextProperty order_number;
  automation::TextProperty cust_id;
  automation::TextProperty ship_to_name;
  automation::TextProperty reference_no;
  automation::TextProperty due_date;
  automation::TextProperty order_header_discount;
  automation::TextProperty ship_via;
  automation::TextProperty price_struct;
  automation::TextProperty oe_extra1;
  automation::TextProperty oe_extra2;
  bool non_merch_order = false;
  std::string header_text_a;
  std::string header_text_b;
  automation::TextProperty item_number;
  automation::TextProperty site;
  automation::TextProperty quantity_ordered;
  automation::TextProperty quantity_to_ship;
  automation::TextProperty unit_price;
  automation::TextProperty order_detail_discount;
  BYTE line_code = 0;
  automation::TextProperty quantity_packed;

  // Reads the current row of rs in column order. Every read leaves the
  // column index out: the reader stands on column 0 after an open or a move
  // and takes the columns in turn. A failing read leaves the earlier ones
  // replaced.
  void Load(data::DataRecordset& rs);
};

}  // namespace tarvik::backorder
