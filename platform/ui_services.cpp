#include "platform/ui_services.h"

#include <atomic>
#include <iterator>
#include <memory>
#include <utility>

#include "platform/ui_environment.h"

namespace tarvik {

namespace {

// Answers of each button set, in button order; the default-button bits of
// the style pick one of them.
struct ButtonSet {
  int answers[3];
  int count;
};

constexpr ButtonSet kButtonSets[] = {
    {{kIdOk}, 1},                  // 0 OK
    {{kIdOk, kIdCancel}, 2},       // 1 OK, Cancel
    {{3, 4, 5}, 3},                // 2 Abort, Retry, Ignore
    {{kIdYes, kIdNo, kIdCancel}, 3},  // 3 Yes, No, Cancel
    {{kIdYes, kIdNo}, 2},          // 4 Yes, No
    {{4, kIdCancel}, 2},           // 5 Retry, Cancel
};

// Chosen once, on the first box or pointer change of the process.
UiServices& ProcessDefaultUi() {
  static const std::unique_ptr<UiServices> ui = MakeDefaultUi();
  return *ui;
}

std::atomic<UiServices*> g_installed{nullptr};

}  // namespace

int DefaultAnswer(int style) {
  const int buttons = style & 0xF;
  if (buttons >= static_cast<int>(std::size(kButtonSets))) return kIdOk;
  const ButtonSet& set = kButtonSets[buttons];
  int index = (style >> 8) & 0x3;
  if (index >= set.count) index = 0;
  return set.answers[index];
}

UiServices& Ui() {
  UiServices* ui = g_installed.load();
  return ui ? *ui : ProcessDefaultUi();
}

void InstallUi(UiServices* ui) { g_installed.store(ui); }

int NonInteractiveUi::MessageBox(const std::string&, int style, const std::string&) {
  return DefaultAnswer(style);
}

std::optional<std::string> NonInteractiveUi::InputBox(const std::string&, const std::string&,
                                                      const std::string&) {
  return std::nullopt;
}

std::string NonInteractiveUi::AppTitle() { return kApplicationTitle; }

void ScriptedUi::SetAnswers(std::vector<Answer> answers) {
  answers_ = std::move(answers);
  next_ = 0;
}

void ScriptedUi::SetListener(std::function<void(const UiEvent&)> listener) {
  listener_ = std::move(listener);
}

// Every box consumes one queued answer, even a mismatched one, so a script
// that expected a different box does not shift all later answers onto the
// wrong boxes silently: the mismatch shows as default answers instead.
int ScriptedUi::MessageBox(const std::string& text, int style, const std::string& title) {
  int answer = DefaultAnswer(style);
  if (next_ < answers_.size()) {
    const Answer& a = answers_[next_++];
    if (a.is_button) answer = a.button;
  }
  UiEvent ev{UiEvent::kMessageBox, text, style, title, {}, answer, std::nullopt};
  events_.push_back(ev);
  if (listener_) listener_(ev);
  return answer;
}

std::optional<std::string> ScriptedUi::InputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& default_text) {
  std::optional<std::string> input;
  if (next_ < answers_.size()) {
    const Answer& a = answers_[next_++];
    if (!a.is_button) input = a.text;
  }
  UiEvent ev{UiEvent::kInputBox, prompt, 0, title, default_text, 0, input};
  events_.push_back(ev);
  if (listener_) listener_(ev);
  return input;
}

std::string ScriptedUi::AppTitle() { return kApplicationTitle; }

}  // namespace tarvik
