// What each operating system supplies to the UI services; implemented in
// platform/posix/ and platform/win/. Internal to the runtime.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui_services.h"

namespace tarvik::ui_platform {

// The services of a process with nothing installed and nothing chosen by the
// environment.
std::unique_ptr<UiServices> MakePlatformUi();

// An environment variable's value as UTF-8; nullopt when unset.
std::optional<std::string> EnvironmentText(const char* name);

// Appends `line` and a line end to the file (UTF-8 path) with one write,
// creating it when missing. False with the reason in *why when it cannot.
bool AppendLine(const std::string& path, std::string_view line, std::string* why);

// Tells whoever watches the process about a problem no caller can be told of.
void ReportProblem(const std::string& message);

}  // namespace tarvik::ui_platform
