#include "platform/collection.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/member_table.h"
#include "platform/regional.h"

namespace tarvik {

// {EE9EA266-2C7B-4B18-B49F-392AFCF8C166}: ours. The Windows platform's own
// collection interface has another vtable, so its IID is not answered here:
// a client asking for it must get E_NOINTERFACE, not our vtable.
const IID IID_Collection = {0xEE9EA266, 0x2C7B, 0x4B18, {0xB4, 0x9F, 0x39, 0x2A, 0xFC, 0xF8, 0xC1, 0x66}};

template <>
const MemberTable& TableDispatch<Collection>::Members();

namespace {

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

class CollectionImpl : public ComObject<CollectionImpl, TableDispatch<Collection>> {
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

Collection* Self(void* self) { return static_cast<Collection*>(self); }

// Add(item, [key], [before], [after]): the item itself is not optional.
HRESULT AddMember(void* self, const DISPPARAMS& p, VARIANT*, UINT*, bool* failed) {
  return RunMember(p, 1, 4, failed, [&] {
    Variant item = OptionalArg(p, 0);
    if (item.is_missing()) RaiseError(kErrArgumentNotOptional);
    Self(self)->Add(item, OptionalArg(p, 1), OptionalArg(p, 2), OptionalArg(p, 3));
  });
}

HRESULT CountMember(void* self, const DISPPARAMS& p, VARIANT* result, UINT*, bool* failed) {
  return RunMember(p, 0, 0, failed, [&] {
    if (result) Variant::Long(Self(self)->Count()).CopyTo(result);
  });
}

HRESULT ItemMember(void* self, const DISPPARAMS& p, VARIANT* result, UINT*, bool* failed) {
  return RunMember(p, 1, 1, failed, [&] {
    Variant item = Self(self)->Item(OptionalArg(p, 0));
    if (result) item.CopyTo(result);
  });
}

HRESULT RemoveMember(void* self, const DISPPARAMS& p, VARIANT*, UINT*, bool* failed) {
  return RunMember(p, 1, 1, failed, [&] { Self(self)->Remove(OptionalArg(p, 0)); });
}

}  // namespace

// Item is the default member.
template <>
const MemberTable& TableDispatch<Collection>::Members() {
  static const MemberTable table({
      {"Add", MemberKind::kSub, &AddMember, DISPID_UNKNOWN, {"Item", "Key", "Before", "After"}},
      {"Count", MemberKind::kGet, &CountMember},
      {"Item", MemberKind::kGet, &ItemMember, DISPID_VALUE, {"Index"}},
      {"Remove", MemberKind::kSub, &RemoveMember, DISPID_UNKNOWN, {"Index"}},
  });
  return table;
}

ComPtr<Collection> NewCollection() { return MakeCom<CollectionImpl>(); }

}  // namespace tarvik
