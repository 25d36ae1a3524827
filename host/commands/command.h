// One `tarvik` command: its name and summary for the help, the options it
// adds to its own subcommand, the UI services it runs with and its run.
// main.cpp keeps the table of commands; exactly one runs per invocation.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ui_services.h"

namespace CLI {
class App;
}

namespace tarvik::host {

class ProgressLine;

// What every command may read: the top-level options, filled in by the
// parse before any command runs, and the progress line the long jobs feed.
struct HostContext {
  std::string database = "tarvik.db";
  std::optional<std::string> answers;  // --answers, a JSON list
  ProgressLine& progress;
};

// Exit codes of every command.
constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;      // not carried out: not found, declined, refused
constexpr int kExitUsage = 2;        // the command line was refused
constexpr int kExitUnavailable = 3;  // the database could not be opened

// A failure the user can act on; printed as "tarvik: <message>".
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Command {
 public:
  virtual ~Command() = default;

  virtual std::string_view name() const = 0;
  virtual std::string_view summary() const = 0;
  // Adds the command's own options and arguments to its subcommand.
  virtual void AddOptions(CLI::App& command) = 0;

  // The command posts: it finishes the call in progress on Ctrl-C and the
  // like instead of simply ending.
  virtual bool Writes() const { return false; }
  // The UI services to install while the command runs; the default answers
  // from --answers or the terminal. nullptr: the command brings its own.
  virtual std::unique_ptr<UiServices> MakeUi(const HostContext& context);

  // Results to out, messages to err; the exit code.
  virtual int Run(std::ostream& out, std::ostream& err) = 0;
};

}  // namespace tarvik::host
