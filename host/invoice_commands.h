// The everyday invoice commands of `tarvik`:
//   next-number, list [--export], show N, edit N [--ship-date D ...],
//   delete N [--user U] [--yes]
// Each opens the database named by --db, creates a TarvikInvoice.Invoice by
// program id and drives it by name. Readable tables by default; --json
// writes one JSON document per command. An operation that answers False or
// raises ends the command with its message and exit code 1; bad arguments
// are refused while parsing, before the database is opened.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui_services.h"

namespace CLI {
class App;
}

namespace tarvik::host {

class InvoiceCommands {
 public:
  // Adds the subcommands to app. `database` is read when a command runs, so
  // it may be bound to an option of app.
  InvoiceCommands(CLI::App& app, const std::string& database);
  ~InvoiceCommands();
  InvoiceCommands(const InvoiceCommands&) = delete;
  InvoiceCommands& operator=(const InvoiceCommands&) = delete;

  // The UI services the parsed command needs in place of the usual ones:
  // answers Yes to the deletion question for `delete --yes`; nullptr when
  // the usual ones apply.
  std::unique_ptr<UiServices> ConfirmationUi() const;

  // The parsed command changes the books (edit, delete).
  bool Writes() const;

  // Runs the command that was parsed: results to out, messages to err.
  // nullopt when none of these commands was given.
  std::optional<int> Run(std::ostream& out, std::ostream& err);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarvik::host
