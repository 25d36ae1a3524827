#include "platform/member_table.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace tarvik {
namespace {

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::string_view ascii, std::u16string_view name) {
  if (ascii.size() != name.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i) {
    if (Fold(static_cast<char16_t>(static_cast<unsigned char>(ascii[i]))) != Fold(name[i]))
      return false;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(static_cast<char16_t>(static_cast<unsigned char>(a[i]))) !=
        Fold(static_cast<char16_t>(static_cast<unsigned char>(b[i]))))
      return false;
  }
  return true;
}

std::u16string_view View(const OLECHAR* s) {
  return s ? std::u16string_view(s) : std::u16string_view();
}

// The kind a call asks for. Callers commonly pass METHOD | PROPERTYGET for
// both a function call and a property read.
bool KindMatches(MemberKind kind, WORD flags) {
  switch (kind) {
    case MemberKind::kLet:
      return (flags & DISPATCH_PROPERTYPUT) != 0;
    case MemberKind::kSet:
      return (flags & DISPATCH_PROPERTYPUTREF) != 0;
    case MemberKind::kGet:
    case MemberKind::kMethod:
      return (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
    case MemberKind::kSub:
      return (flags & DISPATCH_METHOD) != 0;
  }
  return false;
}

bool IsPut(MemberKind kind) { return kind == MemberKind::kLet || kind == MemberKind::kSet; }

// The arguments a caller may name: all but the value of a put.
std::size_t NameableCount(const MemberEntry& e) {
  if (IsPut(e.kind) && !e.params.empty()) return e.params.size() - 1;
  return e.params.size();
}

VARIANT MissingArgument() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

// The caller's argument, by reference: the member sees (and may change) the
// caller's own VARIANT, as it does when the argument comes by position.
VARIANT RefTo(VARIANT& arg) {
  if (arg.vt & VT_BYREF) return arg;  // already a reference; copying it owns nothing
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = &arg;
  return v;
}

bool HasNamedArguments(const DISPPARAMS& p, bool put) {
  for (UINT k = 0; k < p.cNamedArgs; ++k) {
    if (!(put && p.rgdispidNamedArgs[k] == DISPID_PROPERTYPUT)) return true;
  }
  return false;
}

// A call's arguments in their natural positions, for a member that was given
// some by name. The slots refer to the caller's VARIANTs and own nothing.
class PlacedArguments {
 public:
  PlacedArguments() = default;
  PlacedArguments(const PlacedArguments&) = delete;  // params() points inside
  PlacedArguments& operator=(const PlacedArguments&) = delete;

  // DISP_E_PARAMNOTFOUND with *bad_index (an index into the caller's rgvarg)
  // for a name the member does not have, or a position given twice.
  HRESULT Place(const MemberEntry& e, const DISPPARAMS& p, UINT* bad_index) {
    const bool put = IsPut(e.kind);
    const std::size_t nameable = NameableCount(e);
    const UINT named = p.cNamedArgs;
    std::optional<UINT> value;  // the caller's index of a put's value
    for (UINT k = 0; k < named; ++k) {
      if (put && p.rgdispidNamedArgs[k] == DISPID_PROPERTYPUT) {
        if (value) return Refuse(k, bad_index);
        value = k;
      }
    }
    UINT positional = p.cArgs - named;
    if (put && !value && positional > 0) {
      value = named;  // the last argument by position is the value
      --positional;
    }
    std::vector<std::optional<UINT>> natural(std::max<std::size_t>(positional, nameable));
    for (UINT i = 0; i < positional; ++i) natural[i] = p.cArgs - 1 - i;
    for (UINT k = 0; k < named; ++k) {
      const DISPID id = p.rgdispidNamedArgs[k];
      if (value && *value == k) continue;
      const auto at = static_cast<std::size_t>(id);
      if (id < 0 || at >= nameable || natural[at]) return Refuse(k, bad_index);
      natural[at] = k;
    }
    if (value) natural.push_back(value);

    // DISPPARAMS order: the last argument first.
    for (std::size_t i = natural.size(); i-- > 0;) {
      origin_.push_back(natural[i]);
      slots_.push_back(natural[i] ? RefTo(p.rgvarg[*natural[i]]) : MissingArgument());
    }
    params_ = DISPPARAMS{slots_.empty() ? nullptr : slots_.data(), value ? &put_id_ : nullptr,
                         static_cast<UINT>(slots_.size()), value ? 1u : 0u};
    return S_OK;
  }

  const DISPPARAMS& params() const { return params_; }

  // The caller's rgvarg index behind index i of params(); none for a slot
  // the caller left out.
  std::optional<UINT> CallerIndex(UINT i) const {
    return i < origin_.size() ? origin_[i] : std::nullopt;
  }

 private:
  static HRESULT Refuse(UINT k, UINT* bad_index) {
    if (bad_index) *bad_index = k;
    return DISP_E_PARAMNOTFOUND;
  }

  std::vector<VARIANT> slots_;
  std::vector<std::optional<UINT>> origin_;
  DISPID put_id_ = DISPID_PROPERTYPUT;
  DISPPARAMS params_{nullptr, nullptr, 0, 0};
};

}  // namespace

