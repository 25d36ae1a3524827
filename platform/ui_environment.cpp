#include "platform/ui_environment.h"

#include <utility>

#include "platform/error.h"
#include "platform/ui_answers.h"
#include "platform/ui_platform.h"

namespace tarvik {

namespace {

std::optional<std::string> Variable(const char* name) {
  std::optional<std::string> value = ui_platform::EnvironmentText(name);
  if (value && value->empty()) value.reset();
  return value;
}

}  // namespace

UiEnvironment ReadUiEnvironment() { return {Variable(kUiAnswersVariable), Variable(kUiLogVariable)}; }

std::vector<ScriptedUi::Answer> EnvironmentAnswers(const UiEnvironment& environment,
                                                   const UiReporter& report) {
  if (!environment.answers) return {};
  try {
    return ParseUiAnswers(*environment.answers);
  } catch (const AutomationError& e) {
    const std::string message = std::string(kUiAnswersVariable) +
                                " ignored, every box takes its default: " + e.description();
    if (report) {
      report(message);
    } else {
      ui_platform::ReportProblem(message);
    }
    return {};
  }
}

EnvironmentUi::EnvironmentUi(const UiEnvironment& environment, UiReporter report) {
  if (environment.log && !environment.log->empty()) log_.emplace(*environment.log, report);
  scripted_.SetAnswers(EnvironmentAnswers(environment, report));
  scripted_.SetListener([this](const UiEvent& e) { Record(e); });
}

void EnvironmentUi::SetListener(std::function<void(const UiEvent&)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

// The boxes are logged as they are answered, not kept.
int EnvironmentUi::MessageBox(const std::string& text, int style, const std::string& title) {
  std::lock_guard lock(mutex_);
  const int answer = scripted_.MessageBox(text, style, title);
  scripted_.ClearEvents();
  return answer;
}

std::optional<std::string> EnvironmentUi::InputBox(const std::string& prompt,
                                                   const std::string& title,
                                                   const std::string& default_text) {
  std::lock_guard lock(mutex_);
  std::optional<std::string> input = scripted_.InputBox(prompt, title, default_text);
  scripted_.ClearEvents();
  return input;
}

void EnvironmentUi::Record(const UiEvent& e) {
  if (log_) log_->Append(e);
  if (listener_) listener_(e);
}

std::unique_ptr<EnvironmentUi> MakeEnvironmentUi() {
  const UiEnvironment environment = ReadUiEnvironment();
  if (!environment.chosen()) return nullptr;
  return std::make_unique<EnvironmentUi>(environment);
}

std::unique_ptr<UiServices> MakeDefaultUi() {
  if (std::unique_ptr<UiServices> ui = MakeEnvironmentUi()) return ui;
  return ui_platform::MakePlatformUi();
}

}  // namespace tarvik
