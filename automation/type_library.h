// The TarvikInvoice type library as data: the two dual interfaces with
// their member tables, the classes that publish them and the enumerations.
// The IDL the library is compiled from (automation/typelib/) and the
// ITypeInfo objects handed out at run time are both written from this, so
// a member added to a table is described everywhere.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "platform/member_table.h"

namespace tarvik::automation {

inline constexpr std::string_view kLibraryName = "TarvikInvoice";
inline constexpr std::string_view kLibraryHelp = "TarvikInvoice invoicing component";
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;

struct PublishedInterface {
  std::string_view name;        // "_Invoice"
  std::string_view class_name;  // "Invoice", the class whose default interface it is
  const IID* iid;
  const CLSID* clsid;
  std::size_t member_count;  // vtable slots after IDispatch's
  const MemberTable& (*members)();
};

struct PublishedEnum {
  std::string_view name;
  std::vector<std::pair<std::string_view, LONG>> values;
};

std::span<const PublishedInterface> PublishedInterfaces();
std::span<const PublishedEnum> PublishedEnums();
// nullptr when iid is not a published interface.
const PublishedInterface* FindInterface(REFIID iid);

// What is wrong with an interface's table against its C++ interface: each
// entry must describe the vtable slot after the previous one, starting right
// after IDispatch's, and there must be one entry per slot. Empty when sound.
std::vector<std::string> CheckAgainstVtable(const PublishedInterface& itf);

}  // namespace tarvik::automation
