// Invoice deletion: the confirmation, the inventory and status resets, the
// header DELETE and the deletion log, all in one transaction on the host's
// connection.
#include <string>
#include <vector>

#include "data/field_conversion.h"
#include "data/stored_query.h"
#include "data/transaction.h"
#include "invoice/invoice.h"
#include "invoice/table_names.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {
namespace {

constexpr int kConfirmStyle = kMbYesNo | kMbExclamation | kMbDefaultButton2;  // 308
constexpr const char* kInvoiceNumberKeyword = "INVOICE_NUMBER";

}  // namespace

bool Invoice::Delete() {
  const std::u16string number = header_.invoice_no.value();
  const std::string question =
      "Are you sure you want to delete Invoice '" + header_.invoice_no.utf8() + "'?";
  if (Ui().MessageBox(question, kConfirmStyle, "Delete Records") != kIdYes) return false;

  bool deleted = false;
  // The handler ends one level whatever the phase: the scope while it
  // holds the deletion's level, the handler itself when the level could not
  // be opened and after it ended.
  bool scope_ends_level = false;
  try {
    data::HostConnection& connection = links_.Conn();
    {
      data::Transaction transaction(connection);
      scope_ends_level = true;
      if (ResetInventory(number) && ResetOrderStatus(number)) {
        // Filter shows the keyword until the delete is known to have hit a
        // row: an error before that leaves it so for the host.
        selection_.filter.set_utf8(kInvoiceNumberKeyword);
        deleted = DeleteHeaders(kInvoiceNumberKeyword, number);
        if (connection.RecordsAffected() > 0) {
          deleted = true;
          selection_.filter.clear();
        }
        if (deleted) LogDeletedInvoice();
      }
      if (deleted) transaction.Commit();
    }
    scope_ends_level = false;
    selection_.filter.clear();
    Find();
  } catch (const AutomationError& error) {
    // The handler covers the re-read too: an error there, after the commit,
    // still ends in a report and False, never in an error for the host.
    // Filter keeps what it held when the error struck.
    if (!scope_ends_level && links_.connection()) links_.connection()->Rollback();
    messages_.ReportError(error, kMbInformation);
    return false;
  }
  return deleted;
}

// Nested inside Delete's transaction: its commit becomes final only with the
// outer one. It always ends its own level, also on the error path.
bool Invoice::ResetInventory(const std::u16string& invoice_no) {
  const std::vector<Variant> values{Variant::String16(invoice_no)};
  bool reset = false;
  bool scope_ends_level = false;
  try {
    data::HostConnection& connection = links_.Conn();
    data::Transaction transaction(connection);
    scope_ends_level = true;
    if (data::RunStoredQuery(connection, "v_Invoice_Delete_Reset_Inv_Qty", values) &&
        data::RunStoredQuery(connection, "v_Invoice_Delete_Reset_Inv_Qty_LS", values)) {
      reset = true;
      transaction.Commit();
    }
  } catch (const AutomationError& error) {
    if (!scope_ends_level && links_.connection()) links_.connection()->Rollback();
    messages_.ReportError(error, kMbInformation);
    reset = false;
  }
  Ui().DoEvents();
  return reset;
}

bool Invoice::ResetOrderStatus(const std::u16string& invoice_no) {
  const std::vector<Variant> values{Variant::String16(invoice_no)};
  bool reset = data::RunStoredQuery(links_.Conn(), "v_Invoice_Delete_Reset_Status", values);
  Ui().DoEvents();
  return reset;
}

bool Invoice::DeleteByFilter() {
  return DeleteHeaders(selection_.filter.utf8(), header_.invoice_no.value());
}

// Only the two keyed selections may delete. Any other filter would give an
// empty clause and empty the whole header table, so it is refused.
bool Invoice::DeleteHeaders(const std::string& filter, const std::u16string& invoice_no) {
  const std::string clause = FilterClause(filter, invoice_no);
  if (clause.empty()) {
    RaiseError(kErrInvalidProcedureCall,
               "DeleteByFilter: Filter \"" + filter +
                   "\" selects every invoice header; set Filter to INVOICE_NUMBER or EXPORT. "
                   "Nothing was deleted.");
  }
  return links_.Conn().Execute(std::string("DELETE FROM ") + names::kHeaderTable + clause);
}

void Invoice::LogDeletedInvoice() {
  auto text = [](const automation::TextProperty& p) { return Variant::String16(p.value()); };
  links_.Conn().Execute("INSERT INTO Invoice_Delete (Invoice_No, Invoice_Date, UserID) VALUES (" +
                        std::to_string(data::Field2Long(text(header_.invoice_no))) + ", " +
                        data::Field2SqlDate(text(header_.invoice_date)) + ", " +
                        data::Field2SqlText(text(settings_.user_id)) + ")");
}

}  // namespace tarvik::invoice
