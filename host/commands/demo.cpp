// `tarvik demo [--dir FOLDER] [--json]`: the main job on a fresh demo
// database in a folder of its own. Creates the database with the demo data,
// makes sure the classes are registered (in the folder when no usable
// registration exists), invoices the packed orders in every grouping, shows
// the refusal of partly picked orders, back-orders what stays open, prints
// the invoices to PDF when the `print` command is there, exports them as
// e-invoices in every format when `export` is there, and sums it up.
// It answers the component's boxes itself: Yes to every question, a fresh
// order number (5001, 5002, ...) to every input box; nothing waits for a
// user.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/backend.h"
#include "data/result_set.h"
#include "db/initialize.h"
#include "host/commands/backorder.h"
#include "host/commands/commands.h"
#include "host/commands/create.h"
#include "host/commands/export.h"
#include "host/commands/print.h"
#include "host/database_open.h"
#include "host/invoice_session.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"
#include "host/posting_readback.h"
#include "host/server_library.h"
#include "host/ui/answers.h"
#include "host/ui/stop_signals.h"
#include "host/ui/terminal_ui.h"
#include "platform/class_registry.h"
#include "platform/file_access.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

namespace fs = std::filesystem;
using ojson = nlohmann::ordered_json;

constexpr int kFirstNewOrderNumber = 5001;
constexpr const char* kPartialPickingOption = "Invoice No Partial Picking";

// Yes to every question, the default to every other box, and a new order
// number to every input box, so the run never waits for anyone.
class DemoAnswers : public UiServices {
 public:
  int MessageBox(const std::string& text, int style, const std::string& title) override {
    const int buttons = style & 0xF;
    const bool question = buttons == kMbYesNo || buttons == 3;  // Yes/No, Yes/No/Cancel
    UiEvent e{UiEvent::kMessageBox, text, style, title};
    e.answer = question ? kIdYes : DefaultAnswer(style);
    Record(e);
    return e.answer;
  }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    UiEvent e{UiEvent::kInputBox, prompt, 0, title, default_text};
    e.input = std::to_string(next_number_++);
    Record(e);
    return e.input;
  }
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::string AppTitle() override { return kApplicationTitle; }

  void SetListener(std::function<void(const UiEvent&)> listener) { listener_ = std::move(listener); }
  std::vector<UiEvent> TakeEvents() { return std::exchange(events_, {}); }

 private:
  void Record(const UiEvent& e) {
    events_.push_back(e);
    if (listener_) listener_(e);
  }

  int next_number_ = kFirstNewOrderNumber;
  std::vector<UiEvent> events_;
  std::function<void(const UiEvent&)> listener_;
};

std::string OneLine(std::string text) {
  for (char& ch : text) {
    if (ch == '\r' || ch == '\n') ch = ' ';
  }
  return text;
}

std::string AnswerText(const UiEvent& e) {
  if (e.kind == UiEvent::kInputBox) return e.input ? *e.input : "(cancelled)";
  switch (e.answer) {
    case kIdOk: return "OK";
    case kIdCancel: return "Cancel";
    case kIdYes: return "Yes";
    case kIdNo: return "No";
  }
  return std::to_string(e.answer);
}

// --- Folder, database, registry ------------------------------------------------

std::string Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// A chosen folder must be new or empty; the default one is made unique.
fs::path DemoFolder(const std::string& chosen) {
  if (!chosen.empty()) {
    const fs::path dir(chosen);
    if (fs::exists(dir) && (!fs::is_directory(dir) || !fs::is_empty(dir))) {
      throw std::runtime_error("demo: " + chosen +
                               " already exists and is not an empty folder; refusing to "
                               "overwrite it (remove it or choose another --dir)");
    }
    CreateFolders(dir);
    return dir;
  }
  const fs::path base = fs::path("demo-output") / Timestamp();
  fs::path dir = base;
  for (int n = 2; fs::exists(dir); ++n) dir = base.string() + "-" + std::to_string(n);
  CreateFolders(dir);
  return dir;
}

