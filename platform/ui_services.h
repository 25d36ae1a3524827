// User-interface services the component needs from its host: modal message
// box, input box, the event pump, the mouse pointer and the application
// title. The host installs one implementation per process; until it does,
// the process default is in place: unattended answers when the environment
// asks for them (ui_environment.h), else the platform's own services (real
// boxes on Windows, NonInteractiveUi elsewhere).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// Message box buttons and answers.
constexpr int kMbOk = 0;
constexpr int kMbYesNo = 4;
constexpr int kMbCritical = 16;
constexpr int kMbQuestion = 32;
constexpr int kMbExclamation = 48;
constexpr int kMbInformation = 64;
constexpr int kMbDefaultButton2 = 256;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

constexpr int kPointerDefault = 0;
constexpr int kPointerBusy = 11;

class UiServices {
 public:
  virtual ~UiServices() = default;
  // Shows a modal box; returns the button pressed (kIdOk, kIdYes, kIdNo...).
  virtual int MessageBox(const std::string& text, int style, const std::string& title) = 0;
  // Shows an input box; nullopt when Cancel is pressed.
  virtual std::optional<std::string> InputBox(const std::string& prompt,
                                              const std::string& title,
                                              const std::string& default_text) = 0;
  // Lets the host's event loop run once.
  virtual void DoEvents() = 0;
  virtual void SetMousePointer(int pointer) = 0;
  virtual std::string AppTitle() = 0;
};

// The default button of a style: Yes for Yes/No boxes unless the second
// button is the default, OK otherwise.
int DefaultAnswer(int style);

// Process-wide current services. Install(nullptr) restores the default.
UiServices& Ui();
void InstallUi(UiServices* ui);

// Takes the default button of every box, cancels every input box; records
// nothing. The default outside Windows when no host installed anything
// (batch runs).
class NonInteractiveUi : public UiServices {
 public:
  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::string AppTitle() override;
};

// A recorded box, for scripted runs and tests.
struct UiEvent {
  enum Kind { kMessageBox, kInputBox } kind;
  std::string text;   // message or prompt
  int style = 0;      // message box only
  std::string title;
  std::string default_text;           // input box only
  int answer = 0;                     // message box answer
  std::optional<std::string> input;   // input box answer, nullopt = Cancel
};

// Answers from a queue: an int answers a message box, a text or nullopt an
// input box; an empty queue (or a mismatched entry) takes the default button
// and cancels input boxes. Every box is recorded and passed to the listener.
class ScriptedUi : public UiServices {
 public:
  struct Answer {
    bool is_button = true;
    int button = 0;
    std::optional<std::string> text;
  };
  void SetAnswers(std::vector<Answer> answers);
  void SetListener(std::function<void(const UiEvent&)> listener);
  const std::vector<UiEvent>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  int pointer() const { return pointer_; }
  int pumps() const { return pumps_; }
  // The answers no box has taken yet.
  std::vector<Answer> Unused() const {
    return next_ < answers_.size() ? std::vector<Answer>(answers_.begin() + static_cast<long>(next_), answers_.end())
                                   : std::vector<Answer>{};
  }

  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void DoEvents() override { ++pumps_; }
  void SetMousePointer(int pointer) override { pointer_ = pointer; }
  std::string AppTitle() override;

 private:
  std::vector<Answer> answers_;
  std::size_t next_ = 0;
  std::vector<UiEvent> events_;
  std::function<void(const UiEvent&)> listener_;
  int pointer_ = 0;
  int pumps_ = 0;
};

// The application title shown on error boxes.
inline constexpr const char* kApplicationTitle = "Tarvik Invoicing";

}  // namespace tarvik
