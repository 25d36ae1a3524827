#include "host/backorder_command.h"

#include <ostream>
#include <stdexcept>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "host/command_failure.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/terminal_ui.h"

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
  outcome.orders = BackOrdersAfter(c, last_order_key);
  return outcome;
}

std::int64_t OpenBackOrderLines(const std::string& database, std::int32_t invoice_no) {
  auto c = OpenForReading(database);
  return c->OpenStoredQuery("v_BO_Detail", {Variant::String(std::to_string(invoice_no))})
      ->RowCount();
}

struct BackOrderCommand::State {
  const std::string& database;
  CLI::App* command = nullptr;
  std::string number;
  bool json = false;
};

BackOrderCommand::BackOrderCommand(CLI::App& app, const std::string& database)
    : state_(std::make_unique<State>(State{database})) {
  State& s = *state_;
  s.command = app.add_subcommand(
      "backorder", "Turn the lines of an invoice not invoiced in full into new orders (asks)");
  s.command->add_option("N", s.number, "Invoice number")
      ->required()
      ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
  s.command->add_flag("--json", s.json, "Write one JSON document instead of tables");
}

BackOrderCommand::~BackOrderCommand() = default;

bool BackOrderCommand::parsed() const { return state_->command->parsed(); }

int BackOrderCommand::Run(std::ostream& out, std::ostream& err, ProgressLine& progress) {
  State& s = *state_;
  return RunReportingFailure(out, err, s.json, [&] {
    const std::int32_t number = InvoiceNumberOf(s.number);
    progress.Begin("Back-ordering invoice " + std::to_string(number));
    const BackOrderOutcome outcome = BackOrderInvoice(s.database, number);
    progress.Clear();
    if (!outcome.created) {
      return Fail(out, err, s.json, 0,
                  "No back order was created for invoice " + std::to_string(number) + ".");
    }
    if (s.json) {
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
  });
}

}  // namespace tarvik::host
