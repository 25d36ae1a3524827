#include "backorder/detail_row.h"

#include <cstdint>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::backorder {

void DetailRow::Load(data::DataRecordset& rs) {
  invoice_no.set_utf8(std::to_string(rs.ReadLong()));
  order_key = std::to_string(rs.ReadLong());
  order_number.set_utf8(rs.ReadString());
  cust_id.set_utf8(rs.ReadString());
  ship_to_name.set_utf8(rs.ReadString());
  reference_no.set_utf8(rs.ReadString());
  due_date.set_utf8(regional::FormatDate(rs.ReadDate()));
  order_header_discount.set_utf8(regional::FormatSingle(rs.ReadSingle()));
  ship_via.set_utf8(rs.ReadString());
  price_struct.set_utf8(rs.ReadString());
  oe_extra1.set_utf8(rs.ReadString());
  oe_extra2.set_utf8(rs.ReadString());
  non_merch_order = rs.ReadBoolean();
  header_text_a = rs.ReadString();
  header_text_b = rs.ReadString();
  item_number.set_utf8(rs.ReadString());
  site.set_utf8(rs.ReadString());
  quantity_ordered.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  quantity_to_ship.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  unit_price.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  order_detail_discount.set_utf8(regional::FormatSingle(rs.ReadSingle()));
  const std::int16_t code = rs.ReadInteger();
  if (code < 0 || code > 255) RaiseError(kErrOverflow);
  line_code = static_cast<BYTE>(code);
  quantity_packed.set_utf8(regional::FormatDouble(rs.ReadDouble()));
}

}  // namespace tarvik::backorder
