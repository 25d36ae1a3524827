#include "components/report/cups_queue.h"

#include <cups/cups.h>

#include "components/report/layout.h"
#include "platform/error.h"

namespace tarvik::components::report {

int SubmitToPrinter(const std::string& printer, const std::string& file, const std::string& title) {
  const int job = cupsPrintFile(printer.c_str(), file.c_str(), title.c_str(), 0, nullptr);
  if (job <= 0) {
    const char* why = cupsLastErrorString();
    RaiseError(kErrPrinter, "Printer error: printer \"" + printer + "\" refused " + file + ": " +
                        (why && *why ? why : "unknown reason"));
  }
  return job;
}

}  // namespace tarvik::components::report
