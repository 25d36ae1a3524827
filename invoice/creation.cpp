// Save and invoice creation: one invoice per order or one per call, every
// posting of the call in one transaction, inventory relieved per invoice
// after the commit.
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "data/field_conversion.h"
#include "invoice/invoice.h"
#include "platform/bstr.h"
#include "platform/collection.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {
namespace {

// The invoice numbers one AddNew created, in order. In order-number mode
// they run first, n + 1, n + 2 ... (n the first one's value), so a run is
// kept as its first text and a count: memory stays flat however many
// orders one call invoices.
class CreatedNumbers {
 public:
  void Add(const std::u16string& text) {
    if (!runs_.empty() && runs_.back().start &&
        text == Utf16(std::to_string(*runs_.back().start + runs_.back().more + 1))) {
      ++runs_.back().more;
      return;
    }
    Run run{text, std::nullopt, 0};
    try {
      run.start = data::Field2Long(Variant::String16(text));
    } catch (const AutomationError&) {
      // Not a number: nothing can follow it in the same run.
    }
    runs_.push_back(std::move(run));
  }
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Run& run : runs_) {
      visit(run.first);
      for (std::int64_t i = 1; i <= run.more; ++i) visit(Utf16(std::to_string(*run.start + i)));
    }
  }

 private:
  struct Run {
    std::u16string first;
    std::optional<std::int64_t> start;  // the first one's value
    std::int64_t more = 0;              // numbers after it
  };
  std::vector<Run> runs_;
};

}  // namespace

bool Invoice::Save() {
  const bool adding = transaction_mode_ == tmAdd;
  if (adding && print_invoice_by_ == ibOrderNumber && !LoadOrderKeys()) return false;

  bool saved = false;
  if (adding) {
    saved = AddNew();
  } else if (transaction_mode_ == tmEdit) {
    saved = UpdateHeader();
  }
  // AddNew reports its own errors and UpdateHeader lets them travel on, so
  // no error is pending when a false answer arrives here.
  if (!saved) return false;
  Ui().DoEvents();

  if (adding && !UpdateOrderStatus()) {
    Report("Status of the Order Header could not be saved.", kMbOk | kMbInformation,
           Ui().AppTitle(), "Order Header status could not be saved.");
  }

  const TextProperty saved_number = invoice_no_;
  Find();
  const std::string criteria =
      "invoice_no = " + std::to_string(data::Field2Long(Variant::String16(saved_number.value())));
  if (browse_->FindFirst(Variant::String(criteria))) LoadFields();

  if (adding) RunAutoBackOrder();
  return true;
}

bool Invoice::AddNew() {
  CreatedNumbers created;
  bool relieved_any = false;
  try {
    data::HostConnection& connection = Conn();
    connection.BeginTrans();
    bool succeeded = false;
    if (print_invoice_by_ != ibOrderNumber) {
      if (AddHeader() && CreateInvoiceDetail() && UpdateLineStatus()) {
        created.Add(invoice_no_.value());
        succeeded = true;
      }
    } else if (CheckPartialPicking()) {
      // A failure of the first order ends the loop; a later one uses up its
      // number and the loop goes on.
      bool go_on = false;
      keys_exhausted_ = false;
      do {
        const std::int32_t number = data::Field2Long(Variant::String16(invoice_no_.value()));
        if (!NextOrderKey()) break;
        if (AddHeader() && CreateInvoiceDetail() && UpdateLineStatus()) {
          go_on = true;
          succeeded = true;
        }
        created.Add(invoice_no_.value());
        if (number == std::numeric_limits<std::int32_t>::max()) RaiseError(kErrOverflow);
        invoice_no_.set_utf8(std::to_string(number + 1));
      } while (go_on);
    }

    if (!succeeded) {
      connection.Rollback();
      return false;
    }
    connection.CommitTrans();
    Ui().DoEvents();
    created.ForEach([&](const std::u16string& number) {
      invoice_no_.set(number);
      if (RelieveInventory()) {
        relieved_any = true;
      } else if (ResetOrderStatus()) {
        filter_.set_utf8("INVOICE_NUMBER");
        DeleteByFilter();
        filter_.clear();
      }
    });
  } catch (const AutomationError& error) {
    if (connection_) connection_->Rollback();
    ReportError(error, kMbExclamation);
    return false;
  }
  return relieved_any;
}

bool Invoice::LoadOrderKeys() {
  ComPtr<Collection> params = NewCollection();
  params->Add(Variant::String16(begin_order_.value()));
  params->Add(Variant::String16(end_order_.value()));
  order_keys_->SetConnection(connection_);
  order_keys_->SetParameters(params);
  order_keys_->SetQueryDefName("v_Order_Keys");
  const bool found = order_keys_->OpenRecordset(std::string(), -1, -1, -1);
  if (!found) order_keys_->CloseRecordset();
  record_count_ = order_keys_->RecordCount();
  return found;
}

bool Invoice::NextOrderKey() {
  if (keys_exhausted_) return false;
  order_key_ = order_keys_->ReadLong(0);
  keys_exhausted_ = !order_keys_->MoveNext();
  return true;
}

}  // namespace tarvik::invoice
