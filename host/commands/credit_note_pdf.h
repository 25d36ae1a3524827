// A credit note on paper: drawn with the shipped credit-note layout from the
// credit note's own e-invoice document, so that the pages of a Factur-X
// file and the XML it carries cannot disagree. Credit notes have no report
// tables of their own; the document is all the drawing needs.
#pragma once

#include <string>

#include "data/host_connection.h"
#include "einvoice/document.h"

namespace tarvik::host {

// Writes the PDF to `path` (replacing a file there). The company settings
// come from `connection`; errors are the report component's (a missing
// layout, a drawing failure) as AutomationError.
void DrawCreditNote(data::HostConnection& connection, const einvoice::Document& credit_note,
                    const std::string& path);

}  // namespace tarvik::host
