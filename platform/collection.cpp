#include "platform/collection.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik {

// {A4C46780-499F-101B-BB78-00AA00383CBB}, the platform's own collection IID.
const IID IID_Collection = {0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};

namespace {

constexpr DISPID kDispAdd = 1;
constexpr DISPID kDispCount = 2;
constexpr DISPID kDispItem = DISPID_VALUE;
constexpr DISPID kDispRemove = 3;

struct Member {
  const char16_t* name;
  DISPID id;
  UINT min_args;
  UINT max_args;
};

constexpr Member kMembers[] = {
    {u"Add", kDispAdd, 1, 4},
    {u"Count", kDispCount, 0, 0},
    {u"Item", kDispItem, 1, 1},
    {u"Remove", kDispRemove, 1, 1},
};

char16_t Fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  return c;
}

std::u16string FoldCase(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = Fold(c);
  return out;
}

bool SameName(const char16_t* a, const OLECHAR* b) {
  if (!b) return false;
  for (; *a && *b; ++a, ++b) {
    if (Fold(*a) != Fold(*b)) return false;
  }
  return *a == *b;
}

class CollectionImpl : public ComObject<CollectionImpl, Collection> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_IDispatch || riid == IID_Collection) return static_cast<Collection*>(this);
    return nullptr;
  }

  void Add(const Variant& item, const Variant& key, const Variant& before,
           const Variant& after) override {
    std::optional<std::u16string> folded;
    if (!key.is_missing()) {
      folded = FoldCase(key.ToString16());
      if (FindKey(*folded)) RaiseError(kErrDuplicateKey);
    }
    std::size_t pos = items_.size();
    if (!before.is_missing() && !after.is_missing()) RaiseError(kErrInvalidProcedureCall);
    if (!before.is_missing()) pos = Locate(before);
    if (!after.is_missing()) pos = Locate(after) + 1;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), Entry{item, folded});
  }

  std::int32_t Count() override { return static_cast<std::int32_t>(items_.size()); }

  Variant Item(const Variant& index) override { return items_[Locate(index)].item; }

  void Remove(const Variant& index) override {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Locate(index)));
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }

  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }

  HRESULT GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Member& m : kMembers) {
      if (SameName(m.name, names[0])) ids[0] = m.id;
    }
    if (ids[0] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    // None of the members has named arguments.
    if (count > 1) result = DISP_E_UNKNOWNNAME;
    return result;
  }

  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* arg_err) override {
    const Member* member = nullptr;
    for (const Member& m : kMembers) {
      if (m.id == id) member = &m;
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;
    const bool is_get = flags & DISPATCH_PROPERTYGET;
    if ((id == kDispAdd || id == kDispRemove) && !(flags & DISPATCH_METHOD)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (!is_get && !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    const UINT argc = params ? params->cArgs : 0;
    if (params && params->cNamedArgs > 0) return DISP_E_PARAMNOTFOUND;
    if (argc > 0 && !params->rgvarg) return E_INVALIDARG;
    if (argc < member->min_args || argc > member->max_args) return DISP_E_BADPARAMCOUNT;

    // Arguments arrive in reverse order; absent ones are Missing.
    auto arg = [&](UINT i) {
      return i < argc ? Variant(params->rgvarg[argc - 1 - i]) : Variant::Missing();
    };
    if (arg_err) *arg_err = 0;
    Variant answer;
    HRESULT h = Guard([&] {
      switch (id) {
        case kDispAdd:
          if (arg(0).is_missing()) RaiseError(kErrArgumentNotOptional);
          Add(arg(0), arg(1), arg(2), arg(3));
          break;
        case kDispCount:
          answer = Variant::Long(Count());
          break;
        case kDispItem:
          answer = Item(arg(0));
          break;
        case kDispRemove:
          Remove(arg(0));
          break;
        default:
          break;
      }
      if (result) answer.CopyTo(result);
    });
    if (Failed(h) && excep) {
      // The record stays set as well, for callers that read it instead.
      std::optional<ErrorRecord> rec = TakeErrorRecord();
      if (rec) {
        FillExcepInfo(AutomationError(rec->number, rec->description, rec->source), excep);
        excep->scode = h;
        SetErrorRecord(*rec);
      }
      return DISP_E_EXCEPTION;
    }
    return h;
  }

 private:
  struct Entry {
    Variant item;
    std::optional<std::u16string> key;  // case-folded
  };

  std::optional<std::size_t> FindKey(const std::u16string& folded) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].key && *items_[i].key == folded) return i;
    }
    return std::nullopt;
  }

  // A position (1-based) or a key; anything else that names no item is error 5.
  std::size_t Locate(const Variant& index) const {
    if (index.is_missing()) RaiseError(kErrArgumentNotOptional);
    Variant v(index.raw());  // one level of reference undone
    if (v.is_string()) {
      if (auto i = FindKey(FoldCase(v.ToString16()))) return *i;
      RaiseError(kErrInvalidProcedureCall);
    }
    if (v.is_null() || v.is_object() || v.vt() == VT_ERROR) RaiseError(kErrTypeMismatch);
    double position = 0;
    try {
      position = v.ToDouble();
    } catch (const AutomationError&) {
      RaiseError(kErrTypeMismatch);
    }
    const double rounded = regional::BankersRound(position);
    if (!(rounded >= 1 && rounded <= static_cast<double>(items_.size()))) {
      RaiseError(kErrInvalidProcedureCall);
    }
    return static_cast<std::size_t>(rounded) - 1;
  }

  std::vector<Entry> items_;
};

}  // namespace

ComPtr<Collection> NewCollection() { return MakeCom<CollectionImpl>(); }

}  // namespace tarvik
