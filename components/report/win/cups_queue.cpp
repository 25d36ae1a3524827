#include "components/report/cups_queue.h"

#include "components/report/layout.h"
#include "platform/error.h"


namespace tarvik::components::report {

int SubmitToPrinter(const std::string& printer, const std::string&, const std::string&) {
  RaiseError(kErrPrinter, "Cannot print to '" + printer + "': this Windows build has no print queue");
}

}  // namespace tarvik::components::report
