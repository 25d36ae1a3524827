// Class factories of the two creatable classes and the server-wide answers
// behind the library entry points. Built into the static core so tests can
// reach them without loading the shared library.
#pragma once

#include <string>

#include "platform/com.h"

namespace tarvik::server {

// The factory of Invoice or BackOrder; CLASS_E_CLASSNOTAVAILABLE otherwise.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
// S_OK when no object of either class and no server lock remains.
HRESULT CanUnloadNow();
// Registers both classes as served by the library at library_path.
HRESULT RegisterServer(const std::string& library_path);
HRESULT UnregisterServer();

}  // namespace tarvik::server
