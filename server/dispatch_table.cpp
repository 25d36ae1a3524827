#include "server/dispatch_table.h"

#include <cassert>

namespace tarvik::server {
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
  }
  return false;
}

bool IsPut(MemberKind kind) { return kind == MemberKind::kLet || kind == MemberKind::kSet; }

}  // namespace

MemberTable::MemberTable(std::vector<MemberEntry> entries) : entries_(std::move(entries)) {
  DISPID next = 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
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

HRESULT MemberTable::GetIDsOfNames(OLECHAR** names, UINT count, DISPID* ids) const {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT h = S_OK;
  ids[0] = DISPID_UNKNOWN;
  for (const MemberEntry& e : entries_) {
    if (SameName(e.name, View(names[0]))) {
      ids[0] = e.dispid;
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) h = DISP_E_UNKNOWNNAME;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    h = DISP_E_UNKNOWNNAME;
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
  const DISPPARAMS& p = params ? *params : none;
  if (p.cArgs > 0 && !p.rgvarg) return E_INVALIDARG;
  // The only named argument understood is the value of a property put.
  if (IsPut(chosen->kind)) {
    if (p.cNamedArgs > 1 || (p.cNamedArgs == 1 && (!p.rgdispidNamedArgs ||
                                                   p.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)))
      return DISP_E_PARAMNOTFOUND;
  } else if (p.cNamedArgs != 0) {
    return DISP_E_PARAMNOTFOUND;
  }

  if (result) VariantInit(result);
  bool member_failed = false;
  HRESULT h = chosen->invoke(self, p, result, arg_err, &member_failed);
  if (Succeeded(h) || !member_failed) return h;

  // The member left its error record (Guard); hand it over as EXCEPINFO.
  std::optional<ErrorRecord> record = TakeErrorRecord();
  if (!record || record->hresult != h) {
    record = ErrorRecord{h, 0, {}, {}};
  }
  if (excep) {
    AutomationError error =
        record->number != 0 ? AutomationError(record->number, record->description, record->source)
                            : AutomationError::FromHResult(h, record->description, record->source);
    FillExcepInfo(error, excep);
  } else {
    SetErrorRecord(*record);  // no EXCEPINFO: leave the record for the caller
  }
  return DISP_E_EXCEPTION;
}

namespace detail {

HRESULT ChangeTo(const VARIANT& src, VARTYPE vt, Variant* out) {
  Variant value;
  HRESULT h = VariantCopyInd(value.raw_mut(), &src);
  if (Failed(h)) return h;
  if (value.vt() == vt) {
    *out = std::move(value);
    return S_OK;
  }
  h = VariantChangeType(out->raw_mut(), &value.raw(), 0, vt);
  if (Failed(h)) return h;
  return out->vt() == vt ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT InArg<IDispatch*>::Load(const VARIANT& src) {
  const VARIANT* v = &src;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  switch (v->vt) {
    case VT_EMPTY:
      object = nullptr;
      return S_OK;
    case VT_DISPATCH:
      object = ComPtr<IDispatch>(v->pdispVal);
      return S_OK;
    case VT_DISPATCH | VT_BYREF:
      object = ComPtr<IDispatch>(v->ppdispVal ? *v->ppdispVal : nullptr);
      return S_OK;
    case VT_UNKNOWN:
    case VT_UNKNOWN | VT_BYREF: {
      IUnknown* unk = v->vt == VT_UNKNOWN ? v->punkVal : (v->ppunkVal ? *v->ppunkVal : nullptr);
      if (!unk) {
        object = nullptr;
        return S_OK;
      }
      if (Failed(unk->QueryInterface(IID_IDispatch, object.put_void()))) return DISP_E_TYPEMISMATCH;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT InArg<VARIANT*>::Load(const VARIANT& src) {
  // By reference: a VT_BYREF|VT_VARIANT points at the caller's variable;
  // anything else is a temporary the caller handed over.
  VARIANT* v = const_cast<VARIANT*>(&src);
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (!v->pvarVal) return E_INVALIDARG;
    v = v->pvarVal;
  }
  target = v;
  return S_OK;
}

void StoreBoolean(VARIANT_BOOL v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_BOOL;
  result->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

void StoreLong(LONG v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = v;
}

void StoreByte(BYTE v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_UI1;
  result->bVal = v;
}

void StoreString(BSTR v, VARIANT* result) {
  if (!result) {
    SysFreeString(v);
    return;
  }
  result->vt = VT_BSTR;
  result->bstrVal = v;
}

void StoreObject(IDispatch* v, VARIANT* result) {
  if (!result) {
    if (v) v->Release();
    return;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = v;
}

}  // namespace detail
}  // namespace tarvik::server
