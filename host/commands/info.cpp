// `tarvik info [--json]`: what a database holds, read-only.
#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/command_failure.h"
#include "host/output/database_info.h"

namespace tarvik::host {
namespace {

class InfoCommand : public Command {
 public:
  explicit InfoCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "info"; }
  std::string_view summary() const override { return "List what a database holds"; }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--json", json_, "Write JSON instead of tables");
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      auto backend = OpenBackendForReading(context_.database);
      WriteDatabaseInfo(*backend, out, json_);
      return 0;
    });
  }

 private:
  const HostContext& context_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeInfoCommand(const HostContext& context) {
  return std::make_unique<InfoCommand>(context);
}

}  // namespace tarvik::host
