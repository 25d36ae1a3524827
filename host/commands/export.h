// `tarvik export [--format F] [--out DIR] [--mark] [--credit] [--force] [NUMBERS...]`:
// the electronic invoices of the export selection (or of the numbers given),
// one file per document. Every document is loaded and checked before any
// file is written; one that lacks what the norm requires refuses the whole
// run. With --mark the invoices are marked exported (Export_Date today,
// Export_Flag 0) through the component's header update once every file is
// in place, all in one transaction; when a mark fails none stays and the
// files written are removed again.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "einvoice/rules.h"
#include "einvoice/writers.h"

namespace tarvik::host {

struct ExportRequest {
  einvoice::Format format = einvoice::Format::kUbl;
  std::string out_dir;                 // empty: the current folder
  std::vector<std::int64_t> numbers;   // empty: the export selection
  bool credit_notes = false;           // numbers (and the selection) are credit notes
  bool mark = false;
  bool replace = false;                // existing files may be replaced
};

struct ExportedFile {
  std::int64_t number = 0;
  std::string file;  // absolute
};

struct ExportOutcome {
  std::vector<ExportedFile> files;
  std::optional<double> export_date;  // the day marked, when marked
};

// The documents that lack what the norm requires; nothing was written or marked.
struct ExportRefused : std::runtime_error {
  struct Breach {
    std::int64_t number = 0;
    einvoice::RuleBreach breach;
  };
  ExportRefused(const std::string& message, std::vector<Breach> found)
      : std::runtime_error(message), breaches(std::move(found)) {}
  std::vector<Breach> breaches;
};

// "invoice-7.xml", "invoice-7.pdf", "credit-note-2.xml".
std::string ExportFileName(bool credit_note, std::int64_t number, einvoice::Format format);

// Runs one export on `database`. Throws ExportRefused, NoWriteAccess,
// AutomationError (the component's and the loader's errors) or
// std::runtime_error; whatever it throws, no file of its own stays and
// nothing is marked.
ExportOutcome ExportDocuments(const std::string& database, const ExportRequest& request);

}  // namespace tarvik::host
