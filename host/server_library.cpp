#include "host/server_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "host/hex_code.h"
#include "platform/class_registry.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/posix/trusted_path.h"
#include "tarvik/entry_points.h"

namespace tarvik::host {
namespace detail {

// Named, not anonymous: HostUi::Library, declared in the header, holds one.
struct DlCloser {
  void operator()(void* h) const {
    if (h) dlclose(h);
  }
};

}  // namespace detail
namespace {

using LibraryHandle = std::unique_ptr<void, detail::DlCloser>;

using EntryPoint = HRESULT (*)();

void CallEntryPoint(const std::string& library, const char* name) {
  if (!std::filesystem::exists(library)) {
    RaiseError(kErrCannotCreateObject, "server library not found: " + library);
  }
  if (std::string why = WhyNotLoadable(library); !why.empty()) {
    RaiseError(kErrCannotCreateObject, "refusing to load the server library: " + why);
  }
  LibraryHandle handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!handle) {
    const char* why = dlerror();
    RaiseError(kErrCannotCreateObject,
               "cannot load " + library + ": " + (why ? why : "unknown reason"));
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(handle.get(), name));
  if (!entry) RaiseError(kErrCannotCreateObject, library + " has no entry point " + name);
  HRESULT h = entry();
  if (Failed(h)) {
    std::string detail;
    if (auto rec = TakeErrorRecord()) detail = ": " + rec->description;
    RaiseError(kErrCannotCreateObject,
               std::string(name) + " of " + library + " failed with " + HexCode(h) + detail);
  }
}

}  // namespace

std::string ExecutableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

std::string ServerLibraryPath() { return ExecutableDir() + "/" + kServerLibraryName; }

void RegisterServer(const std::string& library) { CallEntryPoint(library, "DllRegisterServer"); }

void UnregisterServer(const std::string& library) {
  CallEntryPoint(library, "DllUnregisterServer");
}

std::string EnsureServerRegistered() {
  try {
    auto reg = FindClassByProgId(kProgIdInvoice);
    if (reg && std::filesystem::exists(reg->library)) return {};
    RegisterServer(ServerLibraryPath());
    return {};
  } catch (const AutomationError& e) {
    return e.description();
  } catch (const std::exception& e) {
    return e.what();
  }
}

struct HostUi::Library {
  LibraryHandle handle;
  decltype(&TarvikInvoice_SetUiServices) set_ui = nullptr;
};

// Every library the host may create objects from gets the services: the one
// the registry names now and the one beside the executable, which a command
// such as demo registers in a registry of its own after this runs.
HostUi::HostUi(UiServices* ui) {
  std::vector<std::string> candidates;
  try {
    if (auto reg = FindClassByProgId(kProgIdInvoice)) candidates.push_back(reg->library);
  } catch (const std::exception&) {
    // An unreadable registry: CreateObject will say so.
  }
  candidates.push_back(ServerLibraryPath());
  for (const std::string& library : candidates) {
    if (!WhyNotLoadable(library).empty()) continue;  // CreateObject says why
    LibraryHandle handle(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) continue;
    auto set_ui = reinterpret_cast<decltype(&TarvikInvoice_SetUiServices)>(
        dlsym(handle.get(), "TarvikInvoice_SetUiServices"));
    if (!set_ui) continue;
    // The same file under two names is one handle: count it once.
    bool known = false;
    for (const Library& l : libraries_) known = known || l.handle.get() == handle.get();
    if (known) continue;
    set_ui(ui);
    libraries_.push_back(Library{std::move(handle), set_ui});
  }
}

HostUi::~HostUi() {
  for (Library& library : libraries_) library.set_ui(nullptr);
}

}  // namespace tarvik::host
