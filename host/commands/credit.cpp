// `tarvik credit N [--user U] [--yes] [--json]`: cancels invoice N with a
// credit note. After the clerk confirms, the invoice's header and lines are
// copied under the next credit-note number and the component deletes the
// invoice as `tarvik delete` would (stock and order status put back, the
// deletion logged); copy and deletion are one transaction of the
// connection, so a failed deletion leaves no credit note behind.
#include <optional>
#include <ostream>

#include <CLI/CLI.hpp>

#include "data/result_set.h"
#include "data/transaction.h"
#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

// The credit note starts marked for export, as a new invoice is meant to be.
constexpr const char* kCopyHeader =
    "INSERT INTO Credit_Note_Header (credit_no, invoice_no, credit_date, invoice_date, ship_date, "
    "bill_to, freight, other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) "
    "SELECT ?1, invoice_no, ?2, invoice_date, ship_date, bill_to, freight, other_charge, invoice_by, "
    "extra1, extra2, paid, 1, NULL FROM Invoice_Header WHERE invoice_no = ?3";
constexpr const char* kCopyLines =
    "INSERT INTO Credit_Note_Detail (credit_no, order_key, line_no, item_number, site, quantity, "
    "unit_price, discount, amount) "
    "SELECT ?1, order_key, line_no, item_number, site, quantity, unit_price, discount, amount "
    "FROM Invoice_Detail WHERE invoice_no = ?2";

std::int32_t NextCreditNumber(data::HostConnection& c) {
  auto rs = c.QueryWith("SELECT MAX(credit_no) FROM Credit_Note_Header", {});
  if (rs->Seek(0)) {
    if (const auto* n = std::get_if<std::int64_t>(&rs->Column(0))) return static_cast<std::int32_t>(*n + 1);
  }
  return 1;
}

// The clerk is asked before the books are locked for writing; the
// component's own deletion question that follows is then answered Yes.
class ConfirmFirst : public UiServices {
 public:
  explicit ConfirmFirst(std::unique_ptr<UiServices> inner) : inner_(std::move(inner)) {}
  bool Confirm(const std::string& question) {
    confirmed_ = inner_->MessageBox(question, kMbYesNo | kMbQuestion | kMbDefaultButton2, "Credit Note") == kIdYes;
    return confirmed_;
  }
  int MessageBox(const std::string& text, int style, const std::string& title) override {
    if (confirmed_ && (style & 0xF) == kMbYesNo) {
      confirmed_ = false;
      return kIdYes;
    }
    return inner_->MessageBox(text, style, title);
  }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    return inner_->InputBox(prompt, title, default_text);
  }
  void DoEvents() override { inner_->DoEvents(); }
  void SetMousePointer(int pointer) override { inner_->SetMousePointer(pointer); }
  std::string AppTitle() override { return inner_->AppTitle(); }

 private:
  std::unique_ptr<UiServices> inner_;
  bool confirmed_ = false;
};

class CreditCommand : public Command {
 public:
  explicit CreditCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "credit"; }
  std::string_view summary() const override {
    return "Cancel an invoice with a credit note (stock and order status put back; asks first)";
  }
  void AddOptions(CLI::App& command) override {
    AddNumberArgument(command, number_);
    AddConfirmOptions(command, user_, yes_);
    AddJsonFlag(command, json_);
  }
  bool Writes() const override { return true; }
  // The command keeps a view of the services, which outlive Run.
  std::unique_ptr<UiServices> MakeUi(const HostContext& context) override {
    auto ui = std::make_unique<ConfirmFirst>(yes_ ? AnsweringYes() : Command::MakeUi(context));
    ui_ = ui.get();
    return ui;
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      number_ = CanonicalNumber(number_);
      return Credit(out);
    });
  }

 private:
  int Credit(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kWrite);
    LoadInvoice(invoice, number_);
    data::HostConnection& c = invoice.connection();
    const Variant invoice_no = Variant::Long(InvoiceNumberOf(number_));

    const std::string question = "Make a credit note for Invoice '" + number_ +
                                 "'? The invoice is deleted; its stock and order status are put back.";
    if (!ui_ || !ui_->Confirm(question)) {
      throw InvoiceFailed(WithUnaskedReason("Invoice " + number_ + " was not credited.", yes_, context_, "credit"));
    }

    data::Transaction unit(c);
    const std::int32_t credit_no = NextCreditNumber(c);
    c.ExecuteWith(kCopyHeader, {Variant::Long(credit_no), Variant::Date(regional::Today()), invoice_no});
    c.ExecuteWith(kCopyLines, {Variant::Long(credit_no), invoice_no});
    invoice.Let("UserID", Variant::String(user_));
    invoice.Let("ShowMessageBox", Variant::Boolean(false));
    if (!invoice.Succeeds("Delete")) {
      throw InvoiceFailed(FailureText(invoice, "Invoice " + number_ + " was not deleted.") +
                          " No credit note was made.");
    }
    unit.Commit();

    if (json_) {
      out << nlohmann::ordered_json{{"ok", true}, {"credit_no", credit_no}, {"invoice_no", std::stoll(number_)},
                                    {"deleted", true}}
                 .dump(2)
          << "\n";
    } else {
      out << "Credit note " << credit_no << " made for invoice " << number_ << "; the invoice is deleted.\n";
    }
    return 0;
  }

  const HostContext& context_;
  std::string number_;
  std::string user_;
  bool yes_ = false;
  bool json_ = false;
  ConfirmFirst* ui_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeCreditCommand(const HostContext& context) {
  return std::make_unique<CreditCommand>(context);
}

}  // namespace tarvik::host
