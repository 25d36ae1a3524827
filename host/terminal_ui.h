// Message boxes and input boxes as prompts on a terminal. A box prints its
// title, its text and its buttons, then reads one line: a button's name,
// its first letter or its number; an empty line takes the default button.
// An input box shows the default text in brackets; an empty line keeps it,
// end of input (Ctrl-D) cancels.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

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
// the command line, the terminal when standard input is a terminal, else
// NonInteractiveUi. Boxes answered from a queue are echoed to stderr as JSON
// event lines so a batch run still shows what was asked.
std::unique_ptr<UiServices> MakeCommandUi(const std::optional<std::string>& answers_json);

}  // namespace tarvik::host
