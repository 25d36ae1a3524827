// Registering the TarvikInvoice type library that the server library carries
// as a resource, where the platform keeps a registry of type libraries.
#pragma once

#include <string>

#include "platform/com.h"

namespace tarvik::server {

// Registers the type library embedded in the library at library_path, with
// its interfaces (so clients marshal and bind early through it).
HRESULT RegisterTypeLibrary(const std::string& library_path);
// Removes what RegisterTypeLibrary wrote; S_OK when nothing was there.
HRESULT UnregisterTypeLibrary();

}  // namespace tarvik::server
