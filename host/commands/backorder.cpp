#include "host/commands/backorder.h"

#include <ostream>
#include <stdexcept>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "data/transaction.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "host/ui/terminal_ui.h"

namespace tarvik::host {
namespace {

bool InvoiceExists(data::HostConnection& c, std::int32_t number) {
  auto rs = c.QueryWith("SELECT invoice_no FROM Invoice_Header WHERE invoice_no = ?1",
                        {Variant::Long(number)});
  return rs->Seek(0);
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

std::int64_t OpenBackOrderLines(const std::string& database, std::int32_t invoice_no) {
  auto c = OpenForReading(database);
  return c->OpenStoredQuery("v_BO_Detail", {Variant::String(std::to_string(invoice_no))})
      ->RowCount();
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
    return std::make_unique<ProgressUi>(MakeEchoingCommandUi(context.answers), context.progress);
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
    progress.Begin("Back-ordering invoice " + std::to_string(number));
    const BackOrderOutcome outcome = BackOrderInvoice(context_.database, number);
    progress.Clear();
    if (!outcome.created) {
      return Fail(out, err, json_, 0,
                  "No back order was created for invoice " + std::to_string(number) + ".");
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
  std::string number_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeBackOrderCommand(const HostContext& context) {
  return std::make_unique<BackOrderCommand>(context);
}

}  // namespace tarvik::host