MemberTable::MemberTable(std::vector<MemberEntry> entries) : entries_(std::move(entries)) {
  DISPID next = 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].dispid != DISPID_UNKNOWN) continue;
    DISPID id = DISPID_UNKNOWN;
    for (std::size_t j = 0; j < i; ++j) {
      if (SameName(entries_[j].name, entries_[i].name)) {
        id = entries_[j].dispid;
        break;
      }
    }
    entries_[i].dispid = id == DISPID_UNKNOWN ? next++ : id;
  }
}

DISPID MemberTable::DispIdOf(std::string_view name) const {
  for (const MemberEntry& e : entries_) {
    if (SameName(e.name, name)) return e.dispid;
  }
  return DISPID_UNKNOWN;
}

DISPID MemberTable::ArgumentId(DISPID member, std::u16string_view name) const {
  for (const MemberEntry& e : entries_) {
    if (e.dispid != member) continue;
    const std::size_t nameable = NameableCount(e);
    for (std::size_t i = 0; i < nameable; ++i) {
      if (SameName(e.params[i], name)) return static_cast<DISPID>(i);
    }
  }
  return DISPID_UNKNOWN;
}

HRESULT MemberTable::GetIDsOfNames(OLECHAR** names, UINT count, DISPID* ids) const {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const MemberEntry& e : entries_) {
    if (SameName(e.name, View(names[0]))) {
      ids[0] = e.dispid;
      break;
    }
  }
  HRESULT h = ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  for (UINT i = 1; i < count; ++i) {
    if (ids[0] != DISPID_UNKNOWN) ids[i] = ArgumentId(ids[0], View(names[i]));
    if (ids[i] == DISPID_UNKNOWN) h = DISP_E_UNKNOWNNAME;
  }
  return h;
}

HRESULT MemberTable::Invoke(void* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* excep, UINT* arg_err) const {
  const MemberEntry* named = nullptr;
  const MemberEntry* chosen = nullptr;
  for (const MemberEntry& e : entries_) {
    if (e.dispid != id) continue;
    named = &e;
    if (KindMatches(e.kind, flags)) {
      chosen = &e;
      break;
    }
  }
  if (!named || !chosen) return DISP_E_MEMBERNOTFOUND;

  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const DISPPARAMS& given = params ? *params : none;
  if (given.cArgs > 0 && !given.rgvarg) return E_INVALIDARG;
  if (given.cNamedArgs > 0 && !given.rgdispidNamedArgs) return E_INVALIDARG;
  if (given.cNamedArgs > given.cArgs) return DISP_E_BADPARAMCOUNT;  // names without values

  // Arguments by name go to their positions first; a call by position (and a
  // put's value) reaches the member as the caller made it.
  std::optional<PlacedArguments> placed;
  if (HasNamedArguments(given, IsPut(chosen->kind))) {
    placed.emplace();
    HRESULT h = E_OUTOFMEMORY;
    try {
      h = placed->Place(*chosen, given, arg_err);
    } catch (const std::bad_alloc&) {
      // h says so
    }
    if (Failed(h)) return h;
  }
  const DISPPARAMS& p = placed ? placed->params() : given;

  if (result) VariantInit(result);
  bool member_failed = false;
  constexpr UINT kNone = ~0u;
  UINT failed_arg = kNone;  // written by the member's thunk for a bad argument
  HRESULT h = chosen->invoke(self, p, result, &failed_arg, &member_failed);
  if (failed_arg != kNone && arg_err) {
    if (!placed) {
      *arg_err = failed_arg;
    } else if (auto index = placed->CallerIndex(failed_arg)) {
      *arg_err = *index;
    }
  }
  if (Succeeded(h) || !member_failed) return h;

  // The member left its error info (Guard); hand it over as EXCEPINFO.
  try {
    AutomationError error = TakeError(h);
    if (excep) {
      FillExcepInfo(error, excep);
    } else {  // no EXCEPINFO: the error info stays for the caller
      SetErrorRecord({error.hresult(), error.number(), error.description(), error.source()});
    }
  } catch (const std::bad_alloc&) {
    // No memory to describe it: the code alone has to do.
  }
  return DISP_E_EXCEPTION;
}

}  // namespace tarvik
