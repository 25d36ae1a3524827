// A host's own collection, not ours: late-bound Count, Item (by 1-based
// position or key) and Add(item, key), nothing else; no named arguments.
// Stands for any collection-like object a client hands the component.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_object.h"
#include "platform/variant.h"

namespace tarvik::testing {

class HostList final : public ComObject<HostList, NoTypeInfo<IDispatch>> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    return riid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
  }
  HRESULT GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID, DISPID* ids) override {
    const std::string name = Utf8(std::u16string_view(names[0]));
    const struct {
      const char* name;
      DISPID id;
    } kMembers[] = {{"Item", 0}, {"Count", 1}, {"Add", 2}};
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const auto& m : kMembers) {
      if (name == m.name) ids[0] = m.id;
    }
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (p->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    auto arg = [&](UINT i) { return Variant(p->rgvarg[p->cArgs - 1 - i]); };
    switch (id) {
      case 0: {
        if (p->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        Variant index = arg(0);
        for (std::size_t i = 0; i < items.size(); ++i) {
          const bool hit = index.is_string() ? items[i].first == index.ToString()
                                             : index.ToLong() == static_cast<LONG>(i + 1);
          if (hit) {
            if (result) items[i].second.CopyTo(result);
            return S_OK;
          }
        }
        return DISP_E_BADINDEX;
      }
      case 1:
        if (result) Variant::Long(static_cast<LONG>(items.size())).CopyTo(result);
        return S_OK;
      case 2:
        if (p->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        items.emplace_back(arg(1).ToString(), arg(0));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  static constexpr HRESULT DISP_E_NONAMEDARGS = hr(0x80020007);
  static constexpr HRESULT DISP_E_BADINDEX = hr(0x8002000B);
  std::vector<std::pair<std::string, Variant>> items;  // key, item
};

}  // namespace tarvik::testing
