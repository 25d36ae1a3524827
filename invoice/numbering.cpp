// Invoice numbering and the header insert.
#include <limits>
#include <string>

#include "data/deferred_error.h"
#include "data/field_conversion.h"
#include "invoice/invoice.h"
#include "invoice/table_names.h"
#include "platform/regional.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {

// Largest stored number plus one; nothing reserves it, so two callers that
// ask before either inserts get the same answer (the key refuses the second).
std::string Invoice::NextInvoiceNumber() {
  ComPtr<data::DataRecordset> rs = data::NewDataRecordset();
  rs->SetConnection(links_.connection());
  std::string next;
  if (rs->OpenRecordset(std::string("Select Max(invoice_no) From ") + names::kHeaderTable, -1, -1, -1)) {
    const std::int32_t highest = rs->ReadLong(0);
    if (highest == std::numeric_limits<std::int32_t>::max()) RaiseError(kErrOverflow);
    next = std::to_string(highest + 1);
  }
  rs->CloseRecordset();
  return next;
}

bool Invoice::AddHeader() { return InsertHeader(header_.invoice_no.value()); }

// The header columns but the number from the object, the date today's.
bool Invoice::InsertHeader(const std::u16string& invoice_no, bool answer) {
  auto text = [](const automation::TextProperty& p) { return Variant::String16(p.value()); };
  const InvoiceHeader& h = header_;
  const std::int32_t number = data::Field2Long(Variant::String16(invoice_no));
  data::LiteralSql sql;
  sql.Code(std::string("INSERT INTO ") + names::kHeaderTable + " (");
  sql.Code("invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, invoice_by, ");
  sql.Code("extra1, extra2, paid, export_flag ");
  sql.Code(") VALUES (");
  sql.Literal(std::to_string(number)).Code(", ");
  sql.Literal(data::Field2SqlDate(Variant::Date(regional::Today()))).Code(", ");
  sql.Literal(data::Field2SqlDate(text(h.ship_date))).Code(", ");
  sql.Literal(data::Field2SqlText(text(h.bill_to))).Code(", ");
  sql.Literal(data::NumberText(data::Field2Single(text(h.freight_amount)))).Code(", ");
  sql.Literal(data::NumberText(data::Field2Single(text(h.other_charge)))).Code(", ");
  sql.Literal(std::to_string(data::Field2Integer(Variant::Long(h.invoice_by)))).Code(", ");
  sql.Literal(data::Field2SqlText(text(h.extra1))).Code(", ");
  sql.Literal(data::Field2SqlText(text(h.extra2))).Code(", ");
  sql.Literal(data::NumberText(data::Field2Double(text(h.paid)))).Code(", ");
  sql.Literal(std::to_string(data::Field2Integer(Variant::Byte(h.export_flag))));
  sql.Code(") ");

  bool added = false;
  try {
    added = links_.Conn().ExecuteLiteral(sql) && (!answer || links_.Conn().RecordsAffected() == 1);
  } catch (const data::DeferredError&) {
    throw;  // an earlier statement's, answered with this one
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
