// The document in each syntax, as UTF-8 XML (built with libxml2). The
// writers translate and compute nothing; the document must have passed the
// checks of rules.h.
#pragma once

#include <string>
#include <string_view>

#include "einvoice/document.h"

namespace tarvik::einvoice {

enum class Format {
  kUbl,        // UBL 2.1 Invoice or CreditNote, EN 16931
  kCii,        // UN/CEFACT CII D16B, EN 16931
  kXRechnung,  // UBL 2.1 with the XRechnung profile's identifiers and fields
  kFacturX,    // the invoice PDF (PDF/A-3) with the CII attached (facturx.h)
};

// "ubl", "cii", "xrechnung", "facturx"; false for other names.
bool ParseFormat(std::string_view name, Format* format);
std::string_view FormatName(Format format);
// The file name extension: ".xml" or ".pdf".
std::string_view FormatExtension(Format format);

std::string WriteUbl(const Document& document);
std::string WriteCii(const Document& document);
std::string WriteXRechnung(const Document& document);

}  // namespace tarvik::einvoice
