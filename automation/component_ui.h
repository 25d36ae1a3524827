// The UI services this component shows its boxes through: what the host
// handed over with the library's TarvikInvoice_SetUiServices entry point,
// else the runtime's own (Ui() of platform/ui_services.h). The component's
// code reaches it as Ui() through a using-declaration in its class headers.
#pragma once

#include "platform/ui_services.h"

namespace tarvik::automation {

UiServices& Ui();
// nullptr returns the component to the runtime's services. The host keeps
// `ui` alive until it installs another one.
void InstallComponentUi(UiServices* ui);

}  // namespace tarvik::automation
