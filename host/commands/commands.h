// The commands of `tarvik`, one file each; command_line.cpp lists them in the order
// the help shows them. Every command reads `context` when it runs, so the
// top-level options may follow it on the command line.
#pragma once

#include <memory>

#include "host/commands/command.h"

namespace tarvik::host {

std::unique_ptr<Command> MakeInitCommand(const HostContext& context);
std::unique_ptr<Command> MakeRegisterCommand(const HostContext& context);
std::unique_ptr<Command> MakeUnregisterCommand(const HostContext& context);
std::unique_ptr<Command> MakeScriptCommand(const HostContext& context);
std::unique_ptr<Command> MakeInfoCommand(const HostContext& context);
std::unique_ptr<Command> MakeNextNumberCommand(const HostContext& context);
std::unique_ptr<Command> MakeListCommand(const HostContext& context);
std::unique_ptr<Command> MakeShowCommand(const HostContext& context);
std::unique_ptr<Command> MakeEditCommand(const HostContext& context);
std::unique_ptr<Command> MakeDeleteCommand(const HostContext& context);
std::unique_ptr<Command> MakeCreateCommand(const HostContext& context);
std::unique_ptr<Command> MakeBackOrderCommand(const HostContext& context);
std::unique_ptr<Command> MakeDemoCommand(const HostContext& context);
std::unique_ptr<Command> MakePrintCommand(const HostContext& context);
std::unique_ptr<Command> MakeCheckCommand(const HostContext& context);
std::unique_ptr<Command> MakeSettingsCommand(const HostContext& context);
std::unique_ptr<Command> MakeCustomerCommand(const HostContext& context);
std::unique_ptr<Command> MakeItemCommand(const HostContext& context);
std::unique_ptr<Command> MakeOrdersCommand(const HostContext& context);
std::unique_ptr<Command> MakeOptionsCommand(const HostContext& context);
std::unique_ptr<Command> MakeExportCommand(const HostContext& context);
std::unique_ptr<Command> MakeCreditCommand(const HostContext& context);

}  // namespace tarvik::host
