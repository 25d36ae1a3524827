#include "host/commands/export.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "data/transaction.h"
#include "einvoice/credit_note_pdf.h"
#include "einvoice/facturx.h"
#include "einvoice/load.h"
#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/commands/print.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "host/output/file_set.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace fs = std::filesystem;
using einvoice::Format;

namespace {

constexpr std::int32_t kTmEdit = 2;

std::string DocumentName(bool credit_note, std::int64_t number) {
  return (credit_note ? "credit note " : "invoice ") + std::to_string(number);
}

// --- What to export ----------------------------------------------------------------

// The component's own "EXPORT" selection: marked for export, not yet exported.
std::vector<std::int64_t> InvoiceSelection(InvoiceSession& invoice) {
  std::vector<std::int64_t> numbers;
  invoice.Let("Filter", Variant::String("EXPORT"));
  if (invoice.Succeeds("OpenRecordset") && invoice.Succeeds("MoveFirst")) {
    do {
      numbers.push_back(std::stoll(invoice.GetText("InvoiceNo")));
    } while (invoice.Succeeds("MoveNext"));
  }
  return numbers;
}

// Credit notes are the host's own rows; the same rule picks them.
std::vector<std::int64_t> CreditNoteSelection(data::HostConnection& c) {
  std::vector<std::int64_t> numbers;
  auto rs = c.QueryWith(
      "SELECT credit_no FROM Credit_Note_Header WHERE export_flag = 1 AND export_date IS NULL "
      "ORDER BY credit_no",
      {});
  for (std::int64_t row = 0; rs->Seek(row); ++row) {
    if (const auto* n = std::get_if<std::int64_t>(&rs->Column(0))) numbers.push_back(*n);
  }
  return numbers;
}

std::vector<std::int64_t> WithoutRepeats(const std::vector<std::int64_t>& numbers) {
  std::vector<std::int64_t> once;
  std::set<std::int64_t> seen;
  for (std::int64_t n : numbers) {
    if (seen.insert(n).second) once.push_back(n);
  }
  return once;
}

// --- Loading and checking ------------------------------------------------------------

struct Loaded {
  std::int64_t number = 0;
  einvoice::Document document;
};

std::string BreachLine(bool credit_note, std::int64_t number, const einvoice::RuleBreach& breach) {
  std::string line = einvoice::DescribeBreaches({breach});
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return DocumentName(credit_note, number) + ": " + line;
}

std::vector<Loaded> LoadAndCheck(data::HostConnection& c, const ExportRequest& request,
                                 const std::vector<std::int64_t>& numbers) {
  const einvoice::Profile profile =
      request.format == Format::kXRechnung ? einvoice::Profile::kXRechnung : einvoice::Profile::kEn16931;
  std::vector<Loaded> loaded;
  std::vector<ExportRefused::Breach> breaches;
  for (std::int64_t n : numbers) {
    Loaded l{n, request.credit_notes ? einvoice::LoadCreditNote(c, n) : einvoice::LoadInvoice(c, n)};
    for (auto& b : einvoice::CheckDocument(l.document, profile)) breaches.push_back({n, std::move(b)});
    loaded.push_back(std::move(l));
  }
  if (!breaches.empty()) {
    std::set<std::int64_t> refused;
    for (const auto& b : breaches) refused.insert(b.number);
    std::string message = "export refused, nothing was written or marked: " +
                          std::to_string(refused.size()) + " of " + std::to_string(numbers.size()) +
                          (numbers.size() == 1 ? " document" : " documents") +
                          (refused.size() == 1 ? " lacks" : " lack") +
                          " what the e-invoice requires";
    for (const auto& b : breaches) message += "\n  " + BreachLine(request.credit_notes, b.number, b.breach);
    throw ExportRefused(message, std::move(breaches));
  }
  return loaded;
}

// --- Rendering -----------------------------------------------------------------------

// A folder of the process's own for the PDFs Factur-X starts from; removed
// with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "tarvik-export-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("Cannot make a temporary folder in " +
                                                             fs::temp_directory_path().string());
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The invoice as `tarvik print` draws it, or the credit note drawn from its
// own document, with the CII attached.
std::string FacturX(const std::string& database, data::HostConnection& c, const Loaded& l,
                    const ScratchFolder& scratch) {
  const bool credit_note = l.document.type == einvoice::DocumentType::kCreditNote;
  std::string pdf;
  if (credit_note) {
    const fs::path file = scratch.path() / ("credit-note-" + std::to_string(l.number) + ".pdf");
    const std::string layouts = ShippedReportDir();
    if (layouts.empty()) throw std::runtime_error("The shipped layouts were not found beside the program");
    einvoice::DrawCreditNote(c, l.document, (fs::path(layouts) / "credit_note.layout").string(), file.string());
    pdf = ReadWhole(file);
  } else {
    PrintRequest print;
    print.invoice_no = std::to_string(l.number);
    print.out = (scratch.path() / ("invoice-" + print.invoice_no + ".pdf")).string();
    const PrintOutcome printed = PrintInvoiceReportingAccess(database, print);
    if (!printed.printed) {
      if (printed.no_write_access) throw std::runtime_error(printed.message);
      throw std::runtime_error("Invoice " + print.invoice_no + " was not printed: " + printed.message);
    }
    pdf = ReadWhole(printed.file);
  }
  return einvoice::MakeFacturX(pdf, einvoice::WriteCii(l.document), l.document);
}

