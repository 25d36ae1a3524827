// The exported entry points of libtarvikinvoice.so, the only symbols it
// exports. Everything behind them lives in the static server code
// (server/class_factory.cpp).
#include "tarvik/entry_points.h"

#include <string>

#include "automation/component_ui.h"
#include "platform/module_path.h"
#include "server/class_factory.h"
#include "server/type_library_registration.h"

namespace {

// The path of this very library, as the loader knows it.
std::string LibraryPath() { return tarvik::ModulePathOf(reinterpret_cast<const void*>(&LibraryPath)); }

}  // namespace

extern "C" {

tarvik::HRESULT DllGetClassObject(const tarvik::CLSID& clsid, const tarvik::IID& iid, void** out) {
  return tarvik::server::GetClassObject(clsid, iid, out);
}

tarvik::HRESULT DllCanUnloadNow() { return tarvik::server::CanUnloadNow(); }

tarvik::HRESULT DllRegisterServer() {
  const std::string path = LibraryPath();
  if (path.empty()) return tarvik::SELFREG_E_CLASS;
  const tarvik::HRESULT h = tarvik::server::RegisterServer(path);
  return tarvik::Failed(h) ? h : tarvik::server::RegisterTypeLibrary(path);
}

tarvik::HRESULT DllUnregisterServer() {
  const tarvik::HRESULT types = tarvik::server::UnregisterTypeLibrary();
  const tarvik::HRESULT classes = tarvik::server::UnregisterServer();
  return tarvik::Failed(classes) ? classes : types;
}

void TarvikInvoice_SetUiServices(tarvik::UiServices* ui) {
  tarvik::automation::InstallComponentUi(ui);
}

}  // extern "C"
