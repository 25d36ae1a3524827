// Order and inventory postings: the stored-query families chosen by the
// grouping, and the inventory relief pair in a transaction of its own.
#include <array>
#include <string>
#include <vector>

#include "data/deferred_results.h"
#include "data/stored_query.h"
#include "data/transaction.h"
#include "invoice/invoice.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {
namespace {

// Which selection properties a grouping passes, in parameter order.
enum Passed : unsigned { kOrderKey = 1, kCustId = 2, kShipTo = 4, kOrderRange = 8 };

struct QueryFamily {
  const char* detail;
  const char* line_status;
  const char* order_status;
  unsigned selection;
};

// Indexed by InvoiceBy. The customer-order line status query is spelt with
// a capital B in the database; it is passed exactly so.
constexpr std::array<QueryFamily, 4> kFamilies{{
    {"v_InvoiceDet_byOrdPack", "v_Invoice_Up_LineStat_byOrdPack",
     "v_Invoice_Up_OrderStat_byOrdPack", kOrderKey},
    {"v_InvoiceDet_byShipPack", "v_Invoice_Up_LineStat_byShipPack",
     "v_Invoice_Up_OrderStat_byShipPack", kCustId | kShipTo},
    {"v_InvoiceDet_byCustPack", "v_Invoice_Up_LineStat_byCustPack",
     "v_Invoice_Up_OrderStat_byCustPack", kCustId},
    {"v_InvoiceDet_byCustOrdPack", "v_Invoice_Up_LineStat_ByCustOrdPack",
     "v_Invoice_Up_OrderStat_byCustOrdPack", kCustId | kOrderRange},
}};

const QueryFamily* FamilyFor(InvoiceBy by) {
  const auto index = static_cast<std::int32_t>(by);
  if (index < 0 || index >= static_cast<std::int32_t>(kFamilies.size())) return nullptr;
  return &kFamilies[static_cast<std::size_t>(index)];
}

}  // namespace

enum class Invoice::Posting : int { kDetail, kLineStatus, kOrderStatus };

// One routine for the three families. A grouping outside the table has no
// query name: the run then fails with the catalog's item-not-found error.
bool Invoice::RunPosting(Posting posting, const std::u16string& invoice_no) {
  const QueryFamily* family = FamilyFor(header_.invoice_by);
  std::string name;
  std::vector<Variant> values;
  if (family) {
    name = posting == Posting::kDetail       ? family->detail
           : posting == Posting::kLineStatus ? family->line_status
                                             : family->order_status;
    auto text = [](const automation::TextProperty& p) { return Variant::String16(p.value()); };
    if (family->selection & kOrderKey) values.push_back(Variant::Long(selection_.order_key));
    if (family->selection & kCustId) values.push_back(text(selection_.cust_id));
    if (family->selection & kShipTo) values.push_back(text(selection_.ship_to));
    if (family->selection & kOrderRange) {
      values.push_back(text(selection_.begin_order));
      values.push_back(text(selection_.end_order));
    }
    if (posting == Posting::kDetail) values.push_back(Variant::String16(invoice_no));
  }
  return data::RunStoredQuery(links_.Conn(), name, values);
}

bool Invoice::CreateInvoiceDetail(const std::u16string& invoice_no) {
  bool ok = RunPosting(Posting::kDetail, invoice_no);
  Ui().DoEvents();
  return ok;
}

bool Invoice::UpdateLineStatus() {
  bool ok = RunPosting(Posting::kLineStatus, std::u16string());
  Ui().DoEvents();
  return ok;
}

bool Invoice::UpdateOrderStatus() { return RunPosting(Posting::kOrderStatus, std::u16string()); }

// The pair in a transaction of its own. Its beginning is outside the
// handler: an error there travels on to the caller.
bool Invoice::RelieveInventory(const std::u16string& invoice_no) {
  Relief relief = StartRelief(invoice_no);
  return FinishRelief(relief);
}

// An error is kept for FinishRelief, so that boxes come in the order of the
// invoices even when the next relief is sent before this one is answered.
Invoice::Relief Invoice::StartRelief(const std::u16string& invoice_no) {
  Relief relief{invoice_no};
  const std::vector<Variant> values{Variant::String16(invoice_no)};
  bool begun = false;
  try {
    data::Transaction transaction(links_.Conn());
    begun = true;
    data::HostConnection& connection = links_.Conn();
    // Both go to the server with the commit; an error of theirs comes from
    // it and undoes the whole relief.
    data::DeferredResults deferred(connection, data::DeferredResults::Undo::kWhole);
    if (data::RunStoredQuery(connection, "v_Invoice_Relieve_Inventory", values) &&
        data::RunStoredQuery(connection, "v_Invoice_Relieve_Inventory_LS", values)) {
      relief.commit = transaction.CommitAhead();
      relief.sent = true;
    }
  } catch (const AutomationError& error) {
    if (!begun) throw;
    relief.error = error;
  }
  return relief;
}

bool Invoice::FinishRelief(Relief& relief) {
  if (!relief.error) {
    try {
      relief.commit.Wait();
    } catch (const AutomationError& error) {
      relief.error = error;
    }
  }
  if (relief.error) messages_.ReportError(*relief.error, kMbInformation);
  Ui().DoEvents();
  return relief.sent && !relief.error;
}

}  // namespace tarvik::invoice
