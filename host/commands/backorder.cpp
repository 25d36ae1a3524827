#include "host/commands/backorder.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <unordered_set>
#include <variant>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "data/transaction.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "host/ui/stop_signals.h"
#include "host/ui/terminal_ui.h"

namespace tarvik::host {
namespace {

bool InvoiceExists(data::HostConnection& c, std::int32_t number) {
  auto rs = c.QueryWith("SELECT invoice_no FROM Invoice_Header WHERE invoice_no = ?1",
                        {Variant::Long(number)});
  return rs->Seek(0);
}

// The component's own test: the option's value is exactly "1".
bool AutoBackOrderOn(const std::string& database) {
  auto c = OpenForReading(database);
  auto rs = c->QueryWith("SELECT option_value FROM System WHERE option_name = 'Auto Backorder'", {});
  return rs->Seek(0) && data::ValueToText(rs->Column(0)) == "1";
}

}  // namespace

BackOrderOutcome BackOrderInvoice(const std::string& database, std::int32_t invoice_no) {
  InvoiceSession back_order(database, Access::kWrite, kProgIdBackOrder);
  data::HostConnection& c = back_order.connection();
  if (!InvoiceExists(c, invoice_no)) {
    throw std::runtime_error("Invoice " + std::to_string(invoice_no) + " not found.");
  }
  const std::int64_t last_order_key = HighestOrderKey(c);
  back_order.Let("Invoice_No", Variant::String(std::to_string(invoice_no)));
  BackOrderOutcome outcome;
  outcome.created = back_order.Succeeds("BackOrder");
  // One transaction, so that the reads stream to their end (as create's).
  data::Transaction reading(c);
  outcome.orders = BackOrdersAfter(c, last_order_key, invoice_no, invoice_no);
  reading.Commit();
  return outcome;
}

std::int64_t OpenBackOrderLines(data::HostConnection& connection, std::int32_t invoice_no) {
  return connection.OpenStoredQuery("v_BO_Detail", {Variant::String(std::to_string(invoice_no))})->RowCount();
}

std::int64_t OpenBackOrderLines(const std::string& database, std::int32_t invoice_no) {
  return OpenBackOrderLines(*OpenForReading(database), invoice_no);
}

namespace {

// Which of `numbers` have an order with a line still open to
// back-order, as v_BO_Detail finds them, in one read over their range:
// asking each invoice of a long run in turn cost a query and a count each.
// A back order only closes lines of its own invoice's orders, so the
// answer holds while the run's back orders are made.
std::unordered_set<std::int32_t> WithOpenLines(data::HostConnection& c, const std::vector<std::int32_t>& numbers) {
  std::unordered_set<std::int32_t> open;
  if (numbers.empty()) return open;
  const auto [lo, hi] = std::minmax_element(numbers.begin(), numbers.end());
  data::Transaction reading(c);  // the rows stream to their end
  auto rs = c.QueryWith(
      "SELECT DISTINCT i.invoice_no FROM (SELECT DISTINCT invoice_no, order_key FROM Invoice_Detail "
      "WHERE invoice_no BETWEEN ?1 AND ?2) i WHERE EXISTS (SELECT 1 FROM Order_Detail d "
      "WHERE d.order_key = i.order_key AND d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered)",
      {Variant::Long(*lo), Variant::Long(*hi)});
  for (std::int64_t r = 0; rs->Seek(r); ++r) {
    if (const auto* n = std::get_if<std::int64_t>(&rs->Column(0))) open.insert(static_cast<std::int32_t>(*n));
  }
  rs.reset();
  reading.Commit();
  return open;
}

}  // namespace

std::int32_t BackOrderNotes::CurrentInvoice() {
  if (invoice_ != 0) return invoice_;
  auto c = OpenForReading(database_);
  auto rs = c->QueryWith("SELECT MAX(invoice_no) FROM Invoice_Header WHERE invoice_no >= ?1",
                         {Variant::Long(first_)});
  if (!rs->Seek(0)) return 0;
  const data::Value& v = rs->Column(0);
  return std::holds_alternative<std::int64_t>(v) ? static_cast<std::int32_t>(std::get<std::int64_t>(v))
                                                 : 0;
}

// One above the highest all-digit order number; the orders of the dialogue
// in progress are not committed yet, so earlier suggestions count too.
std::string BackOrderNotes::FreeOrderNumber() {
  auto c = OpenForReading(database_);
  auto rs = c->QueryWith("SELECT order_number FROM Order_Header", {});
  std::int64_t highest = 0;
  for (std::int64_t row = 0; rs->Seek(row); ++row) {
    const data::Value& v = rs->Column(0);
    std::string text;
    if (const auto* s = std::get_if<std::string>(&v)) text = *s;
    if (const auto* n = std::get_if<std::int64_t>(&v)) text = std::to_string(*n);
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    highest = std::max<std::int64_t>(highest, std::stoll(text));
  }
  last_suggested_ = std::max(highest, last_suggested_) + 1;
  return std::to_string(last_suggested_);
}

std::string BackOrderNotes::operator()(const UiEvent& box) {
  try {
    if (box.kind == UiEvent::kMessageBox && box.title == "Backorder Incomplete Line Items") {
      const std::int32_t number = CurrentInvoice();
      if (number == 0) return "";
      const std::int64_t open = OpenBackOrderLines(database_, number);
      return "tarvik: back order for invoice " + std::to_string(number) + ": " +
             std::to_string(open) + (open == 1 ? " line item" : " line items") +
             " not completely invoiced.\n";
    }
    if (box.kind == UiEvent::kMessageBox && box.title == "New Order Number") {
      return "tarvik: an order number is taken per customer and ship-to location; "
             "the same number may stand at another location of the customer.\n";
    }
    if (box.kind == UiEvent::kInputBox && box.title == "New Order Number") {
      free_.clear();  // a number that cannot be read is not offered
      free_ = FreeOrderNumber();
      return "tarvik: the suggested '" + box.default_text +
             "' is the original order's own number and is taken; " + free_ + " is free.\n";
    }
  } catch (const std::exception&) {
    // A note that cannot be read leaves the box as it is.
  }
  return "";
}

std::optional<std::string> BackOrderNotes::Offer(const UiEvent& box) const {
  if (box.kind != UiEvent::kInputBox || box.title != "New Order Number" || free_.empty()) return std::nullopt;
  return free_;
}

void AttachBackOrderNotes(ProgressUi& ui, const std::shared_ptr<BackOrderNotes>& notes) {
  ui.SetNote([notes](const UiEvent& box) { return (*notes)(box); });
  ui.SetTerminalOffer([notes](const UiEvent& box) { return notes->Offer(box); });
}

std::vector<BackOrderMade> BackOrderEach(const std::string& database,
                                         const std::vector<std::int32_t>& numbers,
                                         BackOrderNotes* notes, std::ostream& err,
                                         ProgressLine& progress) {
  std::vector<BackOrderMade> made;
  // One reading connection for the whole search: a run of thousands of
  // invoices would otherwise open the books thousands of times.
  auto reader = OpenForReading(database);
  progress.Begin("Looking for open lines (" + std::to_string(numbers.size()) + " invoices)",
                 static_cast<int>(numbers.size()));
  const std::unordered_set<std::int32_t> candidates = WithOpenLines(*reader, numbers);
  for (std::int32_t number : numbers) {
    if (StopRequested()) break;
    const std::int64_t open = candidates.contains(number) ? OpenBackOrderLines(*reader, number) : 0;
    progress.ItemDone();
    if (open == 0) continue;
    progress.Clear();
    if (notes) notes->SetInvoice(number);
    const BackOrderOutcome outcome = BackOrderInvoice(database, number);
    if (!outcome.created) err << "tarvik: no back order was created for invoice " << number << ".\n";
    made.insert(made.end(), outcome.orders.begin(), outcome.orders.end());
  }
  return made;
}

namespace {

class BackOrderCommand : public Command {
 public:
  explicit BackOrderCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "backorder"; }
  std::string_view summary() const override {
    return "Turn the lines of an invoice not invoiced in full into new orders (asks)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("N", number_, "Invoice number")
        ->required()
        ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
    command.add_flag("--json", json_, "Write one JSON document instead of tables");
  }
  bool Writes() const override { return true; }
  std::unique_ptr<UiServices> MakeUi(const HostContext& context) override {
    auto ui = std::make_unique<ProgressUi>(MakeEchoingCommandUi(context.answers), context.progress);
    notes_ = std::make_shared<BackOrderNotes>(context.database);
    AttachBackOrderNotes(*ui, notes_);
    return ui;
  }

