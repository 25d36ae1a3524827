// Writing an edited invoice header back: one UPDATE of the editable columns,
// committed only when it changed exactly one row.
#include <string>

#include "data/field_conversion.h"
#include "invoice/invoice.h"

namespace tarvik::invoice {

bool Invoice::UpdateHeader() {
  auto text = [](const TextProperty& p) { return Variant::String16(p.value()); };
  std::string sql = "UPDATE " + header_table_ + " SET ";
  sql += "Ship_Date = " + data::Field2SqlDate(text(ship_date_));
  sql += ", Bill_To = " + data::Field2SqlText(text(bill_to_));
  sql += ", Freight = " + data::NumberText(data::Field2Single(text(freight_amount_)));
  sql += ", Other_Charge = " + data::NumberText(data::Field2Single(text(other_charge_)));
  sql += ", Extra1 = " + data::Field2SqlText(text(extra1_));
  sql += ", Extra2 = " + data::Field2SqlText(text(extra2_));
  sql += ", Paid = " + data::NumberText(data::Field2Double(text(paid_)));
  sql += ", Export_Flag = " + std::to_string(data::Field2Integer(Variant::Byte(export_flag_)));
  sql += ", Export_Date = " + data::Field2SqlDate(text(export_date_));
  sql += " WHERE Invoice_No = " + std::to_string(data::Field2Long(text(invoice_no_)));

  // The Execute answer is not needed: the count decides. An error rolls the
  // level back before it travels on, so the host's connection is never left
  // inside a transaction it did not open.
  data::HostConnection& connection = Conn();
  connection.BeginTrans();
  try {
    connection.Execute(sql);
    if (connection.RecordsAffected() == 1) {
      connection.CommitTrans();
      return true;
    }
  } catch (const AutomationError&) {
    connection.Rollback();
    throw;
  }
  connection.Rollback();
  return false;
}

}  // namespace tarvik::invoice
