// The type description of a published member, read off its member-function
// pointer: the vtable slot it occupies and the automation type of every
// parameter. Argument names and the help string come from the table line;
// what the compiler already knows is never written twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/member_signature.h"
#include "tarvik/interfaces.h"

namespace tarvik::automation {

namespace detail {

template <class T>
struct AutomationType;  // no definition: a parameter type the library cannot publish

template <VARTYPE kVt>
struct Plain {
  static constexpr VARTYPE vt = kVt;
  static constexpr std::string_view user_type = {};
};
template <>
struct AutomationType<BYTE> : Plain<VT_UI1> {};
template <>
struct AutomationType<LONG> : Plain<VT_I4> {};
template <>
struct AutomationType<VARIANT_BOOL> : Plain<VT_BOOL> {};
template <>
struct AutomationType<BSTR> : Plain<VT_BSTR> {};
template <>
struct AutomationType<VARIANT> : Plain<VT_VARIANT> {};
template <>
struct AutomationType<IDispatch*> : Plain<VT_DISPATCH> {};
template <>
struct AutomationType<TransMode> {
  static constexpr VARTYPE vt = VT_USERDEFINED;
  static constexpr std::string_view user_type = "TransMode";
};
template <>
struct AutomationType<InvoiceBy> {
  static constexpr VARTYPE vt = VT_USERDEFINED;
  static constexpr std::string_view user_type = "InvoiceBy";
};

// An in-parameter: by value, except a Variant, which travels by reference
// and comes back changed ([in, out]).
template <class T>
ParamInfo InParam() {
  if constexpr (std::is_same_v<T, VARIANT*>) {
    return {{}, VT_VARIANT, {}, true, PARAMFLAG_FIN | PARAMFLAG_FOUT};
  } else {
    return {{}, AutomationType<T>::vt, AutomationType<T>::user_type, false, PARAMFLAG_FIN};
  }
}

template <class T>
ParamInfo ResultParam() {
  using V = std::remove_pointer_t<T>;
  return {{},
          AutomationType<V>::vt,
          AutomationType<V>::user_type,
          true,
          PARAMFLAG_FOUT | PARAMFLAG_FRETVAL};
}

// The vtable index of a virtual member function. In the Itanium C++ ABI
// (GCC and Clang, MinGW-w64 included) the pointer's first word holds
// 1 + the byte offset into the vtable for a virtual function.
template <auto M>
std::size_t VtableSlot() {
  static_assert(sizeof(M) == 2 * sizeof(std::ptrdiff_t), "Itanium member-function pointer");
#if defined(__x86_64__) || defined(__i386__)
  auto member = M;
  std::ptrdiff_t words[2];
  std::memcpy(words, &member, sizeof(words));
  if ((words[0] & 1) == 0) return MemberSignature::kNoSlot;  // not virtual
  return static_cast<std::size_t>(words[0] - 1) / sizeof(void*);
#else
  return MemberSignature::kNoSlot;
#endif
}

template <class M>
struct SignatureBuilder;

template <class C, class... A>
struct SignatureBuilder<HRESULT (C::*)(A...)> {
  static constexpr bool kHasOut = [] {
    if constexpr (sizeof...(A) == 0) {
      return false;
    } else {
      using Last = std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>;
      return std::is_pointer_v<Last> && !std::is_same_v<Last, BSTR> &&
             !std::is_same_v<Last, VARIANT*> && !std::is_same_v<Last, IDispatch*>;
    }
  }();

  template <std::size_t I>
  static ParamInfo Param() {
    using T = std::tuple_element_t<I, std::tuple<A...>>;
    if constexpr (kHasOut && I + 1 == sizeof...(A)) {
      return ResultParam<T>();
    } else {
      return InParam<T>();
    }
  }

  template <std::size_t... I>
  static std::vector<ParamInfo> Params(std::index_sequence<I...>) {
    return {Param<I>()...};
  }
  static std::vector<ParamInfo> Params() { return Params(std::index_sequence_for<A...>{}); }
};

}  // namespace detail

// The description of member M. `args` names its arguments in order, the
// result not counted (as the table line gives them); an argument left
// unnamed is "value", and the result is "value" for a property, "result"
// for a function.
template <auto M>
MemberSignature SignatureOf(bool property, const std::vector<std::string_view>& args,
                            std::string_view help) {
  MemberSignature s;
  s.slot = detail::VtableSlot<M>();
  s.params = detail::SignatureBuilder<decltype(M)>::Params();
  s.help = help;
  auto name = args.begin();
  for (ParamInfo& p : s.params) {
    if (p.flags & PARAMFLAG_FRETVAL) {
      p.name = property ? "value" : "result";
    } else {
      p.name = name != args.end() ? *name++ : "value";
    }
  }
  return s;
}

}  // namespace tarvik::automation
