#include "host/commands/command.h"

#include "host/ui/terminal_ui.h"

namespace tarvik::host {

std::unique_ptr<UiServices> Command::MakeUi(const HostContext& context) {
  return MakeCommandUi(context.answers);
}

}  // namespace tarvik::host
