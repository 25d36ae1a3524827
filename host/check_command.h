// `tarvik check [--repair] [--json]`: whether the books hold postings an
// interrupted run left unfinished. Without --repair it only reads (the
// database opened read-only) and exits 1 when something is unfinished;
// with --repair it opens the books for writing, which completes them, says
// what was done and exits 0.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tarvik::host {

class CheckCommand {
 public:
  CheckCommand(CLI::App& app, const std::string& database);
  bool parsed() const;
  bool repairs() const { return repair_; }
  // nullopt when the command was not given.
  std::optional<int> Run(std::ostream& out, std::ostream& err);

 private:
  int Check(std::ostream& out);
  int Repair(std::ostream& out);

  const std::string& database_;
  CLI::App* command_ = nullptr;
  bool repair_ = false;
  bool json_ = false;
};

}  // namespace tarvik::host