  int Run(std::ostream& out, std::ostream& err) override {
    const int status = RunReportingFailure(out, err, json_, [&] { return BackOrder(out, err); });
    context_.progress.Clear();
    return status;
  }

 private:
  int BackOrder(std::ostream& out, std::ostream& err) {
    ProgressLine& progress = context_.progress;
    const std::int32_t number = InvoiceNumberOf(number_);
    const std::string text = std::to_string(number);
    // A database this user may not write is refused first, as by every
    // command that writes, whatever the invoice holds.
    OpenForWriting(context_.database);
    // Nothing to do is not a refusal: say so and end with 0.
    if (OpenBackOrderLines(context_.database, number) == 0) {
      if (!InvoiceExists(*OpenForReading(context_.database), number)) {
        return Fail(out, err, json_, 0, "Invoice " + text + " not found.");
      }
      if (json_) {
        out << nlohmann::ordered_json{{"ok", true}, {"invoice_no", number}, {"nothing_open", true},
                                      {"back_orders", nlohmann::ordered_json::array()}}
                   .dump(2)
            << "\n";
      } else {
        out << "Invoice " << text << " has no line items left to back-order.\n";
      }
      return 0;
    }
    if (!AutoBackOrderOn(context_.database)) {
      return Fail(out, err, json_, 0,
                  "Back orders are switched off: the option \"Auto Backorder\" is not \"1\" "
                  "(turn it on with: tarvik options \"Auto Backorder\" 1).");
    }
    if (notes_) notes_->SetInvoice(number);
    progress.Begin("Back-ordering invoice " + text);
    const BackOrderOutcome outcome = BackOrderInvoice(context_.database, number);
    progress.Clear();
    if (!outcome.created) {
      return Fail(out, err, json_, 0,
                  "No back order was created for invoice " + text + " (declined or cancelled).");
    }
    if (json_) {
      nlohmann::ordered_json doc;
      doc["ok"] = true;
      doc["invoice_no"] = number;
      doc["back_orders"] = BackOrdersJson(outcome.orders);
      out << doc.dump(2) << "\n";
      return 0;
    }
    const std::size_t n = outcome.orders.size();
    out << "Created " << n << (n == 1 ? " back order" : " back orders") << " for invoice "
        << number << ".\n";
    WriteBackOrders(out, outcome.orders);
    return 0;
  }

  const HostContext& context_;
  std::shared_ptr<BackOrderNotes> notes_;
  std::string number_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeBackOrderCommand(const HostContext& context) {
  return std::make_unique<BackOrderCommand>(context);
}

}  // namespace tarvik::host
