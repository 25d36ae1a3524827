#include "invoice/invoice_header.h"

#include <cstdint>

#include "platform/error.h"

namespace tarvik::invoice {

void InvoiceHeader::Load(data::DataRecordset& rs) {
  invoice_no.set_utf8(rs.ReadString(0));
  invoice_date.set_utf8(rs.ReadString());
  ship_date.set_utf8(rs.ReadString());
  bill_to.set_utf8(rs.ReadString());
  freight_amount.set_utf8(rs.ReadString());
  other_charge.set_utf8(rs.ReadString());
  invoice_by = static_cast<InvoiceBy>(static_cast<std::int32_t>(rs.ReadInteger()));
  extra1.set_utf8(rs.ReadString());
  extra2.set_utf8(rs.ReadString());
  paid.set_utf8(rs.ReadString());
  const std::int16_t flag = rs.ReadInteger();
  if (flag < 0 || flag > 255) RaiseError(kErrOverflow);
  export_flag = static_cast<BYTE>(flag);
  export_date.set_utf8(rs.ReadString());
}

}  // namespace tarvik::invoice
