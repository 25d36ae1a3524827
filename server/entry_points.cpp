// The exported entry points of libtarvikinvoice.so, the only symbols it
// exports. Everything behind them lives in the static server code
// (server/class_factory.cpp).
#include "tarvik/entry_points.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "automation/component_ui.h"
#include "server/class_factory.h"

namespace {

// The path of this very library, as the loader knows it.
std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::weakly_canonical(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : absolute.string();
}

}  // namespace

extern "C" {

tarvik::HRESULT DllGetClassObject(const tarvik::CLSID& clsid, const tarvik::IID& iid, void** out) {
  return tarvik::server::GetClassObject(clsid, iid, out);
}

tarvik::HRESULT DllCanUnloadNow() { return tarvik::server::CanUnloadNow(); }

tarvik::HRESULT DllRegisterServer() {
  const std::string path = LibraryPath();
  if (path.empty()) return tarvik::SELFREG_E_CLASS;
  return tarvik::server::RegisterServer(path);
}

tarvik::HRESULT DllUnregisterServer() { return tarvik::server::UnregisterServer(); }

void TarvikInvoice_SetUiServices(tarvik::UiServices* ui) {
  tarvik::automation::InstallComponentUi(ui);
}

}  // extern "C"
