#include "host/check_command.h"

#include <cstdint>
#include <ostream>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "db/books_recovery.h"
#include "host/command_failure.h"
#include "host/database_open.h"
#include "host/table_output.h"

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

}  // namespace

CheckCommand::CheckCommand(CLI::App& app, const std::string& database) : database_(database) {
  command_ = app.add_subcommand(
      "check", "Find postings an interrupted run left unfinished (exit 1 when there are)");
  command_->add_flag("--repair", repair_,
                     "Complete them (opens the database for writing; exit 0 when done)");
  command_->add_flag("--json", json_, "Write one JSON document");
}

bool CheckCommand::parsed() const { return command_->parsed(); }

std::optional<int> CheckCommand::Run(std::ostream& out, std::ostream& err) {
  if (!parsed()) return std::nullopt;
  return RunReportingFailure(out, err, json_, [&] { return repair_ ? Repair(out) : Check(out); });
}

int CheckCommand::Check(std::ostream& out) {
  auto connection = OpenForReading(database_);
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
  const RepairedOpen opened = OpenAndRepair(database_);
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

}  // namespace tarvik::host
