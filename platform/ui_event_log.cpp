#include "platform/ui_event_log.h"

#include <utility>

#include "platform/ui_answers.h"
#include "platform/ui_platform.h"

namespace tarvik {

UiEventLog::UiEventLog(std::string path, UiReporter report)
    : path_(std::move(path)), report_(std::move(report)) {
  if (!report_) report_ = ui_platform::ReportProblem;
}

void UiEventLog::Append(const UiEvent& e) {
  std::string why;
  if (ui_platform::AppendLine(path_, UiEventLine(e), &why) || failed_) return;
  failed_ = true;
  report_("cannot append to the box log " + path_ + ": " + why);
}

}  // namespace tarvik
