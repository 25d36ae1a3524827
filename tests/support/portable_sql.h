// SQL the tests need for their own set-up and checks, spelled for whichever
// backend a database argument names, so one test runs on both.
#pragma once

#include <string>

namespace tarvik::testing {

// A row trigger on `table` that makes every `event` ("INSERT", "UPDATE")
// fail with `message`; `when` (a condition on NEW, or empty) narrows it.
void InstallRefusingTrigger(const std::string& database, const std::string& table, const std::string& event,
                            const std::string& message, const std::string& when = "");

// Today's local date as yyyy-mm-dd, the form a date column reads back in.
std::string TodayIso();

}  // namespace tarvik::testing
