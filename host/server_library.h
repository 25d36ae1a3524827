// The invoicing server library that ships beside the `tarvik` executable,
// and its registration in the class registry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui_services.h"
#include "tarvik/progids.h"

namespace tarvik::host {

inline constexpr const char* kServerLibraryName = "libtarvikinvoice.so";

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
// installer would. Quiet; empty when nothing failed, otherwise why it did
// (for the message when creating an object then fails).
std::string EnsureServerRegistered();

// Hands the host's UI services to the server libraries for as long as it
// lives, through their TarvikInvoice_SetUiServices entry point: the library
// the class registry names (the one CreateObject loads) and the one beside
// the executable. The component shows its boxes through them; without a
// loadable library there is no component to show any. Takes them back on
// destruction.
class HostUi {
 public:
  explicit HostUi(UiServices* ui);
  ~HostUi();
  HostUi(const HostUi&) = delete;
  HostUi& operator=(const HostUi&) = delete;

 private:
  struct Library;
  std::vector<Library> libraries_;
};

}  // namespace tarvik::host
