// Typed member thunks for the published interfaces: a table line names the
// vtable method, and the thunk that converts the arguments and stores the
// result is generated from the member-function pointer, so adding a member
// is one table line (automation/member_tables.cpp). The table itself and the
// error boundary are the platform's MemberTable.
//
// Argument conversion follows automation: every argument is converted to the
// parameter's type with VariantChangeType; a failure answers the conversion's
// code (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW) with the argument's index in
// *arg_err. A member that fails answers DISP_E_EXCEPTION with EXCEPINFO
// filled from the error record the member left.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "automation/object_count.h"
#include "automation/signature_of.h"
#include "automation/type_info.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/error_info.h"
#include "platform/member_table.h"
#include "platform/type_info.h"
#include "platform/variant.h"
#include "tarvik/interfaces.h"

namespace tarvik::automation {

namespace detail {

// --- In-parameters: converted from the caller's VARIANT ---------------------

HRESULT ChangeTo(const VARIANT& src, VARTYPE vt, Variant* out);

template <class T, class = void>
struct InArg;

template <class T, VARTYPE kVt>
struct ScalarInArg {
  Variant holder;
  HRESULT Load(const VARIANT& src) { return ChangeTo(src, kVt, &holder); }
};

template <>
struct InArg<BYTE> : ScalarInArg<BYTE, VT_UI1> {
  BYTE get() const { return holder.raw().bVal; }
};
template <>
struct InArg<LONG> : ScalarInArg<LONG, VT_I4> {
  LONG get() const { return holder.raw().lVal; }
};
template <>
struct InArg<VARIANT_BOOL> : ScalarInArg<VARIANT_BOOL, VT_BOOL> {
  VARIANT_BOOL get() const { return holder.raw().boolVal; }
};
template <>
struct InArg<BSTR> : ScalarInArg<BSTR, VT_BSTR> {
  BSTR get() const { return holder.raw().bstrVal; }
};
// The published enumerations travel as 32-bit integers.
template <class E>
struct InArg<E, std::enable_if_t<std::is_enum_v<E>>> : ScalarInArg<E, VT_I4> {
  E get() const { return static_cast<E>(this->holder.raw().lVal); }
};

// Objects: Nothing (an empty VT_DISPATCH, or Empty) passes nullptr.
template <>
struct InArg<IDispatch*> {
  ComPtr<IDispatch> object;
  HRESULT Load(const VARIANT& src);
  IDispatch* get() const { return object.get(); }
};

// A Variant by reference: the callee sees the caller's own VARIANT.
template <>
struct InArg<VARIANT*> {
  VARIANT* target = nullptr;
  HRESULT Load(const VARIANT& src);
  VARIANT* get() const { return target; }
};

// --- Out-parameters: the result of a get or a function ----------------------

template <class T>
struct OutArg;

void StoreBoolean(VARIANT_BOOL v, VARIANT* result);
void StoreLong(LONG v, VARIANT* result);
void StoreByte(BYTE v, VARIANT* result);
void StoreString(BSTR v, VARIANT* result);        // takes ownership
void StoreObject(IDispatch* v, VARIANT* result);  // takes the reference

template <>
struct OutArg<VARIANT_BOOL*> {
  VARIANT_BOOL value = VARIANT_FALSE;
  VARIANT_BOOL* ptr() { return &value; }
  void Store(VARIANT* result) { StoreBoolean(value, result); }
};
template <>
struct OutArg<LONG*> {
  LONG value = 0;
  LONG* ptr() { return &value; }
  void Store(VARIANT* result) { StoreLong(value, result); }
};
template <>
struct OutArg<BYTE*> {
  BYTE value = 0;
  BYTE* ptr() { return &value; }
  void Store(VARIANT* result) { StoreByte(value, result); }
};
template <>
struct OutArg<TransMode*> {
  TransMode value = tmCancel;
  TransMode* ptr() { return &value; }
  void Store(VARIANT* result) { StoreLong(value, result); }
};
template <>
struct OutArg<InvoiceBy*> {
  InvoiceBy value = ibOrderNumber;
  InvoiceBy* ptr() { return &value; }
  void Store(VARIANT* result) { StoreLong(value, result); }
};
template <>
struct OutArg<BSTR*> {
  BSTR raw = nullptr;
  BSTR* ptr() { return &raw; }
  // Owns what the member left even when the store never happens.
  ~OutArg() { SysFreeString(raw); }
  void Store(VARIANT* result) { StoreString(std::exchange(raw, nullptr), result); }
};
template <>
struct OutArg<IDispatch**> {
  IDispatch* raw = nullptr;
  IDispatch** ptr() { return &raw; }
  ~OutArg() {
    if (raw) raw->Release();
  }
  void Store(VARIANT* result) { StoreObject(std::exchange(raw, nullptr), result); }
};

// Pointers are out-parameters, except the in-parameters that are pointers.
template <class T>
constexpr bool kIsOut = std::is_pointer_v<T> && !std::is_same_v<T, BSTR> &&
                        !std::is_same_v<T, VARIANT*> && !std::is_same_v<T, IDispatch*>;

template <class... A>
constexpr bool LastIsOut() {
  if constexpr (sizeof...(A) == 0) {
    return false;
  } else {
    return kIsOut<std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>>;
  }
}

template <class M>
struct Invoker;

template <class C, class... A>
struct Invoker<HRESULT (C::*)(A...)> {
  using Params = std::tuple<A...>;
  static constexpr bool kHasOut = LastIsOut<A...>();
  static constexpr std::size_t kInCount = sizeof...(A) - (kHasOut ? 1 : 0);

