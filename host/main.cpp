// tarvik: the suite program that opens the database, installs UI services,
// creates the invoicing objects by program id and drives them by name.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "data/backend.h"
#include "db/initialize.h"
#include "host/answers.h"
#include "host/check_command.h"
#include "host/database_info.h"
#include "host/database_open.h"
#include "host/invoice_commands.h"
#include "host/job_commands.h"
#include "host/print_command.h"
#include "host/script_driver.h"
#include "host/server_library.h"
#include "host/stop_signals.h"
#include "host/terminal_ui.h"
#include "platform/class_registry.h"
#include "platform/error.h"
#include "platform/ui_services.h"

namespace tarvik::host {
namespace {

struct Options {
  std::string db = "tarvik.db";
  std::optional<std::string> answers;
  std::string init_db;
  bool demo = false;
  std::string script_file;
  bool json = false;
};

// A failure the user can act on; printed as "tarvik: <message>".
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int Init(const Options& o) {
  const std::string db = o.init_db.empty() ? o.db : o.init_db;
  if (auto path = LocalDatabasePath(db)) {
    if (std::filesystem::exists(*path)) {
      throw UsageError("init: " + *path +
                       " already exists; refusing to overwrite a database (remove it or choose "
                       "another path)");
    }
    auto parent = std::filesystem::path(*path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
  }
  auto backend = data::OpenBackend(db);
  if (!ListTables(*backend).empty()) {
    throw UsageError("init: " + db + " already holds tables; refusing to initialise it again");
  }
  db::InitializeDatabase(*backend, o.demo);
  std::cout << "Created " << backend->DatabaseName() << ": schema, stored queries, options"
            << (o.demo ? " and demo data" : "") << ".\n";
  return 0;
}

int Info(const Options& o) {
  auto backend = OpenBackendForReading(o.db);
  WriteDatabaseInfo(*backend, std::cout, o.json);
  return 0;
}

int Register(bool unregister) {
  const std::string library = ServerLibraryPath();
  if (unregister) {
    UnregisterServer(library);
    std::cout << "Unregistered " << library << " from " << ClassRegistryPath() << "\n";
  } else {
    RegisterServer(library);
    std::cout << "Registered " << library << " in " << ClassRegistryPath() << "\n";
  }
  return 0;
}

int Script(const Options& o) {
  std::vector<ScriptedUi::Answer> answers;
  if (o.answers) answers = ParseAnswersText(*o.answers);
  ScriptDriver driver(std::cout, std::move(answers));
  if (o.script_file.empty() || o.script_file == "-") {
    driver.Run(std::cin);
  } else {
    std::ifstream in(o.script_file);
    if (!in) throw UsageError("script: cannot open " + o.script_file);
    driver.Run(in);
  }
  return 0;
}

int Main(int argc, char** argv) {
  CLI::App app{"tarvik: invoicing for the order-processing suite"};
  app.require_subcommand(1);
  // Top-level options may also follow the command.
  app.fallthrough();
  Options o;
  app.add_option("--db", o.db, "Database: a SQLite file (or sqlite:PATH) or a postgresql:// URI")
      ->capture_default_str();
  app.add_option("--answers", o.answers,
                 "Answer boxes from this JSON list instead of asking: numbers are buttons, "
                 "texts answer input boxes, null cancels");

  auto* init = app.add_subcommand("init", "Create a new database: schema, stored queries, options");
  init->add_flag("--demo", o.demo, "Also load the demo data set");
  init->add_option("DB", o.init_db, "Database to create (default: --db)");

  auto* reg = app.add_subcommand("register", "Register the invoicing classes beside this program");
  auto* unreg = app.add_subcommand("unregister", "Remove the invoicing classes' registration");

  auto* script = app.add_subcommand("script", "Run a JSON Lines script against the objects");
  script->add_option("FILE", o.script_file, "Script file (default: standard input)");

  auto* info = app.add_subcommand("info", "List what a database holds");
  info->add_flag("--json", o.json, "Write JSON instead of tables");

  InvoiceCommands invoices(app, o.db);
  JobCommands jobs(app, o.db);
  PrintCommand print(app, o.db);
  CheckCommand check(app, o.db);

  CLI11_PARSE(app, argc, argv);

  // Commands that post finish the call in progress on Ctrl-C and the like;
  // the others may simply end.
  std::optional<StopSignals> stop_signals;
  if (invoices.Writes() || jobs.parsed() || print.parsed() || (check.parsed() && check.repairs())) {
    stop_signals.emplace();
  }
  auto run = [&]() -> int {
    try {
      // Commands that may show boxes run with the chosen UI in place; the
      // script driver brings its own.
      std::unique_ptr<UiServices> ui;
      std::optional<HostUi> installed;
      if (!script->parsed()) {
        ui = invoices.ConfirmationUi();
        if (!ui) ui = jobs.CommandUi(o.answers);
        if (!ui) ui = MakeCommandUi(o.answers);
        installed.emplace(ui.get());
      }

      if (init->parsed()) return Init(o);
      if (reg->parsed()) return Register(false);
      if (unreg->parsed()) return Register(true);
      if (script->parsed()) return Script(o);
      if (info->parsed()) return Info(o);
      if (auto status = invoices.Run(std::cout, std::cerr)) return *status;
      if (auto status = jobs.Run(std::cout, std::cerr)) return *status;
      if (auto status = print.Run(std::cout, std::cerr)) return *status;
      if (auto status = check.Run(std::cout, std::cerr)) return *status;
    } catch (const UsageError& e) {
      std::cerr << "tarvik: " << e.what() << "\n";
      return 1;
    } catch (const AutomationError& e) {
      std::cerr << "tarvik: " << e.description() << " (error " << e.number() << ")\n";
      return 1;
    } catch (const std::exception& e) {
      std::cerr << "tarvik: " << e.what() << "\n";
      return 1;
    }
    return 0;
  };
  const int status = run();
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
