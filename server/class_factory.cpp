#include "server/class_factory.h"

#include "automation/object_count.h"
#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/class_registry.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "tarvik/interfaces.h"

namespace tarvik::server {
namespace {

using automation::CanUnload;
using automation::NoteServerLock;

using Creator = ComPtr<IUnknown> (*)();

ComPtr<IUnknown> CreateInvoice() { return ComPtr<IUnknown>(invoice::NewInvoice().get()); }
ComPtr<IUnknown> CreateBackOrder() { return ComPtr<IUnknown>(backorder::NewBackOrder().get()); }

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  explicit ClassFactory(Creator create) : create_(create) {}

  void* QueryInterfaceExtra(REFIID riid) {
    return riid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
  }

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> created;
    HRESULT h = Guard([&] { created = create_(); });
    if (Failed(h)) return h;
    return created->QueryInterface(riid, object);
  }

  HRESULT LockServer(BOOL lock) override {
    NoteServerLock(lock != 0);
    return S_OK;
  }

 private:
  Creator create_;
};

struct ServedClass {
  const CLSID* clsid;
  const IID* iid;
  const char* progid;
  const char* interface_name;
  Creator create;
};

const ServedClass kClasses[] = {
    {&CLSID_Invoice, &IID__Invoice, kProgIdInvoice, "_Invoice", &CreateInvoice},
    {&CLSID_BackOrder, &IID__BackOrder, kProgIdBackOrder, "_BackOrder", &CreateBackOrder},
};

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ServedClass& c : kClasses) {
    if (*c.clsid != clsid) continue;
    ComPtr<ClassFactory> factory;
    HRESULT h = Guard([&] { factory = MakeCom<ClassFactory>(c.create); });
    if (Failed(h)) return h;
    return factory->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() { return CanUnload() ? S_OK : S_FALSE; }

HRESULT RegisterServer(const std::string& library_path) {
  const std::string typelib = GuidToString(LIBID_TarvikInvoice) + " TarvikInvoice 1.0";
  return Guard([&] {
    for (const ServedClass& c : kClasses) {
      ClassRegistration reg;
      reg.clsid = GuidToString(*c.clsid);
      reg.progid = c.progid;
      reg.library = library_path;
      reg.threading = "Apartment";
      reg.interfaces = {GuidToString(*c.iid) + " " + c.interface_name,
                        GuidToString(IID_IDispatch) + " IDispatch"};
      reg.typelib = typelib;
      RegisterClass(reg);
    }
  });
}

HRESULT UnregisterServer() {
  return Guard([&] {
    for (const ServedClass& c : kClasses) UnregisterClass(GuidToString(*c.clsid));
  });
}

}  // namespace tarvik::server
