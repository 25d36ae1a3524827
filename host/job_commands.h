// The commands that run the component's long jobs: create, backorder and
// demo. They run with a progress line on standard error (when it is a
// terminal) fed by the component's event pumps.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "host/backorder_command.h"
#include "host/create_command.h"
#include "host/demo_command.h"
#include "host/terminal_ui.h"
#include "platform/ui_services.h"

namespace CLI {
class App;
}

namespace tarvik::host {

class JobCommands {
 public:
  // Adds the subcommands to app; `database` is read when a command runs.
  JobCommands(CLI::App& app, const std::string& database);

  // The UI services the parsed job command runs with; nullptr when none of
  // these commands was given. create and backorder take answers from the
  // queue, the terminal, or (batch runs) the boxes' defaults, echoing to
  // stderr what was asked; demo answers its own boxes.
  std::unique_ptr<UiServices> CommandUi(const std::optional<std::string>& answers_json);

  bool parsed() const;

  // Runs the parsed command; nullopt when none of these was given.
  std::optional<int> Run(std::ostream& out, std::ostream& err);

 private:
  ProgressLine progress_;
  CreateCommand create_;
  BackOrderCommand backorder_;
  DemoCommand demo_;
};

}  // namespace tarvik::host
