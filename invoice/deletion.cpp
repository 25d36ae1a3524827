// Invoice deletion: the confirmation, the inventory and status resets, the
// header DELETE and the deletion log, all in one transaction on the host's
// connection.
#include <string>
#include <vector>

#include "data/field_conversion.h"
#include "data/stored_query.h"
#include "invoice/invoice.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {
namespace {

constexpr int kConfirmStyle = kMbYesNo | kMbExclamation | kMbDefaultButton2;  // 308

}  // namespace

bool Invoice::Delete() {
  const std::string question =
      "Are you sure you want to delete Invoice '" + invoice_no_.utf8() + "'?";
  if (Ui().MessageBox(question, kConfirmStyle, "Delete Records") != kIdYes) return false;

  bool deleted = false;
  try {
    data::HostConnection& connection = Conn();
    connection.BeginTrans();
    if (ResetInventory() && ResetOrderStatus()) {
      filter_.set_utf8("INVOICE_NUMBER");
      deleted = DeleteByFilter();
      if (connection.RecordsAffected() > 0) {
        deleted = true;
        filter_.clear();
      }
      if (deleted) LogDeletedInvoice();
    }
    if (deleted) {
      connection.CommitTrans();
    } else {
      connection.Rollback();
    }
    filter_.clear();
    Find();
  } catch (const AutomationError& error) {
    // The handler covers the re-read too: an error there, after the commit,
    // still ends in a report and False, never in an error for the host.
    // Filter keeps what it held when the error struck.
    if (connection_) connection_->Rollback();
    ReportError(error, kMbInformation);
    return false;
  }
  return deleted;
}

// Nested inside Delete's transaction: its commit becomes final only with the
// outer one. It always ends its own level, also on the error path.
bool Invoice::ResetInventory() {
  const std::vector<Variant> values{Variant::String16(invoice_no_.value())};
  bool reset = false;
  try {
    data::HostConnection& connection = Conn();
    connection.BeginTrans();
    if (data::RunStoredQuery(connection, "v_Invoice_Delete_Reset_Inv_Qty", values) &&
        data::RunStoredQuery(connection, "v_Invoice_Delete_Reset_Inv_Qty_LS", values)) {
      reset = true;
      connection.CommitTrans();
    } else {
      connection.Rollback();
    }
  } catch (const AutomationError& error) {
    if (connection_) connection_->Rollback();
    ReportError(error, kMbInformation);
    reset = false;
  }
  Ui().DoEvents();
  return reset;
}

bool Invoice::ResetOrderStatus() {
  const std::vector<Variant> values{Variant::String16(invoice_no_.value())};
  bool reset = data::RunStoredQuery(Conn(), "v_Invoice_Delete_Reset_Status", values);
  Ui().DoEvents();
  return reset;
}

// Only the two keyed selections may delete. Any other Filter would give an
// empty clause and empty the whole header table, so it is refused.
bool Invoice::DeleteByFilter() {
  const std::string clause = ExportFilterText();
  if (clause.empty()) {
    RaiseError(kErrInvalidProcedureCall,
               "DeleteByFilter: Filter \"" + filter_.utf8() +
                   "\" selects every invoice header; set Filter to INVOICE_NUMBER or EXPORT. "
                   "Nothing was deleted.");
  }
  return Conn().Execute("DELETE FROM " + header_table_ + clause);
}

void Invoice::LogDeletedInvoice() {
  auto text = [](const TextProperty& p) { return Variant::String16(p.value()); };
  Conn().Execute("INSERT INTO Invoice_Delete (Invoice_No, Invoice_Date, UserID) VALUES (" +
                 std::to_string(data::Field2Long(text(invoice_no_))) + ", " +
                 data::Field2SqlDate(text(invoice_date_)) + ", " +
                 data::Field2SqlText(text(user_id_)) + ")");
}

}  // namespace tarvik::invoice
