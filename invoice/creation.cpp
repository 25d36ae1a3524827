// Save and invoice creation: one invoice per order or one per call, every
// posting of the call in one transaction, inventory relieved per invoice
// after the commit.
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "data/deferred_results.h"
#include "data/field_conversion.h"
#include "data/transaction.h"
#include "invoice/invoice.h"
#include "platform/bstr.h"
#include "platform/collection.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {

// The invoice numbers one AddNew created, in order. In order-number mode
// they run first, n + 1, n + 2 ... (n the first one's value), so a run is
// kept as its first text and a count: memory stays flat however many
// orders one call invoices.
class Invoice::CreatedNumbers {
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

bool Invoice::Save() {
  const TransMode mode = settings_.transaction_mode;
  const bool adding = mode == tmAdd;
  if (adding && header_.invoice_by == ibOrderNumber && !LoadOrderKeys()) return false;

  bool saved = false;
  if (adding) {
    saved = AddNew();
  } else if (mode == tmEdit) {
    saved = UpdateHeader();
  }
  // AddNew reports its own errors and UpdateHeader lets them travel on, so
  // no error is pending when a false answer arrives here.
  if (!saved) return false;
  Ui().DoEvents();

  if (adding && !UpdateOrderStatus()) {
    messages_.Report("Status of the Order Header could not be saved.", kMbOk | kMbInformation,
                     Ui().AppTitle(), "Order Header status could not be saved.");
  }

  const std::u16string saved_number = header_.invoice_no.value();
  Find();
  const std::string criteria =
      "invoice_no = " + std::to_string(data::Field2Long(Variant::String16(saved_number)));
  if (links_.browse().FindFirst(Variant::String(criteria))) LoadFields();

  if (adding) RunAutoBackOrder(header_.invoice_no.value());
  return true;
}

bool Invoice::AddNew() {
  CreatedNumbers created;
  // The handler ends one transaction level whatever the phase: the scope
  // does it while it holds the creation's level (a failed commit included),
  // the handler itself when the level could not be opened and after the
  // commit.
  bool scope_rolls_back = false;
  try {
    data::Transaction transaction(links_.Conn());
    scope_rolls_back = true;
    if (!CreateInvoices(created)) return false;
    transaction.Commit();
    scope_rolls_back = false;
    Ui().DoEvents();
    return RelieveOrUndo(created);
  } catch (const AutomationError& error) {
    if (!scope_rolls_back && links_.connection()) links_.connection()->Rollback();
    messages_.ReportError(error, kMbExclamation);
    return false;
  }
}

// True when at least one invoice completed its header, detail and line
// status. InvoiceNo advances by one per order, also past a failed one.
// The postings of an invoice need no answer of their own: they go to the
// server with the next header, whose rows-affected check waits for both,
// or with the wait at the end. An error of theirs that arrives then is
// theirs: InvoiceNo and OrderKey go back to their invoice's, as when the
// posting raised it itself.
bool Invoice::CreateInvoices(CreatedNumbers& created) {
  data::DeferredResults deferred(links_.Conn());
  std::u16string number = header_.invoice_no.value();
  if (header_.invoice_by != ibOrderNumber) {
    if (!InsertHeader(number) || !CreateInvoiceDetail(number) || !UpdateLineStatus()) return false;
    deferred.Settle();
    created.Add(number);
    return true;
  }
  if (!CheckPartialPicking()) return false;
  struct Unanswered {
    std::u16string number;
    LONG order_key;
  };
  std::optional<Unanswered> unanswered;  // the invoice whose postings wait for the server
  try {
    // A failure of the first order ends the loop; a later one uses up its
    // number and the loop goes on.
    bool succeeded = false;
    bool go_on = false;
    bool keys_exhausted = false;
    do {
      const std::int32_t n = data::Field2Long(Variant::String16(number));
      if (!NextOrderKey(keys_exhausted)) break;
      const bool added = InsertHeader(number);
      unanswered.reset();  // answered with the header
      if (added) unanswered = Unanswered{number, selection_.order_key};
      if (added && CreateInvoiceDetail(number) && UpdateLineStatus()) {
        go_on = true;
        succeeded = true;
      }
      created.Add(number);
      if (n == std::numeric_limits<std::int32_t>::max()) {
        deferred.Settle();
        RaiseError(kErrOverflow);
      }
      number = Utf16(std::to_string(n + 1));
      header_.invoice_no.set(number);  // the host sees the number after the last one used
    } while (go_on);
    deferred.Settle();
    return succeeded;
  } catch (const data::DeferredError&) {
    if (unanswered) {
      header_.invoice_no.set(unanswered->number);
      selection_.order_key = unanswered->order_key;
    }
    throw;
  }
}

// After the commit: each invoice's inventory relieved in turn; one whose
// relief fails has its order status reset and its header deleted.
// InvoiceNo ends at the last number.
bool Invoice::RelieveOrUndo(const CreatedNumbers& created) {
  bool relieved_any = false;
  created.ForEach([&](const std::u16string& number) {
    header_.invoice_no.set(number);
    if (RelieveInventory(number)) {
      relieved_any = true;
    } else if (ResetOrderStatus(number)) {
      // Filter shows the keyword while the delete runs: a failing delete
      // leaves it so for the host.
      selection_.filter.set_utf8("INVOICE_NUMBER");
      DeleteHeaders("INVOICE_NUMBER", number);
      selection_.filter.clear();
    }
  });
  return relieved_any;
}

bool Invoice::LoadOrderKeys() {
  ComPtr<Collection> params = NewCollection();
  params->Add(Variant::String16(selection_.begin_order.value()));
  params->Add(Variant::String16(selection_.end_order.value()));
  data::DataRecordset& keys = links_.order_keys();
  keys.SetConnection(links_.connection());
  keys.SetParameters(params);
  keys.SetQueryDefName("v_Order_Keys");
  const bool found = keys.OpenRecordset(std::string(), -1, -1, -1);
  if (!found) keys.CloseRecordset();
  selection_.record_count = keys.RecordCount();
  return found;
}

bool Invoice::NextOrderKey(bool& exhausted) {
  if (exhausted) return false;
  data::DataRecordset& keys = links_.order_keys();
  selection_.order_key = keys.ReadLong(0);
  exhausted = !keys.MoveNext();
  return true;
}

}  // namespace tarvik::invoice
