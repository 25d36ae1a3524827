// Writing an edited invoice header back: one UPDATE of the editable columns,
// committed only when it changed exactly one row.
#include <string>

#include "data/field_conversion.h"
#include "data/transaction.h"
#include "invoice/invoice.h"
#include "invoice/table_names.h"

namespace tarvik::invoice {

bool Invoice::UpdateHeader() {
  auto text = [](const automation::TextProperty& p) { return Variant::String16(p.value()); };
  const InvoiceHeader& h = header_;
  std::string sql = std::string("UPDATE ") + names::kHeaderTable + " SET ";
  sql += "Ship_Date = " + data::Field2SqlDate(text(h.ship_date));
  sql += ", Bill_To = " + data::Field2SqlText(text(h.bill_to));
  sql += ", Freight = " + data::NumberText(data::Field2Single(text(h.freight_amount)));
  sql += ", Other_Charge = " + data::NumberText(data::Field2Single(text(h.other_charge)));
  sql += ", Extra1 = " + data::Field2SqlText(text(h.extra1));
  sql += ", Extra2 = " + data::Field2SqlText(text(h.extra2));
  sql += ", Paid = " + data::NumberText(data::Field2Double(text(h.paid)));
  sql += ", Export_Flag = " + std::to_string(data::Field2Integer(Variant::Byte(h.export_flag)));
  sql += ", Export_Date = " + data::Field2SqlDate(text(h.export_date));
  sql += " WHERE Invoice_No = " + std::to_string(data::Field2Long(text(h.invoice_no)));

  // The Execute answer is not needed: the count decides. An error rolls the
  // level back before it travels on, so the host's connection is never left
  // inside a transaction it did not open.
  data::HostConnection& connection = links_.Conn();
  data::Transaction transaction(connection);
  connection.Execute(sql);
  if (connection.RecordsAffected() != 1) return false;
  transaction.Commit();
  return true;
}

}  // namespace tarvik::invoice