// The demo shows this build: its classes are registered in a registry of
// the folder's own, whatever the user's registry names (perhaps another
// build's library). Children of this process inherit it.
std::string PrepareRegistry(const fs::path& dir, bool& registered_here) {
  registered_here = true;
  const std::string file = fs::absolute(dir / "classes.json").string();
  setenv("TARVIK_CLASS_REGISTRY", file.c_str(), 1);
  RegisterServer(ServerLibraryPath());
  return ClassRegistryPath();
}

void SetOption(const std::string& database, const std::string& name, const std::string& value) {
  auto c = OpenForWriting(database);
  c->ExecuteWith("UPDATE System SET option_value = ?1 WHERE option_name = ?2",
                 {Variant::String(value), Variant::String(name)});
}

// Puts an option back when the run that switched it ends, however it ends.
class OptionSwitch {
 public:
  OptionSwitch(std::string database, std::string name, const std::string& value)
      : database_(std::move(database)), name_(std::move(name)) {
    SetOption(database_, name_, value);
  }
  ~OptionSwitch() {
    try {
      SetOption(database_, name_, "0");
    } catch (const std::exception&) {
    }
  }
  OptionSwitch(const OptionSwitch&) = delete;
  OptionSwitch& operator=(const OptionSwitch&) = delete;

 private:
  std::string database_, name_;
};

double Scalar(const std::string& database, const std::string& sql) {
  auto c = OpenForReading(database);
  auto rs = c->OpenQuery(sql);
  if (!rs->Seek(0)) return 0;
  const data::Value& v = rs->Column(0);
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  return 0;
}

// --- The runs ----------------------------------------------------------------------

struct Step {
  std::string title;
  CreateRequest request;
  bool refuse_partial_picking = false;  // the option on; a refusal is what should happen
};

std::vector<Step> DemoSteps() {
  const Variant ship_date = Variant::String(regional::FormatDate(regional::Today()));
  auto request = [&](std::string by, std::string from, std::string to, std::string customer,
                     std::string ship_to, const char* freight) {
    CreateRequest r;
    r.grouping = std::move(by);
    r.from = std::move(from);
    r.to = std::move(to);
    r.customer = std::move(customer);
    r.ship_to = std::move(ship_to);
    r.header = {{"ShipDate", ship_date}, {"FreightAmount", Variant::String(freight)}};
    return r;
  };
  return {
      {"One invoice per order, orders 1001 to 1004", request("order", "1001", "1004", "", "", "8.5")},
      {"Partly picked orders 1013 to 1016 with \"Invoice No Partial Picking\" on",
       request("order", "1013", "1016", "", "", "0"), true},
      {"Customer C100: one invoice for all its packed orders",
       request("customer", "", "", "C100", "", "15")},
      {"Customer C200 at ship-to HQ: one invoice for the location",
       request("shipto", "", "", "C200", "HQ", "12.75")},
      {"Customer C300, orders 1001 to 1024: one invoice for the range",
       request("custorder", "1001", "1024", "C300", "", "9.9")},
      {"Every other packed order, one invoice per order, orders 1001 to 1024",
       request("order", "1001", "1024", "", "", "4.25")},
  };
}

struct StepResult {
  std::string title;
  std::string grouping;
  bool expected_refusal = false;
  bool saved = false;
  std::string message;
  std::vector<InvoiceMade> invoices;
  std::vector<BackOrderMade> back_orders;
  std::vector<UiEvent> boxes;
  std::vector<std::vector<std::string>> partly_picked;  // order, line, item, ordered, picked
};

