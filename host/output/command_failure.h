// How the job commands end when something goes wrong: the message on
// standard error as "tarvik: <text>" (with "(error N)" for an error the
// component raised) and, for --json, an {"ok": false, ...} document on
// standard output; exit code 1.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace tarvik::host {

int Fail(std::ostream& out, std::ostream& err, bool json, std::int32_t number,
         const std::string& text);

// Runs body and turns any exception it throws into Fail.
int RunReportingFailure(std::ostream& out, std::ostream& err, bool json,
                        const std::function<int()>& body);

}  // namespace tarvik::host