  template <auto M>
  static HRESULT Run(void* self, const DISPPARAMS& p, VARIANT* result, UINT* arg_err,
                     bool* member_failed) {
    if (p.cArgs != kInCount) return DISP_E_BADPARAMCOUNT;
    return RunWith<M>(std::make_index_sequence<kInCount>{}, static_cast<C*>(self), p, result,
                      arg_err, member_failed);
  }

  template <auto M, std::size_t... I>
  static HRESULT RunWith(std::index_sequence<I...>, C* obj, [[maybe_unused]] const DISPPARAMS& p,
                         [[maybe_unused]] VARIANT* result, [[maybe_unused]] UINT* arg_err,
                         bool* member_failed) {
    [[maybe_unused]] std::tuple<InArg<std::tuple_element_t<I, Params>>...> in;
    HRESULT h = S_OK;
    std::size_t failed_at = 0;
    [[maybe_unused]] auto load = [&](auto& arg, std::size_t i) {
      if (Failed(h)) return;
      const VARIANT& given = ArgAt(p, static_cast<UINT>(i));
      // No published argument is optional (one left out of a call by name).
      h = IsMissing(given) ? DISP_E_PARAMNOTOPTIONAL : arg.Load(given);
      if (Failed(h)) failed_at = i;
    };
    (load(std::get<I>(in), I), ...);
    if (Failed(h)) {
      if (arg_err) *arg_err = static_cast<UINT>(p.cArgs - 1 - failed_at);
      return h;
    }
    if constexpr (kHasOut) {
      OutArg<std::tuple_element_t<sizeof...(A) - 1, Params>> out;
      h = (obj->*M)(std::get<I>(in).get()..., out.ptr());
      if (Failed(h)) {
        *member_failed = true;
        return h;
      }
      out.Store(result);
    } else {
      h = (obj->*M)(std::get<I>(in).get()...);
      if (Failed(h)) {
        *member_failed = true;
        return h;
      }
    }
    return S_OK;
  }
};

template <auto M>
HRESULT Thunk(void* self, const DISPPARAMS& p, VARIANT* result, UINT* arg_err,
              bool* member_failed) {
  return Invoker<decltype(M)>::template Run<M>(self, p, result, arg_err, member_failed);
}

}  // namespace detail

// Table lines: Get<&_Invoice::get_InvoiceNo>("InvoiceNo"), ... with, where
// the defaults do not fit, the argument names (MemberEntry::params: one for
// each argument of the vtable method, the result not counted) and a help
// string for the type library:
//   Method<&_Invoice::SeekRecord>("SeekRecord", {"vSeekValue"})
//   Let<&_Invoice::put_Extra1>("Extra1", {}, "Extra data field #1 ...")
template <auto M>
MemberEntry Entry(std::string_view name, MemberKind kind, std::vector<std::string_view> params,
                  std::string_view help) {
  if (!params.empty() && params.size() != detail::Invoker<decltype(M)>::kInCount) {
    throw std::logic_error("member table: argument names of " + std::string(name) +
                           " do not match its arguments");
  }
  MemberSignature signature = SignatureOf<M>(kind != MemberKind::kMethod, params, help);
  return {name, kind, &detail::Thunk<M>, DISPID_UNKNOWN, std::move(params), std::move(signature)};
}
template <auto M>
MemberEntry Get(std::string_view name, std::vector<std::string_view> params = {}, std::string_view help = {}) {
  return Entry<M>(name, MemberKind::kGet, std::move(params), help);
}
template <auto M>
MemberEntry Let(std::string_view name, std::vector<std::string_view> params = {}, std::string_view help = {}) {
  return Entry<M>(name, MemberKind::kLet, std::move(params), help);
}
template <auto M>
MemberEntry Set(std::string_view name, std::vector<std::string_view> params = {}, std::string_view help = {}) {
  return Entry<M>(name, MemberKind::kSet, std::move(params), help);
}
template <auto M>
MemberEntry Method(std::string_view name, std::vector<std::string_view> params = {},
                   std::string_view help = {}) {
  return Entry<M>(name, MemberKind::kMethod, std::move(params), help);
}

// The interface id of a published interface.
template <class I>
const IID& InterfaceIid();
template <>
inline const IID& InterfaceIid<_Invoice>() {
  return IID__Invoice;
}
template <>
inline const IID& InterfaceIid<_BackOrder>() {
  return IID__BackOrder;
}

// ISupportErrorInfo of a server object, as a part of it: its IUnknown is the
// object's own (one identity, one count). The object's interface and
// IDispatch leave error info when they fail (Guard, the member table).
class ErrorInfoSupport final : public ISupportErrorInfo {
 public:
  ErrorInfoSupport(IUnknown* owner, const IID& iid) : owner_(owner), iid_(iid) {}
  ErrorInfoSupport(const ErrorInfoSupport&) = delete;
  ErrorInfoSupport& operator=(const ErrorInfoSupport&) = delete;
  ~ErrorInfoSupport() = default;