struct XmlWriter {
  Format format;
  std::string (*write)(const einvoice::Document&);
};
constexpr XmlWriter kXmlWriters[] = {
    {Format::kUbl, einvoice::WriteUbl},
    {Format::kCii, einvoice::WriteCii},
    {Format::kXRechnung, einvoice::WriteXRechnung},
};

std::string Render(const std::string& database, data::HostConnection& c, const Loaded& l, Format format,
                   const std::optional<ScratchFolder>& scratch) {
  for (const XmlWriter& w : kXmlWriters) {
    if (w.format == format) return w.write(l.document);
  }
  return FacturX(database, c, l, *scratch);
}

// --- Marking -----------------------------------------------------------------------

// Through the component's header update, as `tarvik edit` does.
void MarkInvoice(InvoiceSession& invoice, std::int64_t number, const std::string& date) {
  const std::string text = std::to_string(number);
  LoadInvoice(invoice, text);
  invoice.Let("Export_Date", Variant::String(date));
  invoice.Let("Export_Flag", Variant::Byte(0));
  invoice.Let("TransactionMode", Variant::Long(kTmEdit));
  invoice.Let("ShowMessageBox", Variant::Boolean(false));
  if (!invoice.Succeeds("Save")) {
    throw InvoiceFailed(FailureText(invoice, "Invoice " + text + " was not saved."));
  }
}

void MarkCreditNote(data::HostConnection& c, std::int64_t number, double date) {
  const std::int64_t changed =
      c.ExecuteWith("UPDATE Credit_Note_Header SET export_date = ?1, export_flag = 0 WHERE credit_no = ?2",
                    {Variant::Date(date), Variant::Long(static_cast<std::int32_t>(number))});
  if (changed != 1) throw InvoiceFailed("Credit note " + std::to_string(number) + " was not marked.");
}

}  // namespace

std::string ExportFileName(bool credit_note, std::int64_t number, Format format) {
  return (credit_note ? "credit-note-" : "invoice-") + std::to_string(number) +
         std::string(einvoice::FormatExtension(format));
}

ExportOutcome ExportDocuments(const std::string& database, const ExportRequest& request) {
  const fs::path dir = request.out_dir.empty() ? fs::path(".") : fs::path(request.out_dir);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw std::runtime_error("Cannot write to " + dir.string() + ": no such folder");

  // An invoice's Factur-X prints, and printing fills the report tables: both
  // need to write. A credit note is drawn from its document alone.
  const bool writes = request.mark || (request.format == Format::kFacturX && !request.credit_notes);
  InvoiceSession session(database, writes ? Access::kWrite : Access::kRead);
  std::vector<std::int64_t> numbers = request.numbers;
  if (numbers.empty()) {
    numbers = request.credit_notes ? CreditNoteSelection(session.connection()) : InvoiceSelection(session);
  }
  numbers = WithoutRepeats(numbers);
  ExportOutcome outcome;
  if (numbers.empty()) return outcome;

  const std::vector<Loaded> documents = LoadAndCheck(session.connection(), request, numbers);

  std::optional<ScratchFolder> scratch;
  if (request.format == Format::kFacturX) scratch.emplace();
  FileSet files(request.replace, database);
  for (const Loaded& l : documents) {
    const std::string target =
        fs::absolute(dir / ExportFileName(request.credit_notes, l.number, request.format)).lexically_normal().string();
    files.Add(target, Render(database, session.connection(), l, request.format, scratch));
    outcome.files.push_back({l.number, target});
  }
  files.Commit();

  if (request.mark) {
    const double today = regional::Today();
    data::Transaction transaction(session.connection());
    for (const Loaded& l : documents) {
      if (request.credit_notes) {
        MarkCreditNote(session.connection(), l.number, today);
      } else {
        MarkInvoice(session, l.number, regional::FormatDate(today));
      }
    }
    transaction.Commit();
    outcome.export_date = today;
  }
  files.Keep();
  return outcome;
}

