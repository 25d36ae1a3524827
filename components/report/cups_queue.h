// Hands a finished PDF to a CUPS print queue.
#pragma once

#include <string>

namespace tarvik::components::report {

// Submits the file to the named queue; returns the job id. A refused job
// raises AutomationError 482 ("Printer error") with what CUPS said.
int SubmitToPrinter(const std::string& printer, const std::string& file, const std::string& title);

}  // namespace tarvik::components::report
