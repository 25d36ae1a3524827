// `tarvik backorder N`: hands invoice N to a new TarvikInvoice.BackOrder,
// whose BackOrder function offers to turn the lines not invoiced in full
// into new orders, asking a new order number per original order through the
// UI services. Reports the orders created.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/posting_readback.h"
#include "platform/ui_services.h"

namespace tarvik::host {

class ProgressLine;
class ProgressUi;

struct BackOrderOutcome {
  bool created = false;  // what BackOrder answered
  std::vector<BackOrderMade> orders;
};

// Runs the workflow for one invoice; std::runtime_error when there is no
// such invoice. Errors of the object travel on as AutomationError.
BackOrderOutcome BackOrderInvoice(const std::string& database, std::int32_t invoice_no);

// Number of detail lines of the invoice's orders still open to back-order,
// as the workflow itself would find them.
std::int64_t OpenBackOrderLines(const std::string& database, std::int32_t invoice_no);
std::int64_t OpenBackOrderLines(data::HostConnection& connection, std::int32_t invoice_no);

// The host's own words around the back-order dialogue (ProgressUi::SetNote):
// which invoice is asked about, a free order number beside the prompt's
// default (the original order's own number, which is always taken), and
// that a number is taken per customer and ship-to location.
class BackOrderNotes {
 public:
  explicit BackOrderNotes(std::string database) : database_(std::move(database)) {}
  // The invoice whose dialogue comes next; 0: the highest invoice from
  // `first` on (the one a Save hands to its own back order).
  void SetInvoice(std::int32_t number, std::int32_t first = 0) {
    invoice_ = number;
    first_ = first;
  }
  std::string operator()(const UiEvent& box);
  // On a terminal the number prompt offers the free number its note named,
  // so that Enter takes a number that is accepted.
  std::optional<std::string> Offer(const UiEvent& box) const;

 private:
  std::int32_t CurrentInvoice();
  std::string FreeOrderNumber();

  std::string database_;
  std::int32_t invoice_ = 0;
  std::int32_t first_ = 0;
  std::int64_t last_suggested_ = 0;
  std::string free_;  // the number the last prompt's note named
};

// Writes the notes before the boxes of `ui` and offers their free number on
// a terminal (create and backorder).
void AttachBackOrderNotes(ProgressUi& ui, const std::shared_ptr<BackOrderNotes>& notes);

// The lines each invoice of a run leaves open are offered for back order
// invoice by invoice: the component's Save offers only its last invoice.
// Runs BackOrder for every invoice in `numbers` with open lines; each
// dialogue is announced on err first. The search moves `progress`.
std::vector<BackOrderMade> BackOrderEach(const std::string& database,
                                         const std::vector<std::int32_t>& numbers,
                                         BackOrderNotes* notes, std::ostream& err,
                                         ProgressLine& progress);

}  // namespace tarvik::host
