// The C entry points libtarvikinvoice.so exports: the four an in-process
// server has, and the hook through which the host hands over its UI
// services. A host finds them with dlsym; the declarations state the
// signatures it casts to.
#pragma once

#include "platform/com.h"
#include "platform/ui_services.h"
#include "tarvik/export.h"

extern "C" {

TARVIK_EXPORT tarvik::HRESULT DllGetClassObject(const tarvik::CLSID& clsid,
                                                const tarvik::IID& iid, void** out);
TARVIK_EXPORT tarvik::HRESULT DllCanUnloadNow();
TARVIK_EXPORT tarvik::HRESULT DllRegisterServer();
TARVIK_EXPORT tarvik::HRESULT DllUnregisterServer();
// The component shows its boxes through `ui` from now on; nullptr returns it
// to the runtime's own services. `ui` must outlive the next call.
TARVIK_EXPORT void TarvikInvoice_SetUiServices(tarvik::UiServices* ui);

}  // extern "C"
