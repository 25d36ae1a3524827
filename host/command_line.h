// The command line of `tarvik`: the table of commands, the overview and
// per-command help, unknown commands with a suggestion, the version, and
// the generated bash completion and man page, all from the one table.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/commands/command.h"

namespace CLI {
class App;
}

namespace tarvik::host {

class CommandLine {
 public:
  explicit CommandLine(HostContext& context);
  ~CommandLine();

  // What is answered without running a command: no command, `help [CMD]`,
  // --help, --version, an unknown command, the generated files. nullopt:
  // a command is to be parsed.
  std::optional<int> HandleWithoutCommand(const std::vector<std::string>& args, std::ostream& out,
                                          std::ostream& err);
  // Parses the line; -1 with `chosen` set when a command is to run, else
  // the exit code (help shown, or the line refused).
  int Parse(int argc, char** argv, Command*& chosen, std::ostream& out, std::ostream& err);

  void WriteOverview(std::ostream& out) const;
  void WriteBashCompletion(std::ostream& out) const;
  void WriteManPage(std::ostream& out) const;

 private:
  CLI::App* Find(const std::string& name) const;
  std::string Suggest(const std::string& typed) const;

  std::unique_ptr<CLI::App> app_;
  std::vector<std::pair<CLI::App*, std::unique_ptr<Command>>> commands_;
  std::size_t daily_ = 0;  // the first ones, listed a line each in the overview
};

// Edit distance of two short words (suggestions for mistyped commands).
std::size_t EditDistance(const std::string& a, const std::string& b);

}  // namespace tarvik::host
