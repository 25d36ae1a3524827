// The report component: reads the report tables through the host's
// connection and renders them with a layout file into a PDF, which goes to a
// CUPS queue when the formulas name a printer. See docs/report_layout.md for
// the layout format, the formulas it reads and the one it writes back.
#include "components/report_printer.h"

#include <filesystem>
#include <map>
#include <optional>
#include <utility>

#include "components/report/cups_queue.h"
#include "components/report/layout.h"
#include "components/report/pdf_renderer.h"
#include "components/report/report_data.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/late_bound.h"

#ifndef TARVIK_REPORTS_DIR
#define TARVIK_REPORTS_DIR "reports"
#endif

namespace tarvik::components {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultLayout = "invoice.layout";
constexpr const char* kOutputFormula = "OutputFile";
constexpr const char* kPrinterFormula = "Printer";
constexpr const char* kPrintedFormula = "PrintedFile";
constexpr const char* kReplaceFormula = "ReplaceOutput";
constexpr std::int32_t kErrFileExists = 58;

data::Value ToValue(const Variant& v) {
  switch (v.vt()) {
    case VT_EMPTY:
    case VT_NULL:
      return {};
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_BOOL:
      return std::int64_t{v.ToLong()};
    case VT_R4:
    case VT_R8:
    case VT_CY:
      return v.ToDouble();
    case VT_DATE:
      return data::DateValue{v.ToDate()};
    default:
      try {
        return v.ToString();
      } catch (const AutomationError&) {
        return {};  // an object: nothing printable
      }
  }
}

// A formula that switches something on: True, a number other than 0, or "True".
bool IsTrue(const std::optional<data::Value>& v) {
  if (!v) return false;
  if (auto i = std::get_if<std::int64_t>(&*v)) return *i != 0;
  if (auto d = std::get_if<double>(&*v)) return *d != 0;
  if (auto t = std::get_if<std::string>(&*v)) return *t == "True" || *t == "true" || *t == "1";
  return false;
}

class ReportPrinterImpl final : public ComObject<ReportPrinterImpl, ReportPrinter> {
 public:
  void SetFormulas(ComPtr<IDispatch> formulas) override { formulas_ = std::move(formulas); }
  bool PrintReport(SAFEARRAY**) override;
  void SetDatabaseName(const std::string& name) override { database_name_ = name; }
  void SetParentHandle(std::int32_t handle) override { parent_handle_ = handle; }
  void SetReportPath(const std::string& path) override { report_path_ = path; }
  void SetConnection(ComPtr<data::HostConnection> connection) override {
    connection_ = std::move(connection);
  }
  void SetReportFile(const std::string& file) override { report_file_ = file; }
  void SetDocumentName(const std::string& name) override { document_name_ = name; }
  // The document's name is its title; an unnamed document is a "Report".
  std::string DocumentTitle() override {
    return document_name_.empty() ? std::string("Report") : document_name_;
  }

 private:
  std::string LayoutPath() const;
  void CheckOutput(const std::string& output, bool replace) const;
  std::optional<data::Value> Formula(const std::string& name);
  std::string FormulaText(const std::string& name);
  void RecordPrintedFile(const std::string& path);

  ComPtr<IDispatch> formulas_;
  std::string database_name_;
  std::int32_t parent_handle_ = 0;
  std::string report_path_;
  ComPtr<data::HostConnection> connection_;
  std::string report_file_;
  std::string document_name_;
  std::map<std::string, std::optional<data::Value>> formula_cache_;  // one run
};

// An absolute file stands alone; otherwise it lies in the report path, or,
// with none, among the shipped layouts. Never in the current folder: a file
// planted there must not become the invoice.
std::string ReportPrinterImpl::LayoutPath() const {
  const fs::path file = report_file_.empty() ? fs::path(kDefaultLayout) : fs::path(report_file_);
  if (file.is_absolute()) return file.string();
  if (!report_path_.empty()) {
    if (!fs::path(report_path_).is_absolute()) {
      RaiseError(report::kErrReportFileNotFound,
                 "Report path " + report_path_ + " is not absolute; layouts are looked up only "
                 "where they were installed or in a folder named in full");
    }
    return (fs::path(report_path_) / file).string();
  }
  return (fs::path(TARVIK_REPORTS_DIR) / file).string();
}

// The document may replace an older one only when the host says so, and
// never the books it is printed from, nor what is not a writable file.
void ReportPrinterImpl::CheckOutput(const std::string& output, bool replace) const {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(output, ec);
  if (ec || !fs::exists(status)) return;
  if (!replace) {
    RaiseError(kErrFileExists, "Cannot write " + output +
                                   ": it already exists (the host can ask to replace it)");
  }
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    if (!database_name_.empty() && fs::equivalent(output, database_name_ + suffix, ec)) {
      RaiseError(kErrFileExists, "Cannot write " + output + ": it is the database being printed from");
    }
  }
  const fs::file_status target = fs::status(output, ec);
  if (ec || !fs::is_regular_file(target)) {
    RaiseError(kErrFileExists, "Cannot write " + output + ": it is not a regular file");
  }
  if ((target.permissions() & fs::perms::owner_write) == fs::perms::none) {
    RaiseError(kErrFileExists, "Cannot write " + output + ": it is read-only");
  }
}

