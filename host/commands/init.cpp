// `tarvik init [DB] [--demo]`: a new database with schema, stored queries,
// options and (--demo) the demo data. A database made by an earlier build
// is upgraded instead; one of another program is refused.
#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "data/backend.h"
#include "db/initialize.h"
#include "db/schema_upgrade.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/database_info.h"
#include "platform/file_access.h"

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
    const auto path = LocalDatabasePath(db);
    if (path && std::filesystem::exists(*path)) return Upgrade(db, out);
    if (path) {
      auto parent = std::filesystem::path(*path).parent_path();
      if (!parent.empty()) CreateFolders(parent);
    }
    auto backend = data::OpenBackend(db);
    if (!ListTables(*backend).empty()) {
      backend.reset();
      return Upgrade(db, out);
    }
    db::InitializeDatabase(*backend, demo_);
    out << "Created " << backend->DatabaseName() << ": schema, stored queries, options"
        << (demo_ ? " and demo data" : "") << ".\n";
    return 0;
  }

 private:
  // A database of this program is brought up to this build's schema, every
  // row kept; anything else is refused.
  int Upgrade(const std::string& db, std::ostream& out) {
    if (demo_) {
      throw UsageError("init: " + data::RedactedUri(db) + " already exists; --demo only fills a new database");
    }
    int from = 0;
    {
      auto reader = OpenForReading(db);
      from = db::SchemaVersion(*reader);
    }
    if (from == 0) {
      throw UsageError("init: " + data::RedactedUri(db) + " already holds tables of another program; refusing to touch it");
    }
    if (from == db::kSchemaVersion) {
      out << data::RedactedUri(db) << " is already at schema version " << from << "; nothing to do.\n";
      return 0;
    }
    // Opening for writing upgrades (and refuses a newer database).
    OpenForWriting(db, nullptr);
    out << "Upgraded " << db << " from schema version " << from << " to " << db::kSchemaVersion
        << "; every row kept.\n";
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
