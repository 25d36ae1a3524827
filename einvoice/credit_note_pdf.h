// A credit note on paper: drawn by the suite's report component with a
// credit-note layout from the credit note's own document, so that the pages
// of a Factur-X file and the XML it carries cannot disagree. Credit notes
// have no report tables of their own; the document is all the drawing needs.
#pragma once

#include <string>

#include "data/host_connection.h"
#include "einvoice/document.h"

namespace tarvik::einvoice {

// Writes the PDF to `path` (replacing a file there) with the layout file
// `layout`. The company settings come from `connection`; errors are the
// report component's (a missing or malformed layout, a drawing failure) as
// AutomationError.
void DrawCreditNote(data::HostConnection& connection, const Document& credit_note, const std::string& layout,
                    const std::string& path);

}  // namespace tarvik::einvoice
