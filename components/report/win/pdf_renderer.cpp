// The Windows build has no cairo/pango: the report tables are filled as
// everywhere, and drawing the document is refused with a clear error.
#include "components/report/pdf_renderer.h"

#include "components/report/layout.h"
#include "platform/error.h"


namespace tarvik::components::report {

RenderedDocument RenderPdf(const Layout&, const std::vector<InvoiceData>&, const Record&,
                           const FormulaLookup&, const std::string&, const std::string& path,
                           ExistingOutput) {
  RaiseError(kErrPrinter, "Cannot write the invoice document '" + path +
                                   "': this Windows build has no PDF renderer");
}

}  // namespace tarvik::components::report