std::vector<std::vector<std::string>> PartlyPicked(const std::string& database,
                                                   const CreateRequest& r) {
  auto c = OpenForReading(database);
  auto rs = c->OpenStoredQuery("v_Invoice_All_Picked",
                               {Variant::String(r.from), Variant::String(r.to)});
  std::vector<std::vector<std::string>> rows;
  for (std::int64_t i = 0; rs->Seek(i); ++i) {
    std::vector<std::string> row;
    for (int col = 0; col < 5; ++col) {
      row.push_back(data::ValueToText(rs->Column(col)));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

ojson BoxesJson(const std::vector<UiEvent>& boxes) {
  ojson list = ojson::array();
  for (const auto& e : boxes) list.push_back(EventJson(e));
  return list;
}

// --- PDFs ------------------------------------------------------------------------

struct PrintResult {
  std::int32_t invoice_no = 0;
  std::string pdf;
  bool ok = false;
};

// Prints through the code of the `print` command; what went wrong goes to
// the log as that command would have said it.
bool PrintToPdf(const std::string& database, std::int32_t number, const std::string& pdf,
                const std::string& log) {
  PrintRequest request;
  request.invoice_no = std::to_string(number);
  request.out = pdf;
  std::ostringstream discard, said;
  const int status = RunReportingFailure(discard, said, false, [&] {
    const PrintOutcome outcome = PrintInvoiceReportingAccess(database, request);
    if (!outcome.printed) return Fail(discard, said, false, 0, outcome.message);
    return 0;
  });
  if (!said.str().empty()) std::ofstream(log, std::ios::app) << said.str();
  return status == 0 && fs::exists(pdf);
}

// --- E-invoices ----------------------------------------------------------------------

constexpr einvoice::Format kExportFormats[] = {einvoice::Format::kUbl, einvoice::Format::kCii,
                                               einvoice::Format::kXRechnung, einvoice::Format::kFacturX};

struct ExportResult {
  std::string format;
  std::string folder;
  std::vector<std::string> files;  // names in the folder
  std::string problem;             // why not, when nothing was written
};

std::string Range(const std::vector<std::string>& texts) {
  if (texts.empty()) return "";
  if (texts.size() == 1) return texts.front();
  return texts.front() + " to " + texts.back();
}

std::string Units(double v) {
  return regional::FormatDouble(v) + (v == 1 ? " unit" : " units");
}

// One run of the demo: its folder and database, the narration and what
// each part did.
class DemoRun {
 public:
  DemoRun(const fs::path& folder, std::ostream& say, ProgressLine& progress, DemoAnswers& answers,
          bool can_print, bool can_export)
      : folder_(folder),
        database_((folder / "demo.db").string()),
        say_(say),
        progress_(progress),
        answers_(answers),
        steps_(DemoSteps()),
        parts_(static_cast<int>(steps_.size()) + 1 + (can_print ? 1 : 0) + (can_export ? 1 : 0)),
        can_print_(can_print),
        can_export_(can_export) {}

  // Creates the database and makes sure the classes can be created.
  void Prepare();
  void InvoiceEverything();
  void BackOrderTheRest();
  void PrintToPdfs();
  void ExportEInvoices();
  // The summary, from the database; the problems met, empty when none.
  std::vector<std::string> Finish(std::ostream& out, bool json);

 private:
  void Part(std::size_t index, const std::string& title);
  void Narrate(StepResult& r, std::size_t index);

  fs::path folder_;
  std::string database_;
  std::ostream& say_;
  ProgressLine& progress_;
  DemoAnswers& answers_;
  const std::vector<Step> steps_;
  const int parts_;
  const bool can_print_;
  const bool can_export_;
  std::string registry_;
  bool registered_here_ = false;
  std::vector<StepResult> results_;
  std::vector<InvoiceMade> made_;
  std::vector<PrintResult> prints_;
  std::vector<ExportResult> exports_;
  std::vector<std::string> problems_;
};

void DemoRun::Prepare() {
  {
    auto backend = data::OpenBackend(database_);
    db::InitializeDatabase(*backend, true);
  }
  registry_ = PrepareRegistry(folder_, registered_here_);
  say_ << "Demo in " << folder_.string() << "\n"
       << "  Database:  " << database_ << " (schema, stored queries, options and demo data)\n"
       << "  Classes:   " << (registered_here_ ? "registered in " : "as registered in ")
       << registry_ << "\n";
  answers_.SetListener([this](const UiEvent& e) {
    progress_.Clear();
    say_ << "    asked  [" << e.title << "] " << OneLine(e.text) << "  -> " << AnswerText(e)
         << "\n";
  });
}

void DemoRun::Part(std::size_t index, const std::string& title) {
  progress_.Begin(title, parts_, static_cast<int>(index));
  progress_.Clear();
  say_ << "\n" << index + 1 << ". " << title << "\n";
}

void DemoRun::InvoiceEverything() {
  for (std::size_t i = 0; i < steps_.size() && !StopRequested(); ++i) {
    const Step& step = steps_[i];
    Part(i, step.title);
    StepResult r;
    r.title = step.title;
    r.grouping = step.request.grouping;
    r.expected_refusal = step.refuse_partial_picking;
    CreateOutcome outcome;
    if (step.refuse_partial_picking) {
      OptionSwitch on(database_, kPartialPickingOption, "1");
      outcome = CreateInvoices(database_, step.request, progress_);
      r.partly_picked = PartlyPicked(database_, step.request);
    } else {
      outcome = CreateInvoices(database_, step.request, progress_);
    }
    progress_.Clear();
    r.saved = outcome.saved;
    r.message = outcome.message;
    r.invoices = outcome.invoices;
    r.back_orders = outcome.back_orders;
    r.boxes = answers_.TakeEvents();
    made_.insert(made_.end(), r.invoices.begin(), r.invoices.end());
    Narrate(r, i);
    results_.push_back(std::move(r));
  }
}

void DemoRun::Narrate(StepResult& r, std::size_t index) {
  const std::string step = "step " + std::to_string(index + 1);
  if (r.expected_refusal) {
    if (r.saved) problems_.push_back(step + " was not refused");
    say_ << "  Refused: " << (r.message.empty() ? "(no message)" : r.message)
         << "  Nothing was written.\n";
    if (!r.partly_picked.empty()) {
      TextTable table;
      table.columns = {{"Order", false}, {"Line", true}, {"Item", false}, {"Ordered", true},
                       {"Picked", true}};
      table.rows = r.partly_picked;
      say_ << "  Partly picked lines:\n";
      WriteTable(say_, table, "    ");
    }
  } else if (!r.saved) {
    problems_.push_back(step + ": " + r.message);
    say_ << "  Not created: " << r.message << "\n";
  } else {
    say_ << "  Created " << r.invoices.size()
         << (r.invoices.size() == 1 ? " invoice:\n" : " invoices:\n");
    WriteInvoices(say_, r.invoices, "    ");
    if (!r.message.empty()) say_ << "  Note: " << r.message << "\n";
  }
  if (!r.back_orders.empty()) {
    say_ << "  Back orders created:\n";
    WriteBackOrders(say_, r.back_orders, "    ");
  }
}

// What the automatic offers did not reach: the invoices made earlier in a
// run of several, whose lines are still open.
void DemoRun::BackOrderTheRest() {
  StepResult r;
  r.title = "Back orders for the lines still open";
  r.grouping = "backorder";
  r.saved = true;
  Part(steps_.size(), r.title);
  for (const auto& invoice : made_) {
    if (StopRequested()) break;
    if (OpenBackOrderLines(database_, invoice.number) == 0) continue;
    say_ << "  Invoice " << invoice.number << " (orders " << JoinTexts(invoice.orders) << ")\n";
    progress_.Relabel("Back-ordering invoice " + std::to_string(invoice.number));
    const BackOrderOutcome outcome = BackOrderInvoice(database_, invoice.number);
    progress_.Clear();
    if (!outcome.created) {
      problems_.push_back("invoice " + std::to_string(invoice.number) + " was not back-ordered");
      r.saved = false;
    }
    r.back_orders.insert(r.back_orders.end(), outcome.orders.begin(), outcome.orders.end());
  }
  r.boxes = answers_.TakeEvents();
  if (r.back_orders.empty()) {
    say_ << "  Nothing left open.\n";
  } else {
    WriteBackOrders(say_, r.back_orders, "    ");
  }
  results_.push_back(std::move(r));
}

void DemoRun::PrintToPdfs() {
  if (!can_print_ || made_.empty()) return;
  Part(steps_.size() + 1, "Invoices printed to PDF");
  const std::string log = (folder_ / "print.log").string();
  for (const auto& invoice : made_) {
    if (StopRequested()) break;
    PrintResult p;
    p.invoice_no = invoice.number;
    p.pdf = (folder_ / ("invoice-" + std::to_string(invoice.number) + ".pdf")).string();
    p.ok = PrintToPdf(database_, invoice.number, p.pdf, log);
    progress_.Pump();
    progress_.Clear();
    say_ << "  " << (p.ok ? p.pdf : "invoice " + std::to_string(p.invoice_no) + " NOT printed")
         << "\n";
    if (!p.ok) problems_.push_back("invoice " + std::to_string(p.invoice_no) + " was not printed");
    prints_.push_back(std::move(p));
  }
  std::error_code ec;
  if (fs::exists(log, ec) && fs::file_size(log, ec) == 0) fs::remove(log, ec);
  if (fs::exists(log, ec)) say_ << "  What the print runs said: " << log << "\n";
}

// Every invoice in every format, a folder per format (the Factur-X PDFs
// would otherwise meet the printed ones).
void DemoRun::ExportEInvoices() {
  if (!can_export_ || made_.empty()) return;
  Part(steps_.size() + (can_print_ ? 2 : 1), "E-invoices exported in every format");
  for (einvoice::Format format : kExportFormats) {
    if (StopRequested()) break;
    ExportResult e;
    e.format = std::string(einvoice::FormatName(format));
    const fs::path folder = folder_ / e.format;
    e.folder = folder.string();
    ExportRequest request;
    request.format = format;
    request.out_dir = e.folder;
    for (const auto& invoice : made_) request.numbers.push_back(invoice.number);
    progress_.Relabel("Exporting " + e.format);
    try {
      CreateFolders(folder);
      for (const auto& f : ExportDocuments(database_, request).files) {
        e.files.push_back(fs::path(f.file).filename().string());
      }
    } catch (const std::exception& error) {
      e.problem = error.what();
    }
    progress_.Pump();
    progress_.Clear();
    if (e.problem.empty()) {
      say_ << "  " << e.format << ": " << e.files.size() << " files in " << e.folder << "\n";
    } else {
      say_ << "  " << e.format << ": NOT exported: " << OneLine(e.problem) << "\n";
      problems_.push_back(e.format + " export: " + OneLine(e.problem));
    }
    exports_.push_back(std::move(e));
  }
}

std::vector<std::string> DemoRun::Finish(std::ostream& out, bool json) {
  progress_.Begin("Done", parts_, parts_);
  progress_.Clear();
  std::vector<BackOrderMade> back_orders;
  for (const auto& r : results_) {
    back_orders.insert(back_orders.end(), r.back_orders.begin(), r.back_orders.end());
  }
  double units = 0, relieved = 0;
  std::vector<std::string> numbers, new_orders, pdfs;
  for (const auto& i : made_) {
    units += i.units;
    relieved += i.relieved;
    numbers.push_back(std::to_string(i.number));
  }
  for (const auto& b : back_orders) new_orders.push_back(b.order_number);
  for (const auto& p : prints_) {
    if (p.ok) pdfs.push_back(fs::path(p.pdf).filename().string());
  }
  std::size_t einvoices = 0;
  for (const auto& e : exports_) einvoices += e.files.size();
  const double on_hand_drop =
      Scalar(database_, "SELECT SUM(opening_on_hand - on_hand) FROM Inventory");

  if (!json) {
    say_ << "\nSummary\n";
    WriteFields(say_, {
        {"Invoices made", std::to_string(made_.size()) +
                              (numbers.empty() ? "" : " (" + Range(numbers) + ")")},
        {"Stock relieved", Units(relieved) + " (" + Units(units) + " invoiced, on hand down " +
                               regional::FormatDouble(on_hand_drop) + ")"},
        {"Back orders created", std::to_string(back_orders.size()) +
                                    (new_orders.empty() ? "" : " (" + JoinTexts(new_orders) + ")")},
        {"PDFs written", can_print_ ? std::to_string(pdfs.size()) +
                                          (pdfs.empty() ? "" : " in " + folder_.string())
                                    : "none (this build has no print command)"},
        {"E-invoices written", can_export_ ? std::to_string(einvoices) + " (" +
                                                 std::to_string(exports_.size()) + " formats)"
                                           : "none (this build has no export command)"},
    });
    return problems_;
  }
  ojson doc;
  doc["ok"] = problems_.empty();
  doc["folder"] = folder_.string();
  doc["database"] = database_;
  doc["registry"] = registry_;
  doc["registered_in_folder"] = registered_here_;
  doc["steps"] = ojson::array();
  for (const auto& r : results_) {
    doc["steps"].push_back({{"title", r.title},
                            {"grouping", r.grouping},
                            {"expected_refusal", r.expected_refusal},
                            {"saved", r.saved},
                            {"message", r.message},
                            {"invoices", InvoicesJson(r.invoices)},
                            {"back_orders", BackOrdersJson(r.back_orders)},
                            {"boxes", BoxesJson(r.boxes)}});
  }
  doc["summary"] = {{"invoices_made", made_.size()},
                    {"invoice_numbers", numbers},
                    {"units_invoiced", units},
                    {"stock_relieved_by_ledger", relieved},
                    {"on_hand_drop", on_hand_drop},
                    {"back_orders_created", back_orders.size()},
                    {"back_order_numbers", new_orders},
                    {"print_available", can_print_},
                    {"pdfs_written", pdfs}};
  doc["summary"]["einvoices"] = ojson::array();
  for (const auto& e : exports_) {
    doc["summary"]["einvoices"].push_back(
        {{"format", e.format}, {"folder", e.folder}, {"files", e.files}, {"ok", e.problem.empty()}});
  }
  doc["problems"] = problems_;
  if (StopRequested()) doc["stopped"] = StopSignalName();
  out << doc.dump(2) << "\n";
  return problems_;
}

class DemoCommand : public Command {
 public:
  explicit DemoCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "demo"; }
  std::string_view summary() const override {
    return "Run the whole job on a fresh demo database in a new folder (answers its own boxes)";
  }
  void AddOptions(CLI::App& command) override {
    app_ = command.get_parent();
    command.add_option("--dir", dir_,
                       "Folder for the database, registry and PDFs; must be new or empty "
                       "(default: demo-output/<date-time>)");
    command.add_flag("--json", json_, "Write one JSON summary instead of the narration");
  }
  bool Writes() const override { return true; }
  // The command keeps a view of the services, which outlive Run.
  std::unique_ptr<UiServices> MakeUi(const HostContext& context) override {
    auto answers = std::make_unique<DemoAnswers>();
    answers_ = answers.get();
    return std::make_unique<ProgressUi>(std::move(answers), context.progress);
  }

  int Run(std::ostream& out, std::ostream& err) override {
    const int status = RunReportingFailure(out, err, json_, [&] { return Demo(out, err); });
    context_.progress.Clear();
    return status;
  }

 private:
  int Demo(std::ostream& out, std::ostream& err) {
    if (!answers_) throw std::logic_error("demo: its answering services are not installed");
    std::ostringstream discard;
    std::ostream& say = json_ ? discard : out;  // the narration
    auto has = [&](const char* command) {
      return !app_->get_subcommands([&](CLI::App* a) { return a->get_name() == command; }).empty();
    };
    DemoRun run(DemoFolder(dir_), say, context_.progress, *answers_, has("print"), has("export"));
    run.Prepare();
    // A stop ends the demo between its runs; the summary says how far it got.
    for (auto part : {&DemoRun::InvoiceEverything, &DemoRun::BackOrderTheRest, &DemoRun::PrintToPdfs,
                      &DemoRun::ExportEInvoices}) {
      if (!StopRequested()) (run.*part)();
    }
    const std::vector<std::string> problems = run.Finish(out, json_);
    if (StopRequested()) return 1;
    if (problems.empty()) return 0;
    err << "tarvik: demo: " << JoinTexts(problems) << "\n";
    return 1;
  }

  const HostContext& context_;
  CLI::App* app_ = nullptr;
  std::string dir_;
  bool json_ = false;
  DemoAnswers* answers_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeDemoCommand(const HostContext& context) {
  return std::make_unique<DemoCommand>(context);
}

}  // namespace tarvik::host
