// Message boxes and input boxes as prompts on a terminal. A box prints its
// title, its text and its buttons, then reads one line: a button's name,
// its first letter or its number; an empty line takes the default button.
// An input box shows the default text in brackets; an empty line keeps it,
// end of input (Ctrl-D) cancels.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui_services.h"

namespace tarvik::host {

class TerminalUi : public UiServices {
 public:
  TerminalUi(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::string AppTitle() override { return kApplicationTitle; }

 private:
  std::istream& in_;
  std::ostream& out_;
};

// The services a command runs with: a ScriptedUi when answers were given on
// the command line; else the environment's unattended services when
// TARVIK_UI_ANSWERS or TARVIK_UI_LOG is set (platform/ui_environment.h); else
// the terminal when standard input is a terminal, else NonInteractiveUi.
// Boxes answered from a queue are echoed to stderr as JSON event lines so a
// batch run still shows what was asked, and appended to TARVIK_UI_LOG when
// it is set.
std::unique_ptr<UiServices> MakeCommandUi(const std::optional<std::string>& answers_json);

// As MakeCommandUi, but without a terminal and without answers the boxes
// take their defaults through an empty queue, so a batch run still echoes
// to stderr what it was asked and what was answered.
std::unique_ptr<UiServices> MakeEchoingCommandUi(const std::optional<std::string>& answers_json);

// One line of progress on a terminal, fed by the component's event pumps:
// a spinner with the count of steps so far and, when the number of items
// is known (or the number of pumps a job makes can be estimated), a bar
// with the percentage done and the time left. Draws nothing unless enabled.
class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // clock: the time source (tests pass their own).
  ProgressLine(std::ostream& out, bool enabled, Clock clock = &std::chrono::steady_clock::now)
      : out_(out), enabled_(enabled), clock_(std::move(clock)) {}
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts a task; items 0 means unknown (spinner only); done of them are
  // behind already (a task in several parts keeps one bar).
  // The count of steps starts again with every task.
  void Begin(const std::string& label, int items = 0, int done = 0);
  // Names what the current task is doing now; its bar and count stay.
  void Relabel(const std::string& label);
  // The current task makes about `pumps` event pumps: each pump is a step
  // of its bar (held below 100% until the task ends).
  void ExpectPumps(int pumps);
  void Pump();
  void ItemDone();
  // Erases the line (before a box, or when the task ends).
  void Clear();
  int pumps() const { return pumps_; }

 private:
  void Draw();
  // Seconds still to go at the recent pace; nullopt before there is one.
  std::optional<double> TimeLeft(double fraction);

  std::ostream& out_;
  bool enabled_;
  bool shown_ = false;
  std::string label_;
  int items_ = 0;
  int done_ = 0;
  int pumps_ = 0;
  int expected_pumps_ = 0;
  Clock clock_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point drawn_;
  // (time, fraction done) of recent drawings: the time left follows the
  // recent pace, since a run's phases go at very different speeds (lines
  // are copied in one transaction, stock is relieved one commit per invoice).
  std::deque<std::pair<std::chrono::steady_clock::time_point, double>> pace_;
};

// Forwards everything to inner; an event pump also moves the progress line,
// and the line is erased before any box so prompts stand on their own.
// After a stop was asked (stop_signals.h) boxes are no longer shown: Yes/No
// questions are answered No, other boxes take their default, input boxes
// are cancelled, each noted on standard error.
class ProgressUi : public UiServices {
 public:
  ProgressUi(std::unique_ptr<UiServices> inner, ProgressLine& line)
      : inner_(std::move(inner)), line_(line) {}

  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  void DoEvents() override;
  void SetMousePointer(int pointer) override { inner_->SetMousePointer(pointer); }
  std::string AppTitle() override { return inner_->AppTitle(); }

  // The host's own words before a box (the answer is not yet set), written
  // to standard error ahead of the box itself; "" adds nothing.
  using Note = std::function<std::string(const UiEvent& box)>;
  void SetNote(Note note) { note_ = std::move(note); }
  // What an input box offers as its default when the answer is typed on the
  // terminal, in place of the box's own; nullopt keeps the box's. Queued
  // and batch answers, and the boxes echoed, keep the box's own default.
  using Offer = std::function<std::optional<std::string>(const UiEvent& box)>;
  void SetTerminalOffer(Offer offer) { offer_ = std::move(offer); }
  UiServices& inner() { return *inner_; }

 private:
  void WriteNote(const UiEvent& box);

  std::unique_ptr<UiServices> inner_;
  ProgressLine& line_;
  Note note_;
  Offer offer_;
  bool stop_shown_ = false;
};

}  // namespace tarvik::host
