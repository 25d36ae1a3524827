// `tarvik next-number [--json]`: the number the next invoice gets.
#include <ostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/output/command_failure.h"

namespace tarvik::host {
namespace {

class NextNumberCommand : public Command {
 public:
  explicit NextNumberCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "next-number"; }
  std::string_view summary() const override { return "Print the number the next invoice gets"; }
  void AddOptions(CLI::App& command) override { AddJsonFlag(command, json_); }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      InvoiceSession invoice(context_.database, Access::kRead);
      const std::string next = invoice.Call("Get_Next_Invoice_No").ToString();
      if (next.empty()) throw InvoiceFailed("The next invoice number could not be read.");
      if (json_) {
        out << nlohmann::ordered_json{{"ok", true}, {"next_invoice_no", std::stoll(next)}}.dump(2) << "\n";
      } else {
        out << next << "\n";
      }
      return 0;
    });
  }

 private:
  const HostContext& context_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeNextNumberCommand(const HostContext& context) {
  return std::make_unique<NextNumberCommand>(context);
}

}  // namespace tarvik::host
