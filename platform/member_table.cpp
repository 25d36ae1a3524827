#include "platform/member_table.h"

#include <optional>

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

}  // namespace tarvik
