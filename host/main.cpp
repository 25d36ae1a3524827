// tarvik: the suite program that opens the database, installs UI services,
// creates the invoicing objects by program id and drives them by name.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "data/backend.h"
#include "host/commands/commands.h"
#include "host/ui/stop_signals.h"
#include "host/server_library.h"
#include "host/ui/terminal_ui.h"
#include "platform/error.h"
#include "platform/ui_services.h"

namespace tarvik::host {
namespace {

using MakeCommand = std::unique_ptr<Command> (*)(const HostContext&);

// The commands in the order the help lists them.
constexpr MakeCommand kCommands[] = {
    MakeInitCommand,     MakeRegisterCommand, MakeUnregisterCommand, MakeScriptCommand,
    MakeInfoCommand,     MakeNextNumberCommand, MakeListCommand,     MakeShowCommand,
    MakeEditCommand,     MakeDeleteCommand,   MakeCreateCommand,     MakeBackOrderCommand,
    MakeDemoCommand,     MakePrintCommand,    MakeCheckCommand,
};

// Database URIs given on the command line: their passwords are kept out of
// every message.
std::vector<std::string> given_uris;

std::string Shown(std::string message) {
  for (const std::string& uri : given_uris) message = data::WithoutPasswords(std::move(message), uri);
  return message;
}

// The process list shows the arguments as they stand in argv: a password
// there is overwritten once the options are read (it is still visible to
// whoever looks in the moment before; PGPASSWORD or ~/.pgpass keep it off
// the command line altogether, docs/security.md).
void KeepUrisAndHidePasswords(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const std::size_t scheme = arg.find("://");
    if (scheme == std::string::npos) continue;
    std::size_t start = arg.find('=');
    start = start != std::string::npos && start < scheme ? start + 1 : 0;
    const std::string uri = arg.substr(start);
    given_uris.push_back(uri);
    const std::string hidden = data::RedactedUri(uri);
    if (hidden == uri) continue;
    std::string shown = arg.substr(0, start) + hidden;
    shown.resize(arg.size(), ' ');
    std::copy(shown.begin(), shown.end(), argv[i]);
  }
}

// Runs the command with its UI services installed; any exception it lets
// out ends it with "tarvik: <message>" and exit code 1.
int RunCommand(Command& command, const HostContext& context) {
  try {
    std::unique_ptr<UiServices> ui = command.MakeUi(context);
    std::optional<HostUi> installed;
    if (ui) installed.emplace(ui.get());
    return command.Run(std::cout, std::cerr);
  } catch (const AutomationError& e) {
    std::cerr << "tarvik: " << Shown(e.description()) << " (error " << e.number() << ")\n";
  } catch (const std::exception& e) {
    std::cerr << "tarvik: " << Shown(e.what()) << "\n";
  }
  return 1;
}

int Main(int argc, char** argv) {
  CLI::App app{"tarvik: invoicing for the order-processing suite"};
  app.require_subcommand(1);
  // Top-level options may also follow the command.
  app.fallthrough();
  ProgressLine progress(std::cerr, isatty(STDERR_FILENO) == 1);
  HostContext context{.progress = progress};
  app.add_option("--db", context.database,
                 "Database: a SQLite file (or sqlite:PATH) or a postgresql:// URI")
      ->capture_default_str();
  app.add_option("--answers", context.answers,
                 "Answer boxes from this JSON list instead of asking: numbers are buttons, "
                 "texts answer input boxes, null cancels");

  std::vector<std::pair<CLI::App*, std::unique_ptr<Command>>> commands;
  for (MakeCommand make : kCommands) {
    std::unique_ptr<Command> command = make(context);
    CLI::App* sub = app.add_subcommand(std::string(command->name()), std::string(command->summary()));
    command->AddOptions(*sub);
    commands.emplace_back(sub, std::move(command));
  }

  CLI11_PARSE(app, argc, argv);
  KeepUrisAndHidePasswords(argc, argv);

  Command* chosen = nullptr;
  for (auto& [sub, command] : commands) {
    if (sub->parsed()) chosen = command.get();
  }
  if (!chosen) return 0;
  // Commands that post finish the call in progress on Ctrl-C and the like;
  // the others may simply end.
  std::optional<StopSignals> stop_signals;
  if (chosen->Writes()) stop_signals.emplace();
  const int status = RunCommand(*chosen, context);
  if (StopRequested()) {
    std::cerr << "tarvik: stopped by " << StopSignalName()
              << " after the current step; what is reported is complete\n";
    return StopExitCode();
  }
  return status;
}

}  // namespace
}  // namespace tarvik::host

int main(int argc, char** argv) { return tarvik::host::Main(argc, argv); }
