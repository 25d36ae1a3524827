// `tarvik init [DB] [--demo]`: a new database with schema, stored queries,
// options and (--demo) the demo data. Refuses a file or a database that
// already holds something.
#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "data/backend.h"
#include "db/initialize.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/database_info.h"

namespace tarvik::host {
namespace {

class InitCommand : public Command {
 public:
  explicit InitCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "init"; }
  std::string_view summary() const override {
    return "Create a new database: schema, stored queries, options";
  }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--demo", demo_, "Also load the demo data set");
    command.add_option("DB", database_, "Database to create (default: --db)");
  }

  int Run(std::ostream& out, std::ostream&) override {
    const std::string db = database_.empty() ? context_.database : database_;
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
      throw UsageError("init: " + data::RedactedUri(db) + " already holds tables; refusing to initialise it again");
    }
    db::InitializeDatabase(*backend, demo_);
    out << "Created " << backend->DatabaseName() << ": schema, stored queries, options"
        << (demo_ ? " and demo data" : "") << ".\n";
    return 0;
  }

 private:
  const HostContext& context_;
  std::string database_;
  bool demo_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeInitCommand(const HostContext& context) {
  return std::make_unique<InitCommand>(context);
}

}  // namespace tarvik::host
