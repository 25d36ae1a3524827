// `tarvik delete N [--user U] [--yes] [--json]`: deletes an invoice through
// the Invoice object, which puts back stock and order status and asks
// first; --yes answers that question. An exported invoice is refused.
#include <ostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/output/command_failure.h"

namespace tarvik::host {
namespace {

class DeleteCommand : public Command {
 public:
  explicit DeleteCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "delete"; }
  std::string_view summary() const override {
    return "Delete an invoice, putting back stock and order status (asks first)";
  }
  void AddOptions(CLI::App& command) override {
    AddNumberArgument(command, number_);
    AddConfirmOptions(command, user_, yes_);
    AddJsonFlag(command, json_);
  }
  bool Writes() const override { return true; }
  std::unique_ptr<UiServices> MakeUi(const HostContext& context) override {
    return yes_ ? AnsweringYes() : Command::MakeUi(context);
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      number_ = CanonicalNumber(number_);
      return Delete(out);
    });
  }

 private:
  int Delete(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kWrite);
    // Loading first refuses an unknown number before anything is asked, and
    // gives the deletion log the invoice's own date.
    LoadInvoice(invoice, number_);
    // Once sent, an invoice stays in the customer's books: it is cancelled by
    // a credit note, never deleted.
    if (const std::string exported = invoice.GetText("Export_Date"); !exported.empty()) {
      throw InvoiceFailed("Invoice " + number_ + " was exported on " + exported +
                          " and is not deleted; cancel it with a credit note: tarvik credit " + number_);
    }
    invoice.Let("UserID", Variant::String(user_));
    invoice.Let("ShowMessageBox", Variant::Boolean(false));
    if (!invoice.Succeeds("Delete")) {
      throw InvoiceFailed(WithUnaskedReason(FailureText(invoice, "Invoice " + number_ + " was not deleted."),
                                            yes_, context_, "delete"));
    }
    if (json_) {
      out << nlohmann::ordered_json{{"ok", true}, {"invoice_no", std::stoll(number_)}, {"deleted", true}}
                 .dump(2)
          << "\n";
    } else {
      out << "Invoice " << number_ << " deleted.\n";
    }
    return 0;
  }

  const HostContext& context_;
  std::string number_;
  std::string user_;
  bool yes_ = false;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeDeleteCommand(const HostContext& context) {
  return std::make_unique<DeleteCommand>(context);
}

}  // namespace tarvik::host
