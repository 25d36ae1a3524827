// Reference-counting base for objects that implement automation interfaces.
//
//   class Thing : public ComObject<Thing, IThing> { ... };
//   ComPtr<Thing> t = MakeCom<Thing>(args...);
//
// QueryInterface answers IUnknown plus every IID listed by the derived class
// in a static `Interfaces()` table of {iid, cast} entries, or by overriding
// QueryInterfaceExtra.
#pragma once

#include <atomic>
#include <new>

#include "platform/com.h"

namespace tarvik {

template <class Derived, class Primary>
class ComObject : public Primary {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(static_cast<Primary*>(this));
    } else if (void* p = static_cast<Derived*>(this)->QueryInterfaceExtra(riid)) {
      *object = p;
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // Derived classes hide this to answer more interfaces.
  void* QueryInterfaceExtra(REFIID) { return nullptr; }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  std::atomic<ULONG> refs_{0};
};

// No type information is published at run time: callers bind by name.
template <class I>
class NoTypeInfo : public I {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
};

// No late-bound members at all.
template <class I>
class NoDispatchMembers : public NoTypeInfo<I> {
 public:
  HRESULT GetIDsOfNames(REFIID, OLECHAR**, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

// For objects that travel in a Variant as IDispatch (so hosts can hand them
// over) but are used only through their C++ interface.
template <class Derived, class Primary>
using OpaqueDispatchObject = ComObject<Derived, NoDispatchMembers<Primary>>;

template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace tarvik