std::optional<data::Value> ReportPrinterImpl::Formula(const std::string& name) {
  auto cached = formula_cache_.find(name);
  if (cached != formula_cache_.end()) return cached->second;
  std::optional<data::Value> value;
  if (formulas_) {
    try {
      value = ToValue(
          InvokeByName(formulas_.get(), "Item", CallKind::kMethod, {Variant::String(name)}));
    } catch (const AutomationError& e) {
      // Not there: a Collection says 5, other collections 9.
      if (e.number() != kErrInvalidProcedureCall && e.number() != kErrSubscriptOutOfRange) throw;
    }
  }
  if (!value && name == "Title") value = DocumentTitle();
  formula_cache_.emplace(name, value);
  return value;
}

std::string ReportPrinterImpl::FormulaText(const std::string& name) {
  auto v = Formula(name);
  return v ? report::FormatValue(*v, report::Format::kText) : std::string();
}

// The host reads the produced file back from the formulas it handed over.
void ReportPrinterImpl::RecordPrintedFile(const std::string& path) {
  if (!formulas_) return;
  try {
    InvokeByName(formulas_.get(), "Remove", CallKind::kMethod, {Variant::String(kPrintedFormula)});
  } catch (const AutomationError& e) {
    // Not there, or a collection that cannot remove: the new item goes last.
    if (e.number() != kErrInvalidProcedureCall && e.number() != kErrSubscriptOutOfRange &&
        e.number() != kErrObjectDoesntSupport) {
      throw;
    }
  }
  InvokeByName(formulas_.get(), "Add", CallKind::kMethod,
               {Variant::String(path), Variant::String(kPrintedFormula)});
}

bool ReportPrinterImpl::PrintReport(SAFEARRAY**) {
  if (!connection_) {
    RaiseError(kErrObjectVariableNotSet, "ReportPrinter has no connection to read the report from");
  }
  formula_cache_.clear();
  const report::Layout layout = report::LoadLayout(LayoutPath());
  const std::vector<report::InvoiceData> invoices = report::ReadReportTables(*connection_);
  if (invoices.empty()) return false;

  const std::string number =
      report::FormatValue(invoices.front().header.Find("invoice_no").value_or(data::Value{}),
                          report::Format::kText);
  std::string output = FormulaText(kOutputFormula);
  if (output.empty()) output = "invoice-" + number + ".pdf";
  output = fs::absolute(output).lexically_normal().string();

  const bool replace = IsTrue(Formula(kReplaceFormula));
  CheckOutput(output, replace);

  const std::string title = DocumentTitle() + " " + number;
  const report::Record settings = report::ReadSettingsRecord(*connection_);
  report::RenderPdf(layout, invoices, settings, [this](const std::string& n) { return Formula(n); },
                    title, output,
                    replace ? report::ExistingOutput::kReplace : report::ExistingOutput::kRefuse);
  if (const std::string printer = FormulaText(kPrinterFormula); !printer.empty()) {
    report::SubmitToPrinter(printer, output, title);
  }
  RecordPrintedFile(output);
  return true;
}

ReportPrinterFactory& Factory() {
  static ReportPrinterFactory factory;
  return factory;
}

}  // namespace

ComPtr<ReportPrinter> NewDefaultReportPrinter() { return MakeCom<ReportPrinterImpl>(); }

ComPtr<ReportPrinter> NewReportPrinter() {
  return Factory() ? Factory()() : NewDefaultReportPrinter();
}

void SetReportPrinterFactory(ReportPrinterFactory factory) { Factory() = std::move(factory); }

}  // namespace tarvik::components
