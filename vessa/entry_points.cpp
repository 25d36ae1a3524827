// The database library's in-process server: one creatable class,
// Vessa.HostConnection. It exports the four entry points and nothing else.
#include <string>

#include "platform/class_registry.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/module_path.h"
#include "tarvik/export.h"
#include "vessa/host_connection_object.h"

namespace {

using namespace tarvik;

class Factory final : public ComObject<Factory, IClassFactory> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    return riid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<data::HostConnection> created;
    HRESULT h = Guard([&] { created = vessa::NewHostConnectionObject(); });
    return Failed(h) ? h : created->QueryInterface(riid, object);
  }
  HRESULT LockServer(bool lock) override {
    vessa::NoteLock(lock != 0);
    return S_OK;
  }
};

std::string LibraryPath() { return ModulePathOf(reinterpret_cast<const void*>(&LibraryPath)); }

}  // namespace

extern "C" {

TARVIK_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != vessa::CLSID_VessaHostConnection) return CLASS_E_CLASSNOTAVAILABLE;
  ComPtr<Factory> factory;
  HRESULT h = Guard([&] { factory = MakeCom<Factory>(); });
  return Failed(h) ? h : factory->QueryInterface(iid, out);
}

TARVIK_EXPORT HRESULT DllCanUnloadNow() { return vessa::ObjectsAlive() ? S_FALSE : S_OK; }

TARVIK_EXPORT HRESULT DllRegisterServer() {
  const std::string path = LibraryPath();
  if (path.empty()) return SELFREG_E_CLASS;
  return Guard([&] {
    ClassRegistration reg;
    reg.clsid = GuidToString(vessa::CLSID_VessaHostConnection);
    reg.progid = vessa::kProgIdHostConnection;
    reg.library = path;
    reg.threading = "Apartment";
    reg.interfaces = {GuidToString(IID_IDispatch) + " IDispatch"};
    RegisterClass(reg);
  });
}

TARVIK_EXPORT HRESULT DllUnregisterServer() {
  return Guard([] { UnregisterClass(GuidToString(vessa::CLSID_VessaHostConnection)); });
}

}  // extern "C"
