#include "automation/type_library.h"

#include "automation/dispatch_table.h"
#include "tarvik/interfaces.h"

namespace tarvik::automation {

std::span<const PublishedInterface> PublishedInterfaces() {
  static const PublishedInterface kInterfaces[] = {
      {"_Invoice", "Invoice", &IID__Invoice, &CLSID_Invoice, kInvoiceMemberCount,
       &TableDispatch<_Invoice>::Members},
      {"_BackOrder", "BackOrder", &IID__BackOrder, &CLSID_BackOrder, kBackOrderMemberCount,
       &TableDispatch<_BackOrder>::Members},
  };
  return kInterfaces;
}

std::span<const PublishedEnum> PublishedEnums() {
  // C++ cannot name an enumerator; the values themselves come from enums.h.
  static const PublishedEnum kEnums[] = {
      {"TransMode",
       {{"tmCancel", tmCancel}, {"tmAdd", tmAdd}, {"tmEdit", tmEdit}, {"tmDelete", tmDelete}}},
      {"InvoiceBy",
       {{"ibOrderNumber", ibOrderNumber},
        {"ibShipToLocation", ibShipToLocation},
        {"ibCustomer", ibCustomer},
        {"ibCustomerOrderNumber", ibCustomerOrderNumber}}},
  };
  return kEnums;
}

const PublishedInterface* FindInterface(REFIID iid) {
  for (const PublishedInterface& itf : PublishedInterfaces()) {
    if (*itf.iid == iid) return &itf;
  }
  return nullptr;
}

std::vector<std::string> CheckAgainstVtable(const PublishedInterface& itf) {
  std::vector<std::string> faults;
  const std::vector<MemberEntry>& entries = itf.members().entries();
  if (entries.size() != itf.member_count) {
    faults.push_back(std::string(itf.name) + ": " + std::to_string(entries.size()) +
                     " table entries for " + std::to_string(itf.member_count) + " vtable slots");
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const MemberEntry& e = entries[i];
    std::string where =
        std::string(itf.name) + " entry " + std::to_string(i) + " (" + std::string(e.name) + ")";
    if (!e.signature.described()) {
      faults.push_back(where + ": no type description");
    } else if (e.signature.slot != kDispatchSlots + i) {
      faults.push_back(where + ": names vtable slot " + std::to_string(e.signature.slot) +
                       ", expected " + std::to_string(kDispatchSlots + i));
    }
  }
  return faults;
}

}  // namespace tarvik::automation
