// One row of the back-order detail layout (23 columns): the values the host
// reads, and the four the order creation needs besides them.
#pragma once

#include <string>

#include "data/data_recordset.h"
#include "platform/com.h"
#include "server/text_property.h"

namespace tarvik::backorder {

struct DetailRow {
  server::TextProperty invoice_no;
  std::string order_key;
  server::TextProperty order_number;
  server::TextProperty cust_id;
  server::TextProperty ship_to_name;
  server::TextProperty reference_no;
  server::TextProperty due_date;
  server::TextProperty order_header_discount;
  server::TextProperty ship_via;
  server::TextProperty price_struct;
  server::TextProperty oe_extra1;
  server::TextProperty oe_extra2;
  bool non_merch_order = false;
  std::string header_text_a;
  std::string header_text_b;
  server::TextProperty item_number;
  server::TextProperty site;
  server::TextProperty quantity_ordered;
  server::TextProperty quantity_to_ship;
  server::TextProperty unit_price;
  server::TextProperty order_detail_discount;
  BYTE line_code = 0;
  server::TextProperty quantity_packed;

  // Reads the current row of rs in column order. Every read leaves the
  // column index out: the reader stands on column 0 after an open or a move
  // and takes the columns in turn. A failing read leaves the earlier ones
  // replaced.
  void Load(data::DataRecordset& rs);
};

}  // namespace tarvik::backorder
