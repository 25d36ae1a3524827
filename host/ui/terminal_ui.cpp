#include "host/ui/terminal_ui.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <vector>

#include "host/ui/answers.h"
#include "host/ui/stop_signals.h"
#include "platform/ascii.h"
#include "platform/ui_environment.h"

namespace tarvik::host {
namespace {

struct Button {
  const char* label;
  int id;
};

// Button sets by the low four bits of the style.
const std::array<std::vector<Button>, 6> kButtonSets = {{
    {{"OK", kIdOk}},
    {{"OK", kIdOk}, {"Cancel", kIdCancel}},
    {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}},
    {{"Yes", kIdYes}, {"No", kIdNo}, {"Cancel", kIdCancel}},
    {{"Yes", kIdYes}, {"No", kIdNo}},
    {{"Retry", 4}, {"Cancel", kIdCancel}},
}};

struct Icon {
  int bits;
  const char* label;
};
const std::array<Icon, 4> kIcons = {{
    {kMbCritical, "Error"},
    {kMbQuestion, "Question"},
    {kMbExclamation, "Warning"},
    {kMbInformation, "Information"},
}};

std::string Trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// The button a typed answer names, or -1.
int MatchButton(const std::vector<Button>& buttons, const std::string& typed) {
  std::string t = AsciiLower(typed);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    std::string label = AsciiLower(buttons[i].label);
    if (t == label || t == label.substr(0, 1) || t == std::to_string(i + 1)) {
      return buttons[i].id;
    }
  }
  return -1;
}

// The component ends lines with a bare carriage return, which a terminal
// would take as "back to the start of this line".
std::string ScreenText(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      shown += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      shown += '\n';
    }
  }
  return shown;
}

void PrintHeader(std::ostream& out, const std::string& title) {
  out << "\n== " << (title.empty() ? std::string(kApplicationTitle) : title) << " ==\n";
}

}  // namespace

int TerminalUi::MessageBox(const std::string& text, int style, const std::string& title) {
  const int set = style & 0xF;
  const auto& buttons = kButtonSets[set < static_cast<int>(kButtonSets.size()) ? set : 0];
  std::size_t def = static_cast<std::size_t>((style >> 8) & 0x3);
  if (def >= buttons.size()) def = 0;

  PrintHeader(out_, title);
  for (const auto& icon : kIcons) {
    if ((style & 0x70) == icon.bits) out_ << "[" << icon.label << "] ";
  }
  out_ << ScreenText(text) << "\n";
  for (;;) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      out_ << (i ? "  " : "") << i + 1 << ") " << buttons[i].label;
    }
    out_ << "  [" << buttons[def].label << "]: " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      in_.clear();
      out_ << "\n";
      return buttons[def].id;
    }
    line = Trim(line);
    if (line.empty()) return buttons[def].id;
    if (int id = MatchButton(buttons, line); id >= 0) return id;
    out_ << "Please answer with one of the buttons.\n";
  }
}

std::optional<std::string> TerminalUi::InputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& default_text) {
  PrintHeader(out_, title);
  out_ << ScreenText(prompt) << "\n";
  if (!default_text.empty()) out_ << "[" << default_text << "] ";
  out_ << "(Ctrl-D cancels): " << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    in_.clear();
    out_ << "\n";
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return default_text;
  return line;
}

namespace {

void EchoEvent(const UiEvent& e) { std::cerr << EventJson(e).dump() << std::endl; }

// The boxes also go to TARVIK_UI_LOG when it is set, as with the
// environment's own answers.
std::unique_ptr<UiServices> EchoingQueue(std::vector<ScriptedUi::Answer> answers) {
  auto ui = std::make_unique<ScriptedUi>();
  ui->SetAnswers(std::move(answers));
  if (std::optional<std::string> path = ReadUiEnvironment().log) {
    ui->SetListener([log = std::make_shared<UiEventLog>(*path)](const UiEvent& e) {
      log->Append(e);
      EchoEvent(e);
    });
  } else {
    ui->SetListener(EchoEvent);
  }
  return ui;
}

std::unique_ptr<UiServices> EchoingEnvironment() {
  std::unique_ptr<EnvironmentUi> ui = MakeEnvironmentUi();
  if (ui) ui->SetListener(EchoEvent);
  return ui;
}

}  // namespace

std::unique_ptr<UiServices> MakeCommandUi(const std::optional<std::string>& answers_json) {
  if (answers_json) return EchoingQueue(ParseAnswersText(*answers_json));
  if (std::unique_ptr<UiServices> ui = EchoingEnvironment()) return ui;
  if (isatty(STDIN_FILENO)) return std::make_unique<TerminalUi>(std::cin, std::cerr);
  return std::make_unique<NonInteractiveUi>();
}

std::unique_ptr<UiServices> MakeEchoingCommandUi(const std::optional<std::string>& answers_json) {
  if (answers_json) return MakeCommandUi(answers_json);
  if (std::unique_ptr<UiServices> ui = EchoingEnvironment()) return ui;
  if (!isatty(STDIN_FILENO)) return EchoingQueue({});
  return MakeCommandUi(answers_json);
}

// --- Progress ------------------------------------------------------------------

namespace {

constexpr std::array<char, 4> kSpinner = {'|', '/', '-', '\\'};
constexpr int kBarWidth = 20;
constexpr const char* kEraseLine = "\r\x1b[K";

}  // namespace

void ProgressLine::Begin(const std::string& label, int items, int done) {
  label_ = label;
  items_ = items > 0 ? items : 0;
  done_ = done < 0 ? 0 : (done > items_ ? items_ : done);
  pumps_ = 0;
  expected_pumps_ = 0;
  started_ = clock_();
  pace_.clear();
  Draw();
}

