// Unattended runs chosen by the environment, for processes whose host
// installs no UI services of its own (a script host on Windows, a batch job):
//   TARVIK_UI_ANSWERS  a JSON list of answers (ui_answers.h), taken in order;
//                      once it runs out, boxes take their default button and
//                      input boxes are cancelled.
//   TARVIK_UI_LOG      a file that gets one event line per box, appended
//                      (ui_event_log.h).
// Either variable alone is enough; without a list every box takes its
// default. An empty variable counts as unset, as on Windows.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_event_log.h"
#include "platform/ui_services.h"

namespace tarvik {

inline constexpr const char* kUiAnswersVariable = "TARVIK_UI_ANSWERS";
inline constexpr const char* kUiLogVariable = "TARVIK_UI_LOG";

// What the two variables hold; nullopt when unset or empty.
struct UiEnvironment {
  std::optional<std::string> answers;
  std::optional<std::string> log;
  bool chosen() const { return answers.has_value() || log.has_value(); }
};
UiEnvironment ReadUiEnvironment();

// The environment's answer list. One that is not a list of answers is
// reported (once, here) and read as empty, so every box takes its default.
std::vector<ScriptedUi::Answer> EnvironmentAnswers(const UiEnvironment& environment,
                                                   const UiReporter& report = {});

// A ScriptedUi fed by the environment's answers, logging to its file.
// Problems go to `report` (standard error when given none) once each, and
// the run goes on. Safe to share between threads.
class EnvironmentUi : public UiServices {
 public:
  explicit EnvironmentUi(const UiEnvironment& environment, UiReporter report = {});

  // Also told of every box, after it is logged (the host echoes them).
  void SetListener(std::function<void(const UiEvent&)> listener);

  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::string AppTitle() override { return kApplicationTitle; }

 private:
  void Record(const UiEvent& e);

  std::mutex mutex_;
  ScriptedUi scripted_;
  std::optional<UiEventLog> log_;
  std::function<void(const UiEvent&)> listener_;
};

// EnvironmentUi from the variables when either is set, else nullptr.
std::unique_ptr<EnvironmentUi> MakeEnvironmentUi();

// What Ui() answers before anything is installed: MakeEnvironmentUi() when
// the environment chose it, else the platform's own services (boxes on
// Windows, NonInteractiveUi elsewhere).
std::unique_ptr<UiServices> MakeDefaultUi();

}  // namespace tarvik
