// Invoice numbering and the header insert.
#include <limits>
#include <string>

#include "data/field_conversion.h"
#include "invoice/invoice.h"
#include "platform/regional.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {

// Largest stored number plus one; nothing reserves it, so two callers that
// ask before either inserts get the same answer (the key refuses the second).
std::string Invoice::Get_Next_Invoice_No() {
  ComPtr<data::DataRecordset> rs = data::NewDataRecordset();
  rs->SetConnection(connection_);
  std::string next;
  if (rs->OpenRecordset("Select Max(invoice_no) From " + header_table_, -1, -1, -1)) {
    const std::int32_t highest = rs->ReadLong(0);
    if (highest == std::numeric_limits<std::int32_t>::max()) RaiseError(kErrOverflow);
    next = std::to_string(highest + 1);
  }
  rs->CloseRecordset();
  return next;
}

bool Invoice::AddHeader() {
  auto text = [](const TextProperty& p) { return Variant::String16(p.value()); };
  std::string sql = "INSERT INTO " + header_table_ + " (";
  sql += "invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, invoice_by, ";
  sql += "extra1, extra2, paid, export_flag ";
  sql += ") VALUES (";
  sql += std::to_string(data::Field2Long(text(invoice_no_))) + ", ";
  sql += data::Field2SqlDate(Variant::Date(regional::Today())) + ", ";
  sql += data::Field2SqlDate(text(ship_date_)) + ", ";
  sql += data::Field2SqlText(text(bill_to_)) + ", ";
  sql += data::NumberText(data::Field2Single(text(freight_amount_))) + ", ";
  sql += data::NumberText(data::Field2Single(text(other_charge_))) + ", ";
  sql += std::to_string(data::Field2Integer(Variant::Long(print_invoice_by_))) + ", ";
  sql += data::Field2SqlText(text(extra1_)) + ", ";
  sql += data::Field2SqlText(text(extra2_)) + ", ";
  sql += data::NumberText(data::Field2Double(text(paid_))) + ", ";
  sql += std::to_string(data::Field2Integer(Variant::Byte(export_flag_)));
  sql += ") ";

  const std::int32_t number = data::Field2Long(text(invoice_no_));
  bool added = false;
  try {
    added = Conn().Execute(sql) && Conn().RecordsAffected() == 1;
  } catch (const AutomationError& e) {
    // Two hosts can be handed the same next number; the loser needs to know
    // which one to replace, not which index refused it.
    if (e.number() != kErrKeyViolation) throw;
    RaiseError(kErrKeyViolation, "invoice number " + std::to_string(number) + " is already used");
  }
  Ui().DoEvents();
  return added;
}

}  // namespace tarvik::invoice
