// tarvik: the suite program that opens the database, installs UI services,
// creates the invoicing objects by program id and drives them by name.
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "host/command_line.h"
#include "data/backend.h"
#include "data/backends/sqlite/sqlite_backend.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/safe_text.h"
#include "host/server_library.h"
#include "host/ui/stop_signals.h"
#include "host/ui/terminal_ui.h"
#include "platform/error.h"
#include "platform/ui_services.h"

namespace tarvik::host {
namespace {

// Answers given on the command line that no box took are named, so a
// queue written for another dialogue does not pass unnoticed.
void WarnUnusedAnswers(UiServices* ui, std::ostream& err) {
  if (auto* progress = dynamic_cast<ProgressUi*>(ui)) ui = &progress->inner();
  auto* queue = dynamic_cast<ScriptedUi*>(ui);
  if (!queue) return;
  const std::vector<ScriptedUi::Answer> unused = queue->Unused();
  if (unused.empty()) return;
  nlohmann::json list = nlohmann::json::array();
  for (const auto& a : unused) {
    if (a.is_button) {
      list.push_back(a.button);
    } else if (a.text) {
      list.push_back(*a.text);
    } else {
      list.push_back(nullptr);
    }
  }
  err << "tarvik: warning: " << unused.size() << (unused.size() == 1 ? " answer was" : " answers were")
      << " not used (no box asked for " << (unused.size() == 1 ? "it" : "them") << "): " << list.dump()
      << "\n";
}

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
// out ends it with "tarvik: <message>" and exit code 1 (3 when the
// database could not be opened).
int RunCommand(Command& command, const HostContext& context) {
  try {
    std::unique_ptr<UiServices> ui = command.MakeUi(context);
    std::optional<HostUi> installed;
    if (ui) installed.emplace(ui.get());
    const int status = command.Run(std::cout, std::cerr);
    if (context.answers) WarnUnusedAnswers(ui.get(), std::cerr);
    return status;
  } catch (const AutomationError& e) {
    std::cerr << "tarvik: " << Shown(e.description()) << " (error " << e.number() << ")\n";
  } catch (const NotOurDatabase& e) {
    std::cerr << "tarvik: " << Shown(e.what()) << "\n";
    return kExitUnavailable;
  } catch (const NoWriteAccess& e) {
    std::cerr << "tarvik: " << Shown(e.what()) << "\n";
    return kExitUnavailable;
  } catch (const std::exception& e) {
    std::cerr << "tarvik: " << Shown(e.what()) << "\n";
  }
  return kExitRefused;
}

int Main(int argc, char** argv) {
  ProgressLine progress(RawStderr(), isatty(STDERR_FILENO) == 1);
  HostContext context{.progress = progress};
  if (const char* db = std::getenv("TARVIK_DB"); db && *db) context.database = db;

  CommandLine line(context);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (std::optional<int> done = line.HandleWithoutCommand(args, std::cout, std::cerr)) return *done;

  Command* chosen = nullptr;
  if (const int status = line.Parse(argc, argv, chosen, std::cout, std::cerr); status >= 0) return status;
  KeepUrisAndHidePasswords(argc, argv);
  if (!context.database.empty()) given_uris.push_back(context.database);
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

int main(int argc, char** argv) {
  tarvik::data::ConfigureSqliteForThisProgram();
  tarvik::host::SafeStandardStreams safe;
  return tarvik::host::Main(argc, argv);
}
