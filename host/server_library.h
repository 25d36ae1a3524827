// The invoicing server library that ships beside the `tarvik` executable,
// and its registration in the class registry.
#pragma once

#include <string>

namespace tarvik::host {

inline constexpr const char* kServerLibraryName = "libtarvikinvoice.so";
inline constexpr const char* kInvoiceProgId = "TarvikInvoice.Invoice";

// Folder of the running executable.
std::string ExecutableDir();
// ExecutableDir() + "/libtarvikinvoice.so".
std::string ServerLibraryPath();

// Loads the library and calls its DllRegisterServer / DllUnregisterServer.
// Throws AutomationError with a clear description when it cannot.
void RegisterServer(const std::string& library);
void UnregisterServer(const std::string& library);

// Registers the library beside the executable when the registry does not
// name an Invoice class, or names a library that is no longer there, as an
// installer would. Quiet; false when that was needed and failed.
bool EnsureServerRegistered();

}  // namespace tarvik::host
