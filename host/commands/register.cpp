// `tarvik register` / `tarvik unregister`: the classes of the server
// library beside this program, in or out of the class registry.
#include <iostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/server_library.h"
#include "platform/class_registry.h"

namespace tarvik::host {
namespace {

class RegisterCommand : public Command {
 public:
  explicit RegisterCommand(bool unregister) : unregister_(unregister) {}
  std::string_view name() const override { return unregister_ ? "unregister" : "register"; }
  std::string_view summary() const override {
    return unregister_ ? "Remove the invoicing classes' registration"
                       : "Register the invoicing classes beside this program";
  }
  void AddOptions(CLI::App&) override {}

  int Run(std::ostream& out, std::ostream&) override {
    const std::string library = ServerLibraryPath();
    if (unregister_) {
      UnregisterServer(library);
      out << "Unregistered " << library << " from " << ClassRegistryPath() << "\n";
    } else {
      RegisterServer(library);
      out << "Registered " << library << " in " << ClassRegistryPath() << "\n";
    }
    return 0;
  }

 private:
  const bool unregister_;
};

}  // namespace

std::unique_ptr<Command> MakeRegisterCommand(const HostContext&) {
  return std::make_unique<RegisterCommand>(false);
}
std::unique_ptr<Command> MakeUnregisterCommand(const HostContext&) {
  return std::make_unique<RegisterCommand>(true);
}

}  // namespace tarvik::host
