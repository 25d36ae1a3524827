// `tarvik demo [--dir FOLDER] [--json]`: the main job on a fresh demo
// database in a folder of its own. Creates the database with the demo data,
// makes sure the classes are registered (in the folder when no usable
// registration exists), invoices the packed orders in every grouping, shows
// the refusal of partly picked orders, back-orders what stays open, prints
// the invoices to PDF when the `print` command is there, and sums it up.
// It answers the component's boxes itself: Yes to every question, a fresh
// order number (5001, 5002, ...) to every input box; nothing waits for a
// user.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "platform/ui_services.h"

namespace CLI {
class App;
}

namespace tarvik::host {

class ProgressLine;

class DemoCommand {
 public:
  explicit DemoCommand(CLI::App& app);
  ~DemoCommand();
  DemoCommand(const DemoCommand&) = delete;
  DemoCommand& operator=(const DemoCommand&) = delete;

  bool parsed() const;
  // The services that answer the demo's boxes; to be installed for Run.
  // The command keeps a view of them, so the result must outlive Run.
  std::unique_ptr<UiServices> MakeUi();
  int Run(std::ostream& out, std::ostream& err, ProgressLine& progress);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarvik::host
