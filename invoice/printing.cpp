// Printing one invoice: the report tables prepared, then the report
// component driven with the layout, the title formula and the database.
#include <memory>
#include <string>

#include "invoice/invoice.h"
#include "platform/collection.h"
#include "platform/late_bound.h"
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
    if (!PreparePrintSelection(header_.invoice_no.value())) return false;
    return RunInvoiceReport();
  } catch (const AutomationError& error) {
    // Nothing is rolled back here: each preparation group ends its own level.
    messages_.ReportError(error, kMbExclamation);
    return false;
  }
}

bool Invoice::RunInvoiceReport() {
  Ui().DoEvents();
  if (print_.generate_only) return true;
  components::ReportPrinter& report = links_.report();
  report.SetReportFile(print_.invoice_report.utf8());
  report.SetReportPath(print_.report_path.utf8());
  report.SetDocumentName("Invoice");
  const std::string title = report.DocumentTitle();
  // A host that never set ReportFormula gets a collection for this run only.
  ComPtr<IDispatch> formulas =
      print_.formulas ? print_.formulas : ComPtr<IDispatch>(NewCollection().get());
  InvokeByName(formulas.get(), "Add", CallKind::kMethod,
               {Variant::String(title), Variant::String("Title")});
  report.SetFormulas(formulas);
  report.SetDatabaseName(links_.Conn().DatabaseName());
  report.SetParentHandle(print_.parent_handle);
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