namespace {

class ExportCommand : public Command {
 public:
  explicit ExportCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "export"; }
  std::string_view summary() const override {
    return "Write the e-invoices of the invoices marked for export (UBL, CII, XRechnung, Factur-X) "
           "or of the numbers given";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("--format", format_, "ubl (default), cii, xrechnung or facturx")
        ->check(CLI::IsMember({"ubl", "cii", "xrechnung", "facturx"}));
    command.add_option("--out", request_.out_dir, "Folder to write the files in (default: the current one)");
    command.add_flag("--mark", request_.mark,
                     "Mark the invoices exported (export date today, flag cleared), all or none");
    command.add_flag("--credit", request_.credit_notes, "The numbers are credit-note numbers");
    command.add_flag("--force", request_.replace, "Replace files that exist");
    command.add_option("NUMBERS", numbers_, "Invoice (or credit-note) numbers; none: those marked for export")
        ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
    AddJsonFlag(command, json_);
  }
  bool Writes() const override { return true; }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      try {
        return Export(out);
      } catch (const ExportRefused& refused) {
        return Refuse(out, err, refused);  // names every breach, in JSON too
      }
    });
  }

 private:
  int Export(std::ostream& out) {
    einvoice::ParseFormat(format_, &request_.format);
    for (const std::string& n : numbers_) request_.numbers.push_back(InvoiceNumberOf(n));
    return Report(out, ExportDocuments(context_.database, request_));
  }

  int Report(std::ostream& out, const ExportOutcome& outcome) {
    const char* key = request_.credit_notes ? "credit_no" : "invoice_no";
    if (json_) {
      nlohmann::ordered_json doc{{"ok", true},
                                 {"format", std::string(einvoice::FormatName(request_.format))},
                                 {"count", outcome.files.size()},
                                 {"marked", outcome.export_date.has_value()},
                                 {"export_date", nullptr}};
      if (outcome.export_date) doc["export_date"] = regional::FormatIsoDate(*outcome.export_date);
      doc["files"] = nlohmann::ordered_json::array();
      for (const auto& f : outcome.files) doc["files"].push_back({{key, f.number}, {"file", f.file}});
      out << doc.dump(2) << "\n";
      return kExitDone;
    }
    const std::string what = request_.credit_notes ? "credit note" : "invoice";
    if (outcome.files.empty()) {
      out << (request_.credit_notes ? "No credit notes to export.\n" : "No invoices to export.\n");
      return kExitDone;
    }
    for (const auto& f : outcome.files) out << f.file << "\n";
    out << outcome.files.size() << " " << what << (outcome.files.size() == 1 ? "" : "s") << " exported as "
        << einvoice::FormatName(request_.format);
    // The date as list and show print it: ISO is for JSON.
    if (outcome.export_date) out << ", marked exported on " << regional::FormatDate(*outcome.export_date);
    out << ".\n";
    return kExitDone;
  }

  int Refuse(std::ostream& out, std::ostream& err, const ExportRefused& refused) {
    err << "tarvik: " << refused.what() << "\n";
    if (json_) {
      nlohmann::ordered_json doc{{"ok", false}, {"error", {{"number", 0}, {"description", refused.what()}}}};
      doc["breaches"] = nlohmann::ordered_json::array();
      for (const auto& b : refused.breaches) {
        doc["breaches"].push_back({{request_.credit_notes ? "credit_no" : "invoice_no", b.number},
                                   {"rule", b.breach.rule},
                                   {"terms", b.breach.terms},
                                   {"field", b.breach.field},
                                   {"message", b.breach.message}});
      }
      out << doc.dump(2) << "\n";
    }
    return kExitRefused;
  }

  const HostContext& context_;
  ExportRequest request_;
  std::string format_ = "ubl";
  std::vector<std::string> numbers_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeExportCommand(const HostContext& context) {
  return std::make_unique<ExportCommand>(context);
}

}  // namespace tarvik::host
