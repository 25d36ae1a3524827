// Factur-X / ZUGFeRD (EN 16931 profile): the printed invoice as PDF/A-3
// with its CII file attached as "factur-x.xml" and the XMP metadata the
// profile asks for.
#pragma once

#include <string>
#include <string_view>

#include "einvoice/document.h"

namespace tarvik::einvoice {

// pdf: the invoice as the report component printed it; cii: WriteCii of the
// same document. Returns the PDF/A-3 file. Throws std::runtime_error with a
// clear message when the PDF cannot be read.
std::string MakeFacturX(std::string_view pdf, std::string_view cii, const Document& document);

}  // namespace tarvik::einvoice
