// Save and invoice creation: one invoice per order or one per call, every
// posting of the call in one transaction, inventory relieved per invoice
// after the commit.
#include <algorithm>
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
//
// Where the connection queues, orders go ahead in windows that wait once:
// each window's headers and postings are queued under a savepoint without
// waiting for the headers' answers, which are then read together. A window
// in which a header added no row or anything failed is undone and taken
// again order by order, so the books, the boxes, InvoiceNo and OrderKey
// end as the published order of calls leaves them.
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
  // A failure of the first order ends the run; a later one uses up its
  // number and the run goes on.
  bool succeeded = false;
  bool go_on = false;
  bool keys_exhausted = false;
  auto advance = [&](std::int32_t n) {
    number = Utf16(std::to_string(n + 1));
    header_.invoice_no.set(number);  // the host sees the number after the last one used
  };
  // One order, its header answered before its postings run. False when the
  // run is over.
  auto one_order = [&]() {
    const std::int32_t n = data::Field2Long(Variant::String16(number));
    if (!NextOrderKey(keys_exhausted)) return false;
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
    advance(n);
    return go_on;
  };

  // Up to `limit` orders queued as if every header went in. Answers how
  // many orders it took and whether the run goes on; `kept` false when the
  // window was undone and is to be taken again order by order.
  // Windows start small and double up to the largest while they are kept:
  // a long run waits for the server a few times only, and a failure early
  // on, or after one, costs few orders taken again.
  constexpr int kFirstWindow = 32;
  constexpr int kLargestWindow = 256;
  int window = kFirstWindow;
  struct Window {
    int orders = 0;
    bool kept = false;
    bool more = false;
  };
  auto window_ahead = [&](int limit) {
    // What an order taken alone left queued is answered first, as its own.
    deferred.Settle();
    const std::u16string first_number = number;
    const bool exhausted_before = keys_exhausted, succeeded_before = succeeded, go_on_before = go_on;
    const LONG key_before = selection_.order_key;
    const CreatedNumbers created_before = created;
    Window w;
    std::vector<std::uint64_t> headers;
    bool all_added = true;
    try {
      data::Transaction savepoint(links_.Conn());
      // Any failure in the window undoes all of it.
      data::DeferredResults whole(links_.Conn(), data::DeferredResults::Undo::kWhole);
      w.more = true;
      while (w.orders < limit) {
        const std::int32_t n = data::Field2Long(Variant::String16(number));
        // The last number's overflow is raised order by order.
        if (n == std::numeric_limits<std::int32_t>::max()) break;
        if (!NextOrderKey(keys_exhausted)) {
          w.more = false;
          break;
        }
        ++w.orders;
        InsertHeader(number, false);
        headers.push_back(deferred.LastUnit());
        if (!CreateInvoiceDetail(number) || !UpdateLineStatus()) {
          all_added = false;  // a posting said no: taken order by order
          break;
        }
        created.Add(number);
        go_on = succeeded = true;
        advance(n);
      }
      deferred.Settle();
      for (std::uint64_t unit : headers) all_added = all_added && unit != 0 && deferred.Changed(unit) == 1;
      if (all_added) {
        savepoint.Commit();
        w.kept = true;
        return w;
      }
    } catch (const data::DeferredError&) {
      // Undone with the savepoint; the order-by-order pass meets it again.
    }
    number = first_number;
    header_.invoice_no.set(number);
    keys_exhausted = exhausted_before;
    succeeded = succeeded_before;
    go_on = go_on_before;
    selection_.order_key = key_before;
    created = created_before;
    for (int i = 0; i < w.orders; ++i) links_.order_keys().MovePrevious();
    return w;
  };

  try {
    if (!deferred.Queues()) {
      // Any error here ends AddNew, whose handler rolls the transaction
      // back: a stored query's statements need no savepoint of their own.
      data::DeferredResults whole(links_.Conn(), data::DeferredResults::Undo::kWhole);
      while (one_order()) {
      }
    } else {
      for (;;) {
        const int limit = window;
        const Window w = window_ahead(limit);
        if (w.kept) {
          window = std::min(2 * limit, kLargestWindow);
          if (w.more && w.orders == limit) continue;
          if (!w.more) break;
          // Stopped short of a full window: the next order goes alone.
          if (!one_order()) break;
          continue;
        }
        window = kFirstWindow;
        bool more = true;
        for (int i = 0; i < std::max(w.orders, 1) && more; ++i) more = one_order();
        if (!more) break;
      }
    }
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
//
// Where the connection sends a commit ahead, each relief goes to the server
// before the one before it is answered, so the server never waits for this
// side between two flushes. The reliefs are transactions of their own and
// touch no row another one's undoing does; what the host sees (boxes,
// InvoiceNo, the undoing) still comes invoice by invoice.
bool Invoice::RelieveOrUndo(const CreatedNumbers& created) {
  bool relieved_any = false;
  auto finish = [&](Relief& relief) {
    header_.invoice_no.set(relief.number);
    if (FinishRelief(relief)) {
      relieved_any = true;
    } else if (ResetOrderStatus(relief.number)) {
      // Filter shows the keyword while the delete runs: a failing delete
      // leaves it so for the host.
      selection_.filter.set_utf8("INVOICE_NUMBER");
      DeleteHeaders("INVOICE_NUMBER", relief.number);
      selection_.filter.clear();
    }
  };
  std::optional<Relief> waiting;  // sent ahead, finished once the next is sent
  created.ForEach([&](const std::u16string& number) {
    header_.invoice_no.set(number);
    std::optional<Relief> relief;
    try {
      relief.emplace(StartRelief(number));
    } catch (...) {
      if (waiting) finish(*waiting);
      header_.invoice_no.set(number);
      throw;
    }
    if (waiting) {
      finish(*waiting);
      waiting.reset();
    }
    if (relief->commit.ahead()) {
      waiting = std::move(relief);
    } else {
      finish(*relief);
    }
  });
  if (waiting) finish(*waiting);
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
