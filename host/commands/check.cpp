// `tarvik check [--repair] [--json]`: whether the books hold postings an
// interrupted run left unfinished. Without --repair it only reads (the
// database opened read-only) and exits 1 when something is unfinished;
// with --repair it opens the books for writing, which completes them, says
// what was done and exits 0.
#include <cstdint>
#include <ostream>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "db/books_recovery.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

std::string Numbers(const std::vector<std::int64_t>& numbers) {
  if (numbers.empty()) return "none";
  std::string text;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    text += (i ? ", " : "") + std::to_string(numbers[i]);
  }
  return text;
}

class CheckCommand : public Command {
 public:
  explicit CheckCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "check"; }
  std::string_view summary() const override {
    return "Find postings an interrupted run left unfinished (exit 1 when there are)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--repair", repair_,
                     "Complete them (opens the database for writing; exit 0 when done)");
    command.add_flag("--json", json_, "Write one JSON document");
  }
  bool Writes() const override { return repair_; }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] { return repair_ ? Repair(out) : Check(out); });
  }

 private:
  int Check(std::ostream& out);
  int Repair(std::ostream& out);

  const HostContext& context_;
  bool repair_ = false;
  bool json_ = false;
};

int CheckCommand::Check(std::ostream& out) {
  auto connection = OpenForReading(context_.database);
  const db::PostingCheck check = db::CheckPostings(*connection);
  if (json_) {
    out << ojson{{"ok", true},
                 {"database", connection->DatabaseName()},
                 {"clean", check.clean()},
                 {"unrelieved", check.unrelieved},
                 {"abandoned", check.abandoned},
                 {"orders_pending", check.orders_pending}}
               .dump(2)
        << "\n";
    return check.clean() ? 0 : 1;
  }
  const std::string name = connection->DatabaseName();
  if (check.clean()) {
    out << name << ": every posting is complete.\n";
    return 0;
  }
  out << name << ": an interrupted run left postings unfinished.\n";
  WriteFields(out, {
      {"Invoices saved, stock not relieved", Numbers(check.unrelieved)},
      {"Invoices half undone", Numbers(check.abandoned)},
      {"Orders whose status was not posted", std::to_string(check.orders_pending)},
  });
  out << "Complete them with: tarvik check --repair (any command that writes does it too)\n";
  return 1;
}

int CheckCommand::Repair(std::ostream& out) {
  const RepairedOpen opened = OpenAndRepair(context_.database);
  const db::PostingRepair& repair = opened.repair;
  if (json_) {
    out << ojson{{"ok", true},
                 {"database", opened.connection->DatabaseName()},
                 {"repaired", !repair.nothing_done()},
                 {"relieved", repair.relieved},
                 {"removed", repair.removed},
                 {"orders_restated", repair.orders_restated}}
               .dump(2)
        << "\n";
    return 0;
  }
  const std::string name = opened.connection->DatabaseName();
  if (repair.nothing_done()) {
    out << name << ": nothing to repair; every posting is complete.\n";
  } else {
    out << name << ": " << db::Describe(repair) << "\n";
  }
  return 0;
}

}  // namespace

std::unique_ptr<Command> MakeCheckCommand(const HostContext& context) {
  return std::make_unique<CheckCommand>(context);
}

}  // namespace tarvik::host
