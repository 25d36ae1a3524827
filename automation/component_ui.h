// The UI services this component shows its boxes through: what the host
// handed over with the library's TarvikInvoice_SetUiServices entry point,
// else the runtime's own (Ui() of platform/ui_services.h: what a test
// installed, else the process default, which answers from TARVIK_UI_ANSWERS /
// TARVIK_UI_LOG when a script host installs nothing). The component's code
// reaches it as Ui() through a using-declaration in its class headers.
#pragma once

#include "platform/ui_services.h"

namespace tarvik::automation {

UiServices& Ui();
// nullptr returns the component to the runtime's services. The host keeps
// `ui` alive until it installs another one.
void InstallComponentUi(UiServices* ui);

}  // namespace tarvik::automation
