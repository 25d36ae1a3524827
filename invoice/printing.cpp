// Printing one invoice: the report tables prepared, then the report
// component driven with the layout, the title formula and the database.
#include <memory>
#include <string>

#include "invoice/invoice.h"
#include "platform/collection.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {
namespace {

// The argument array of the report run: one empty Variant, no values.
struct ArrayDestroyer {
  void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); }
};
using ArgumentArray = std::unique_ptr<SAFEARRAY, ArrayDestroyer>;

}  // namespace

bool Invoice::PrintInvoice() {
  try {
    if (!ClearReportTables()) return false;
    if (!PreparePrintSelection()) return false;
    return RunInvoiceReport();
  } catch (const AutomationError& error) {
    // Nothing is rolled back here: the preparation groups end their own work.
    ReportError(error, kMbExclamation);
    return false;
  }
}

bool Invoice::RunInvoiceReport() {
  Ui().DoEvents();
  if (generate_only_) return true;
  components::ReportPrinter& report = *report_;
  report.SetReportFile(invoice_report_.utf8());
  report.SetReportPath(report_path_.utf8());
  report.SetDocumentName("Invoice");
  const std::string title = report.DocumentTitle();
  // A host that never set ReportFormula gets a collection for this run only.
  ComPtr<Collection> formulas = report_formula_ ? report_formula_ : NewCollection();
  formulas->Add(Variant::String(title), Variant::String("Title"));
  report.SetFormulas(formulas);
  report.SetDatabaseName(Conn().DatabaseName());
  report.SetParentHandle(print_parent_handle_);
  SAFEARRAY* raw = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  if (!raw) RaiseError(kErrOutOfMemory);
  ArgumentArray args(raw);
  const bool printed = report.PrintReport(&raw);
  if (raw != args.get()) {  // the component replaced the array: ours goes, its one too
    args.reset(raw);
  }
  return printed;
}

}  // namespace tarvik::invoice
