// `tarvik edit N [--ship-date D ...] [--json]`: changes the header fields
// given, through the Invoice's Save in edit mode; the others stay.
#include <array>
#include <optional>
#include <ostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"

namespace tarvik::host {
namespace {

constexpr std::int32_t kTmEdit = 2;

struct EditField {
  const char* option;
  const char* member;
  ValueKind kind;
  const char* help;
};

constexpr std::array<EditField, 9> kEditFields = {{
    {"--ship-date", "ShipDate", ValueKind::kDate,
     "Ship date (m/d/yyyy or yyyy-m-d; \"\" clears it)"},
    {"--bill-to", "BillTo", ValueKind::kText, "Bill-to text (\"\" clears it)"},
    {"--freight", "FreightAmount", ValueKind::kNumber, "Freight amount"},
    {"--other-charge", "OtherCharge", ValueKind::kNumber, "Other charge"},
    {"--extra1", "Extra1", ValueKind::kText, "First extra text (\"\" clears it)"},
    {"--extra2", "Extra2", ValueKind::kText, "Second extra text (\"\" clears it)"},
    {"--paid", "Paid", ValueKind::kNumber, "Amount paid"},
    {"--export-flag", "Export_Flag", ValueKind::kByte, "Export flag, 0 to 255 (1 = to export)"},
    {"--export-date", "Export_Date", ValueKind::kDate,
     "Date the invoice was exported (\"\" clears it)"},
}};

class EditCommand : public Command {
 public:
  explicit EditCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "edit"; }
  std::string_view summary() const override {
    return "Change header fields of an invoice; only given ones change";
  }
  void AddOptions(CLI::App& command) override {
    AddNumberArgument(command, number_);
    for (std::size_t i = 0; i < kEditFields.size(); ++i) {
      const ValueKind kind = kEditFields[i].kind;
      command.add_option(kEditFields[i].option, edits_[i], kEditFields[i].help)
          ->check(CLI::Validator([kind](std::string& text) { return CheckValue(kind, text); },
                                 kind == ValueKind::kText ? "TEXT" : "VALUE"));
    }
    AddJsonFlag(command, json_);
  }
  bool Writes() const override { return true; }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      number_ = CanonicalNumber(number_);
      return Edit(out);
    });
  }

 private:
  int Edit(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kWrite);
    LoadInvoice(invoice, number_);
    for (std::size_t i = 0; i < kEditFields.size(); ++i) {
      if (edits_[i]) {
        invoice.Let(kEditFields[i].member, PropertyValue(kEditFields[i].kind, *edits_[i]));
      }
    }
    invoice.Let("TransactionMode", Variant::Long(kTmEdit));
    invoice.Let("ShowMessageBox", Variant::Boolean(false));
    if (!invoice.Succeeds("Save")) {
      throw InvoiceFailed(FailureText(invoice, "Invoice " + number_ + " was not saved."));
    }
    // Save re-reads the invoice, so this is what the database now holds.
    const Header header = ReadHeader(invoice);
    if (json_) {
      out << nlohmann::ordered_json{{"ok", true}, {"invoice", HeaderJson(header)}}.dump(2) << "\n";
    } else {
      out << "Invoice " << number_ << " saved.\n";
      WriteHeader(out, header);
    }
    return 0;
  }

  const HostContext& context_;
  std::string number_;
  std::array<std::optional<std::string>, kEditFields.size()> edits_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeEditCommand(const HostContext& context) {
  return std::make_unique<EditCommand>(context);
}

}  // namespace tarvik::host
