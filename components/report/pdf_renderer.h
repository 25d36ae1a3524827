// Draws invoices with a layout into a PDF file (cairo + pango, fonts from
// the system with a fallback chain for other scripts and emoji). The table
// is measured before anything is placed, so numbers and codes are never
// broken; texts wrap at spaces; blocks, totals and notes move whole. Every
// page carries the footer; pages after the first of an invoice start with
// the "continued" text and, while lines remain, the column heads.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/report/layout.h"
#include "components/report/report_data.h"

namespace tarvik::components::report {

// Values that are not columns of the report tables (the formulas).
using FormulaLookup = std::function<std::optional<data::Value>(const std::string& name)>;

struct RenderedDocument {
  int pages = 0;
};

enum class ExistingOutput { kRefuse, kReplace };

// Writes the PDF to `path` through a fresh file beside it, renamed onto
// `path` when complete: a failed run leaves no half-written document, and a
// link planted beside the target is never written through. An existing
// `path` is refused (error 58) unless `existing` says to replace it. An
// unknown placeholder raises kErrReportFileMalformed naming the layout file
// and line.
RenderedDocument RenderPdf(const Layout& layout, const std::vector<InvoiceData>& invoices,
                           const Record& settings, const FormulaLookup& formulas,
                           const std::string& title, const std::string& path,
                           ExistingOutput existing);

}  // namespace tarvik::components::report
