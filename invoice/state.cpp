// The invoice's own state: the ReportFormula collection and ClearFields.
#include "invoice/invoice.h"
#include "platform/error.h"
#include "platform/late_bound.h"

namespace tarvik::invoice {

void Invoice::SetReportFormula(IDispatch* formula) {
  if (!formula) {
    print_.formulas = nullptr;
    return;
  }
  // Used late-bound only, so a host's own collection serves as well as ours.
  if (!HasMember(formula, "Count") || !HasMember(formula, "Item")) RaiseError(kErrTypeMismatch);
  print_.formulas = ComPtr<IDispatch>(formula);
}

// No invoice is current afterwards. Export_Flag, Export_Date, OrderKey,
// UserID, Filter, RecordCount, InfoMsg and the settings stay.
void Invoice::ClearFields() {
  header_.invoice_no.clear();
  header_.invoice_date.clear();
  header_.ship_date.clear();
  header_.bill_to.clear();
  header_.freight_amount.clear();
  header_.other_charge.clear();
  header_.invoice_by = ibOrderNumber;
  header_.extra1.clear();
  header_.extra2.clear();
  selection_.cust_id.clear();
  selection_.ship_to.clear();
  selection_.begin_order.clear();
  selection_.end_order.clear();
  header_.paid.clear();
}

}  // namespace tarvik::invoice
