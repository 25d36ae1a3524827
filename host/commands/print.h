// `tarvik print N [--out FILE.pdf] [--force] [--printer NAME] [--generate-only]`:
// fills the report tables for invoice N through the Invoice object and has
// the report component render them. Prints the path of the PDF written;
// --generate-only stops after the report tables and writes no file. An
// existing file is replaced only with --force, and never the database.
#pragma once

#include <string>

namespace tarvik::host {

struct PrintRequest {
  std::string invoice_no;
  std::string out;      // empty: "invoice-<N>.pdf" in the current folder
  std::string printer;  // empty: the file only
  bool generate_only = false;
  bool replace = false;  // an existing file at `out` may be replaced
};

struct PrintOutcome {
  bool printed = false;
  std::string file;     // the PDF written (empty for generate-only)
  std::string message;  // why not, when !printed
  bool no_write_access = false;
};

// The folder holding the shipped layouts: "reports" beside the executable
// or one level up (the build tree); empty when neither has invoice.layout,
// which leaves the component to its compiled-in default.
std::string ShippedReportDir();

// Prints one invoice on `database`. Errors the component raises while
// setting up come as AutomationError; a False from PrintInvoice is an
// outcome with the Invoice's message.
PrintOutcome PrintOneInvoice(const std::string& database, const PrintRequest& request);

// As PrintOneInvoice, with a database the user may not write to as an
// outcome that says so instead of an exception.
PrintOutcome PrintInvoiceReportingAccess(const std::string& database, const PrintRequest& request);

}  // namespace tarvik::host
