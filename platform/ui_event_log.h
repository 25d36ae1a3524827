// A file that gets one event line (ui_answers.h) per box shown, appended,
// UTF-8. The file is opened for each line and the line written whole, so
// several processes and objects can share one log.
#pragma once

#include <functional>
#include <string>

#include "platform/ui_services.h"

namespace tarvik {

// Where a problem no caller can be told of is said (standard error when
// given none).
using UiReporter = std::function<void(const std::string& message)>;

class UiEventLog {
 public:
  // `path` is UTF-8.
  explicit UiEventLog(std::string path, UiReporter report = {});

  // A line that cannot be written is reported the first time only; later
  // boxes try again, so a folder created meanwhile still gets the rest.
  void Append(const UiEvent& e);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  UiReporter report_;
  bool failed_ = false;
};

}  // namespace tarvik
