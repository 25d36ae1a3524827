// What type information tells about one member beyond its dispatch: the
// vtable slot, the parameters with their automation types and names, and a
// help string. A type library and an ITypeInfo are both written from it, so
// the published description cannot drift from the code that answers calls.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik {

// Parameter directions, with the values of the platform's PARAMFLAG_ bits.
constexpr USHORT PARAMFLAG_NONE = 0x0;
constexpr USHORT PARAMFLAG_FIN = 0x1;
constexpr USHORT PARAMFLAG_FOUT = 0x2;
constexpr USHORT PARAMFLAG_FRETVAL = 0x8;

struct ParamInfo {
  std::string_view name;
  VARTYPE vt = VT_EMPTY;       // the value's type: VT_BSTR, VT_I4, ... or VT_USERDEFINED
  std::string_view user_type;  // the enumeration's name when vt is VT_USERDEFINED
  bool by_ref = false;         // passed as a pointer to the value
  USHORT flags = PARAMFLAG_NONE;
};

struct MemberSignature {
  static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
  // Index in the interface's vtable, IUnknown::QueryInterface being 0.
  std::size_t slot = kNoSlot;
  // In order; the [out, retval] result, when there is one, last.
  std::vector<ParamInfo> params;
  std::string_view help;

  bool described() const { return slot != kNoSlot; }
  bool has_result() const { return !params.empty() && (params.back().flags & PARAMFLAG_FRETVAL); }
};

}  // namespace tarvik
