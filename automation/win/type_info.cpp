// Type information on Windows: the type library the DLL carries as its
// resource TYPELIB 1 (automation/win/typelib.rc), loaded with oleaut32 from
// the module's own file without touching the registry, once per process.
//
// The interface's type info is the one the library holds under its IID:
// for a dual interface the dispatch view (IDispatch's members first), as
// the platform's own dispatch helpers expect it.
//
// Scripts take an object's type name from the type info IDispatch hands out
// (Wine's VBScript reads GetDocumentation(MEMBERID_NIL) verbatim and would
// show "_Invoice"); so that TypeName(obj) answers the class name, that type
// info names itself after the class and answers everything else as the
// library's own. IProvideClassInfo hands out the library's coclass as it is.
//
// Only this unit sees <windows.h>: its macros collide with our runtime's
// names, so our headers come first and the code speaks the platform's types.
#include "automation/type_info.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/module_path.h"

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// Helpers outside our namespaces: there, ITypeInfo is the platform's.
namespace {

// The path of the library this unit is linked into.
std::wstring ThisLibraryPath() {
  static const int anchor = 0;
  const std::u16string path = tarvik::Utf16(tarvik::ModulePathOf(&anchor));
  return std::wstring(path.begin(), path.end());
}

template <class T>
using Ref = tarvik::ComPtr<T>;

// The library, loaded on first use. Kept for the life of the process: it is
// free-threaded, and releasing it from a static destructor could run after
// oleaut32 has gone.
HRESULT Library(ITypeLib** lib) {
  static std::once_flag once;
  static ITypeLib* loaded = nullptr;
  static HRESULT result = E_FAIL;
  std::call_once(once, [] {
    std::wstring path = ThisLibraryPath();
    result = path.empty() ? HRESULT_FROM_WIN32(GetLastError())
                          : LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded);
  });
  if (FAILED(result)) return result;
  loaded->AddRef();
  *lib = loaded;
  return S_OK;
}

// The coclass of the library whose [default] interface is iid.
HRESULT DefaultClassOf(ITypeLib* lib, REFIID iid, ITypeInfo** cls) {
  for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
    TYPEKIND kind;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
    Ref<ITypeInfo> candidate;
    if (FAILED(lib->GetTypeInfo(i, candidate.put()))) continue;
    for (UINT impl = 0;; ++impl) {
      INT flags = 0;
      HREFTYPE ref = 0;
      if (FAILED(candidate->GetImplTypeFlags(impl, &flags)) ||
          FAILED(candidate->GetRefTypeOfImplType(impl, &ref))) {
        break;
      }
      if (!(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
      Ref<ITypeInfo> itf;
      TYPEATTR* attr = nullptr;
      if (FAILED(candidate->GetRefTypeInfo(ref, itf.put())) || FAILED(itf->GetTypeAttr(&attr))) {
        break;
      }
      bool match = IsEqualGUID(attr->guid, iid);
      itf->ReleaseTypeAttr(attr);
      if (match) {
        *cls = candidate.detach();
        return S_OK;
      }
    }
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

// The library's type info of an interface, named after its class.
class NamedAfterClass final : public ITypeInfo {
 public:
  NamedAfterClass(ITypeInfo* inner, BSTR class_name) : inner_(inner), name_(class_name) {
    inner_->AddRef();
  }
  NamedAfterClass(const NamedAfterClass&) = delete;
  NamedAfterClass& operator=(const NamedAfterClass&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_ITypeInfo)) {
      return E_NOINTERFACE;
    }
    *object = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                             BSTR* file) override {
    HRESULT h = inner_->GetDocumentation(id, name, doc, context, file);
    if (SUCCEEDED(h) && id == MEMBERID_NIL && name) {
      SysFreeString(*name);
      *name = SysAllocString(name_);
      if (!*name) return E_OUTOFMEMORY;
    }
    return h;
  }

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attr) override {
    return inner_->GetTypeAttr(attr);
  }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override {
    return inner_->GetTypeComp(comp);
  }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** desc) override {
    return inner_->GetFuncDesc(index, desc);
  }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** desc) override {
    return inner_->GetVarDesc(index, desc);
  }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) override {
    return inner_->GetNames(id, names, max, count);
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
    return inner_->GetRefTypeOfImplType(index, ref);
  }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override {
    return inner_->GetImplTypeFlags(index, flags);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    return inner_->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    return inner_->Invoke(instance, id, flags, params, result, excep, arg_err);
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name,
                                        WORD* ordinal) override {
    return inner_->GetDllEntry(id, kind, dll, name, ordinal);
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
    return inner_->GetRefTypeInfo(ref, info);
  }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID id, INVOKEKIND kind, PVOID* address) override {
    return inner_->AddressOfMember(id, kind, address);
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, PVOID* object) override {
    return inner_->CreateInstance(outer, riid, object);
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID id, BSTR* mops) override {
    return inner_->GetMops(id, mops);
  }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
    return inner_->GetContainingTypeLib(lib, index);
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override { inner_->ReleaseTypeAttr(attr); }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* desc) override { inner_->ReleaseFuncDesc(desc); }
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* desc) override { inner_->ReleaseVarDesc(desc); }

 private:
  ~NamedAfterClass() {
    inner_->Release();
    SysFreeString(name_);
  }

  ITypeInfo* inner_;
  BSTR name_;
  std::atomic<ULONG> refs_{1};
};

const GUID& Native(const tarvik::GUID& g) { return reinterpret_cast<const GUID&>(g); }

}  // namespace

namespace tarvik::automation {

std::int32_t InterfaceTypeInfo(const tarvik::GUID& iid, tarvik::ITypeInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  Ref<::ITypeLib> lib;
  ::HRESULT h = Library(lib.put());
  if (FAILED(h)) return h;
  Ref<::ITypeInfo> itf, cls;
  h = lib->GetTypeInfoOfGuid(Native(iid), itf.put());
  if (FAILED(h)) return h;
  ::BSTR class_name = nullptr;
  if (FAILED(DefaultClassOf(lib.get(), Native(iid), cls.put())) ||
      FAILED(cls->GetDocumentation(MEMBERID_NIL, &class_name, nullptr, nullptr, nullptr))) {
    // An interface no class publishes keeps its own name.
    *info = reinterpret_cast<tarvik::ITypeInfo*>(itf.detach());
    return S_OK;
  }
  *info = reinterpret_cast<tarvik::ITypeInfo*>(
      static_cast<::ITypeInfo*>(new NamedAfterClass(itf.get(), class_name)));
  return S_OK;
}

std::int32_t ClassTypeInfo(const tarvik::GUID& iid, tarvik::ITypeInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  Ref<::ITypeLib> lib;
  ::HRESULT h = Library(lib.put());
  if (FAILED(h)) return h;
  ::ITypeInfo* cls = nullptr;
  h = DefaultClassOf(lib.get(), Native(iid), &cls);
  if (SUCCEEDED(h)) *info = reinterpret_cast<tarvik::ITypeInfo*>(cls);
  return h;
}

}  // namespace tarvik::automation