  HRESULT QueryInterface(REFIID riid, void** object) override {
    return owner_->QueryInterface(riid, object);
  }
  ULONG AddRef() override { return owner_->AddRef(); }
  ULONG Release() override { return owner_->Release(); }
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
    return (riid == iid_ || riid == IID_IDispatch) ? S_OK : S_FALSE;
  }

 private:
  IUnknown* owner_;
  const IID& iid_;
};

// IDispatch over the interface's member table, as the primary base of a
// server class of interface I (IID iid):
//   class Invoice : public ComObject<Invoice, DispatchImpl<_Invoice, IID__Invoice>>
//   void* Invoice::QueryInterfaceExtra(REFIID riid) {
//     if (riid == IID_IProvideClassInfo) return ClassInfoProvider();
//     return PublishedInterface(riid);
//   }
// It answers type information for I (automation/type_info.h), and carries
// the object's ISupportErrorInfo and IProvideClassInfo as parts of it.
// Objects of this base are counted for DllCanUnloadNow.
template <class I, const IID& iid>
class DispatchImpl : public TableDispatch<I> {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return InterfaceTypeInfo(InterfaceIid<I>(), info);
  }

 protected:
  DispatchImpl() : error_info_(static_cast<I*>(this), iid), class_info_(this) { NoteObjectCreated(); }
  ~DispatchImpl() { NoteObjectDestroyed(); }

  // IDispatch, I and ISupportErrorInfo; nullptr for any other IID.
  void* PublishedInterface(REFIID riid) {
    if (riid == IID_IDispatch || riid == iid) return static_cast<I*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(&error_info_);
    return nullptr;
  }
  IProvideClassInfo* ClassInfoProvider() { return &class_info_; }

 private:
  // A part of the object, not an object of its own: identity and count are
  // the outer object's.
  class ClassInfo final : public IProvideClassInfo {
   public:
    explicit ClassInfo(I* outer) : outer_(outer) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
      return outer_->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }
    HRESULT GetClassInfo(ITypeInfo** info) override {
      return ClassTypeInfo(iid, info);
    }

   private:
    I* outer_;
  };
  ErrorInfoSupport error_info_;
  ClassInfo class_info_;
};

}  // namespace tarvik::automation

namespace tarvik {
// Defined in automation/member_tables.cpp.
template <>
const MemberTable& TableDispatch<_Invoice>::Members();
template <>
const MemberTable& TableDispatch<_BackOrder>::Members();
}  // namespace tarvik
