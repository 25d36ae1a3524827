// The exported entry points of libtarvikinvoice.so. Everything behind them
// lives in the static core (server/class_factory.cpp).
#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/com.h"
#include "platform/ui_services.h"
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

__attribute__((visibility("default"))) tarvik::HRESULT DllGetClassObject(const tarvik::CLSID& clsid,
                                                                         const tarvik::IID& iid,
                                                                         void** out) {
  return tarvik::server::GetClassObject(clsid, iid, out);
}

__attribute__((visibility("default"))) tarvik::HRESULT DllCanUnloadNow() {
  return tarvik::server::CanUnloadNow();
}

__attribute__((visibility("default"))) tarvik::HRESULT DllRegisterServer() {
  const std::string path = LibraryPath();
  if (path.empty()) return tarvik::SELFREG_E_CLASS;
  return tarvik::server::RegisterServer(path);
}

__attribute__((visibility("default"))) tarvik::HRESULT DllUnregisterServer() {
  return tarvik::server::UnregisterServer();
}

__attribute__((visibility("default"))) void TarvikInvoice_SetUiServices(tarvik::UiServices* ui) {
  tarvik::InstallUi(ui);
}

}  // extern "C"