void ProgressLine::Relabel(const std::string& label) {
  label_ = label;
  Draw();
}

void ProgressLine::ExpectPumps(int pumps) {
  expected_pumps_ = pumps > 0 ? pumps : 0;
  pumps_ = 0;
  started_ = clock_();
  pace_.clear();
  Draw();
}

void ProgressLine::Pump() {
  ++pumps_;
  // A long job pumps thousands of times a second; the line follows at a
  // pace a person can read.
  if (enabled_ && clock_() - drawn_ < std::chrono::milliseconds(100)) return;
  Draw();
}

void ProgressLine::ItemDone() {
  if (done_ < items_) ++done_;
  // Thousands of quick items: redraw when the percentage moves or at the
  // reading pace, not for every one.
  const bool same_percent = items_ > 0 && (done_ - 1) * 100 / items_ == done_ * 100 / items_;
  if (enabled_ && same_percent && clock_() - drawn_ < std::chrono::milliseconds(100)) return;
  Draw();
}

void ProgressLine::Clear() {
  if (!shown_) return;
  out_ << kEraseLine << std::flush;
  shown_ = false;
}

namespace {

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  if (s < 60) return std::to_string(s) + "s";
  if (s < 3600) return std::to_string(s / 60) + "m" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60) + "s";
  return std::to_string(s / 3600) + "h" + (s % 3600 / 60 < 10 ? "0" : "") + std::to_string(s % 3600 / 60) + "m";
}

}  // namespace

void ProgressLine::Draw() {
  if (!enabled_) return;
  drawn_ = clock_();
  out_ << kEraseLine << kSpinner[static_cast<std::size_t>(pumps_) % kSpinner.size()] << ' '
       << label_;
  double fraction = -1;
  if (items_ > 0) {
    fraction = static_cast<double>(done_) / items_;
  } else if (expected_pumps_ > 0) {
    fraction = std::min(0.99, static_cast<double>(pumps_) / expected_pumps_);
  }
  if (fraction >= 0) {
    const int filled = static_cast<int>(fraction * kBarWidth);
    out_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] ";
    if (items_ > 0) out_ << done_ << '/' << items_ << ' ';
    out_ << static_cast<int>(fraction * 100) << '%';
    // Past the expected work the end is near but no pace can say when.
    const bool overrun = items_ == 0 && pumps_ >= expected_pumps_;
    if (const auto left = TimeLeft(fraction); left && *left >= 1 && !overrun) out_ << "  about " << Duration(*left) << " left";
  } else if (pumps_ > 0) {
    // Work of unknown size: at least show that it moves.
    out_ << "  " << pumps_ << (pumps_ == 1 ? " step" : " steps");
  }
  out_ << std::flush;
  shown_ = true;
}

std::optional<double> ProgressLine::TimeLeft(double fraction) {
  constexpr auto kWindow = std::chrono::seconds(5);
  pace_.emplace_back(drawn_, fraction);
  while (pace_.size() > 2 && drawn_ - pace_[1].first >= kWindow) pace_.pop_front();
  const double elapsed = std::chrono::duration<double>(drawn_ - started_).count();
  if (fraction <= 0 || fraction >= 1 || elapsed < 1) return std::nullopt;
  const auto& [then, then_fraction] = pace_.front();
  const double span = std::chrono::duration<double>(drawn_ - then).count();
  const double gained = fraction - then_fraction;
  // Too little seen lately to tell a pace: fall back on the average so far.
  if (span < 1 || gained <= 0) return elapsed * (1 - fraction) / fraction;
  return span * (1 - fraction) / gained;
}

// Once a stop is asked, what a box would start (a back order after the
// invoices) is declined without asking: No where the box has it, else its
// default; input boxes are cancelled.
void ProgressUi::WriteNote(const UiEvent& box) {
  if (!note_) return;
  if (const std::string note = note_(box); !note.empty()) std::cerr << note << std::flush;
}

int ProgressUi::MessageBox(const std::string& text, int style, const std::string& title) {
  line_.Clear();
  if (!StopRequested()) {
    WriteNote(UiEvent{UiEvent::kMessageBox, text, style, title});
    return inner_->MessageBox(text, style, title);
  }
  const int buttons = style & 0xF;
  UiEvent e{UiEvent::kMessageBox, text, style, title};
  e.answer = buttons == kMbYesNo || buttons == 3 ? kIdNo : DefaultAnswer(style);
  std::cerr << "tarvik: stopping, not asked: " << EventJson(e).dump() << std::endl;
  return e.answer;
}

std::optional<std::string> ProgressUi::InputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& default_text) {
  line_.Clear();
  if (!StopRequested()) {
    const UiEvent box{UiEvent::kInputBox, prompt, 0, title, default_text};
    WriteNote(box);
    std::optional<std::string> offered;
    if (offer_ && dynamic_cast<TerminalUi*>(inner_.get()) != nullptr) offered = offer_(box);
    return inner_->InputBox(prompt, title, offered.value_or(default_text));
  }
  UiEvent e{UiEvent::kInputBox, prompt, 0, title, default_text};
  std::cerr << "tarvik: stopping, not asked: " << EventJson(e).dump() << std::endl;
  return std::nullopt;
}

void ProgressUi::DoEvents() {
  inner_->DoEvents();
  if (StopRequested() && !stop_shown_) {
    stop_shown_ = true;
    line_.Relabel("Stopping after the current step");
  }
  line_.Pump();
}

}  // namespace tarvik::host
