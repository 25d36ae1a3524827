// The frame of invoice creation: the partial-picking refusal before anything
// is written, and the hand-over of the new invoice to a BackOrder afterwards.
#include <string>

#include "backorder/backorder.h"
#include "components/system_options.h"
#include "invoice/invoice.h"
#include "platform/bstr.h"
#include "platform/collection.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {

bool Invoice::CheckPartialPicking() {
  bool may_go_on = true;
  {
    ComPtr<components::SystemOptions> options = components::NewSystemOptions();
    options->SetConnection(links_.connection());
    options->Open();
    if (options->FindOption(Variant::String("Invoice No Partial Picking")) &&
        options->OptionValue() == "1") {
      ComPtr<data::DataRecordset> rs = data::NewDataRecordset();
      rs->SetConnection(links_.connection());
      ComPtr<Collection> params = NewCollection();
      params->Add(Variant::String16(selection_.begin_order.value()));
      params->Add(Variant::String16(selection_.end_order.value()));
      rs->SetParameters(params);
      rs->SetQueryDefName("v_Invoice_All_Picked");
      rs->OpenRecordset(std::string(), -1, -1, -1);
      if (rs->RecordCount() > 0) may_go_on = false;
    }
  }
  if (!may_go_on) {
    messages_.Report("You cannot create this invoice because some items are partially picked.",
                     kMbOk | kMbExclamation, "Invoice", "Items are partially picked.");
  }
  return may_go_on;
}

// Whatever goes wrong in the back order stays there: the invoices are made.
bool Invoice::RunAutoBackOrder(const std::u16string& invoice_no) {
  try {
    ComPtr<_BackOrder> back_order = backorder::NewBackOrder();
    if (Failed(back_order->putref_Connect(links_.connection().get()))) return false;
    Bstr number(invoice_no);
    if (Failed(back_order->put_Invoice_No(number.get()))) return false;
    VARIANT_BOOL answer = VARIANT_FALSE;
    if (Failed(back_order->BackOrder(&answer))) return false;
    return answer != VARIANT_FALSE;
  } catch (...) {
    return false;
  }
}

}  // namespace tarvik::invoice
