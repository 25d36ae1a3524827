#include "host/commands/print.h"

#include <filesystem>
#include <ostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "host/server_library.h"
#include "platform/collection.h"
#include "platform/error.h"

namespace tarvik::host {
namespace fs = std::filesystem;

std::string ShippedReportDir() {
  const fs::path exe = ExecutableDir();
  for (const fs::path& dir : {exe / "reports", exe.parent_path() / "reports"}) {
    std::error_code ec;
    if (fs::is_regular_file(dir / "invoice.layout", ec)) return dir.lexically_normal().string();
  }
  return {};
}

PrintOutcome PrintOneInvoice(const std::string& database, const PrintRequest& request) {
  InvoiceSession invoice(database, Access::kWrite);
  ComPtr<Collection> formulas = NewCollection();
  const std::string out = request.out.empty() ? "invoice-" + request.invoice_no + ".pdf" : request.out;
  formulas->Add(Variant::String(fs::absolute(out).lexically_normal().string()),
                Variant::String("OutputFile"));
  if (request.replace) formulas->Add(Variant::Boolean(true), Variant::String("ReplaceOutput"));
  if (!request.printer.empty()) {
    formulas->Add(Variant::String(request.printer), Variant::String("Printer"));
  }
  invoice.Let("InvoiceNo", Variant::String(request.invoice_no));
  invoice.Set("ReportFormula", Variant::Dispatch(formulas.get()));
  invoice.Let("InvoiceReport", Variant::String("invoice.layout"));
  invoice.Let("ReportPath", Variant::String(ShippedReportDir()));
  invoice.Let("ShowMessageBox", Variant::Boolean(false));
  invoice.Let("Generate_Only", Variant::Boolean(request.generate_only));

  PrintOutcome outcome;
  outcome.printed = invoice.Succeeds("PrintInvoice");
  if (!outcome.printed) {
    outcome.message = invoice.GetText("InfoMsg");
    if (outcome.message.empty()) outcome.message = "Invoice " + request.invoice_no + " was not printed.";
    return outcome;
  }
  if (!request.generate_only) {
    try {
      outcome.file = formulas->Item(Variant::String("PrintedFile")).ToString();
    } catch (const AutomationError&) {
      outcome.printed = false;
      outcome.message = "The report component named no printed file.";
    }
  }
  return outcome;
}

namespace {

class PrintCommand : public Command {
 public:
  explicit PrintCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "print"; }
  std::string_view summary() const override {
    return "Print an invoice to a PDF file (or a CUPS printer)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("N", request_.invoice_no, "Invoice number")
        ->required()
        ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
    command.add_option("--out", request_.out, "PDF file to write (default: invoice-N.pdf)");
    command.add_flag("--force", request_.replace, "Replace the PDF file if it exists");
    command.add_option("--printer", request_.printer, "CUPS queue to send the PDF to");
    command.add_flag("--generate-only", request_.generate_only,
                     "Only fill the report tables; write no file");
    command.add_flag("--json", json_, "Write one JSON document instead of the file name");
  }
  bool Writes() const override { return true; }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      request_.invoice_no = std::to_string(std::stoll(request_.invoice_no));
      // An unknown number is named as the other commands name it, before
      // the database is opened for writing.
      if (!InvoiceOnFile(context_.database, request_.invoice_no)) {
        return Fail(out, err, json_, 0, "Invoice " + request_.invoice_no + " not found.");
      }
      const PrintOutcome outcome = PrintInvoiceReportingAccess(context_.database, request_);
      if (!outcome.printed) {
        Fail(out, err, json_, 0, outcome.message);
        return outcome.no_write_access ? kExitUnavailable : kExitRefused;
      }
      if (json_) {
        nlohmann::ordered_json doc{{"ok", true}, {"invoice_no", std::stoll(request_.invoice_no)}};
        if (request_.generate_only) {
          doc["generated_only"] = true;
        } else {
          doc["file"] = outcome.file;
        }
        out << doc.dump(2) << "\n";
      } else if (request_.generate_only) {
        out << "Report tables filled for invoice " << request_.invoice_no << ".\n";
      } else {
        out << outcome.file << "\n";
      }
      return 0;
    });
  }

 private:
  static bool InvoiceOnFile(const std::string& database, const std::string& number) {
    auto c = OpenForReading(database);
    return c->QueryWith("SELECT invoice_no FROM Invoice_Header WHERE invoice_no = ?1",
                        {Variant::Long(static_cast<std::int32_t>(std::stoll(number)))})
        ->Seek(0);
  }

  const HostContext& context_;
  PrintRequest request_;
  bool json_ = false;
};

}  // namespace

PrintOutcome PrintInvoiceReportingAccess(const std::string& database, const PrintRequest& request) {
  try {
    return PrintOneInvoice(database, request);
  } catch (const NoWriteAccess& e) {
    // Printing is not only reading: the report is filled from tables in the books.
    PrintOutcome outcome;
    outcome.no_write_access = true;
    outcome.message = "printing needs write access to " + e.database +
                      " (it fills the report tables in the database first): " + e.reason;
    return outcome;
  }
}

std::unique_ptr<Command> MakePrintCommand(const HostContext& context) {
  return std::make_unique<PrintCommand>(context);
}

}  // namespace tarvik::host
