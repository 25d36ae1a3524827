#include "host/job_commands.h"

#include <unistd.h>

#include <iostream>

namespace tarvik::host {

JobCommands::JobCommands(CLI::App& app, const std::string& database)
    : progress_(std::cerr, isatty(STDERR_FILENO) == 1),
      create_(app, database),
      backorder_(app, database),
      demo_(app) {}

std::unique_ptr<UiServices> JobCommands::CommandUi(const std::optional<std::string>& answers_json) {
  std::unique_ptr<UiServices> inner;
  if (demo_.parsed()) {
    inner = demo_.MakeUi();
  } else if (create_.parsed() || backorder_.parsed()) {
    inner = MakeEchoingCommandUi(answers_json);
  } else {
    return nullptr;
  }
  return std::make_unique<ProgressUi>(std::move(inner), progress_);
}

bool JobCommands::parsed() const { return create_.parsed() || backorder_.parsed() || demo_.parsed(); }

std::optional<int> JobCommands::Run(std::ostream& out, std::ostream& err) {
  std::optional<int> status;
  if (create_.parsed()) status = create_.Run(out, err, progress_);
  if (backorder_.parsed()) status = backorder_.Run(out, err, progress_);
  if (demo_.parsed()) status = demo_.Run(out, err, progress_);
  progress_.Clear();
  return status;
}

}  // namespace tarvik::host
