// `tarvik script [FILE]`: JSON Lines requests against the objects, from a
// file or standard input; the driver brings its own UI services. Without
// --answers, TARVIK_UI_ANSWERS fills its first queue; TARVIK_UI_LOG gets
// every box as well as the output.
#include <fstream>
#include <iostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/script/script_driver.h"
#include "host/ui/answers.h"
#include "platform/ui_environment.h"

namespace tarvik::host {
namespace {

class ScriptCommand : public Command {
 public:
  explicit ScriptCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "script"; }
  std::string_view summary() const override {
    return "Run a JSON Lines script against the objects";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("FILE", file_, "Script file (default: standard input)");
  }
  std::unique_ptr<UiServices> MakeUi(const HostContext&) override { return nullptr; }

  int Run(std::ostream& out, std::ostream&) override {
    const UiEnvironment environment = ReadUiEnvironment();
    std::vector<ScriptedUi::Answer> answers =
        context_.answers ? ParseAnswersText(*context_.answers) : EnvironmentAnswers(environment);
    ScriptDriver driver(out, std::move(answers));
    if (environment.log) driver.LogBoxesTo(*environment.log);
    if (file_.empty() || file_ == "-") {
      driver.Run(std::cin);
    } else {
      std::ifstream in(file_);
      if (!in) throw UsageError("script: cannot open " + file_);
      driver.Run(in);
    }
    return 0;
  }

 private:
  const HostContext& context_;
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakeScriptCommand(const HostContext& context) {
  return std::make_unique<ScriptCommand>(context);
}

}  // namespace tarvik::host
