// Core object model of the automation runtime: result codes, GUIDs,
// IUnknown / IDispatch / IClassFactory, and ComPtr for counted references.
// Layout follows the classic automation ABI so the same classes could be
// built as a Windows in-process server.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace tarvik {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using OLECHAR = char16_t;
using VARIANT_BOOL = std::int16_t;
// The platform's 32-bit truth value (nonzero = true), as LockServer takes it.
using BOOL = std::int32_t;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT hr(std::uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = hr(0x80004001);
constexpr HRESULT E_NOINTERFACE = hr(0x80004002);
constexpr HRESULT E_POINTER = hr(0x80004003);
constexpr HRESULT E_FAIL = hr(0x80004005);
constexpr HRESULT E_UNEXPECTED = hr(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = hr(0x8007000E);
constexpr HRESULT E_INVALIDARG = hr(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = hr(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hr(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = hr(0x80040154);
constexpr HRESULT SELFREG_E_CLASS = hr(0x80040201);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = hr(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = hr(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = hr(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = hr(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = hr(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = hr(0x8002000A);
constexpr HRESULT DISP_E_BADPARAMCOUNT = hr(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = hr(0x8002000F);

// Component errors travel as 0x800A0000 | number (the automation error range).
constexpr HRESULT HResultFromError(std::int32_t number) {
  return hr(0x800A0000u | (static_cast<std::uint32_t>(number) & 0xFFFFu));
}
constexpr bool Failed(HRESULT h) { return h < 0; }
constexpr bool Succeeded(HRESULT h) { return h >= 0; }

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// "{8-4-4-4-12}" upper-case hex, the registry form.
std::string GuidToString(const GUID& g);
// Accepts the registry form with or without braces; false on malformed text.
bool GuidFromString(const std::string& text, GUID* out);

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct VARIANT;
struct ITypeInfo;

struct DISPPARAMS {
  VARIANT* rgvarg;            // arguments in reverse order
  DISPID* rgdispidNamedArgs;  // DISPID_PROPERTYPUT for the value of a put
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO;  // defined in error.h

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, OLECHAR** names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* arg_err) = 0;

 protected:
  ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;

// Counted reference; never a naked Release path.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference (AddRef).
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& o) : p_(o.get()) {
    if (p_) p_->AddRef();
  }
  ~ComPtr() { reset(); }

  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Gives up ownership without releasing.
  T* detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(iid, r.put_void());
    return r;
  }

 private:
  T* p_ = nullptr;
};

template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) {
  return !a;
}

}  // namespace tarvik
