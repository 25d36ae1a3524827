// The type library's description against the C++ interfaces: every table
// entry sits in its vtable slot, a moved entry is caught, and the IDL lists
// the published members in slot order with their dispids, kinds and help.
#include "automation/type_library.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "automation/dispatch_table.h"
#include "automation/typelib/idl_writer.h"
#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "tarvik/interfaces.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/published_members.h"

namespace tarvik::automation {
namespace {

using namespace testing::published;  // NOLINT: the slot vocabulary

TEST(TypeLibrary, EveryTableEntrySitsInItsVtableSlot) {
  ASSERT_EQ(PublishedInterfaces().size(), 2u);
  for (const PublishedInterface& itf : PublishedInterfaces()) {
    EXPECT_EQ(CheckAgainstVtable(itf), std::vector<std::string>{}) << itf.name;
  }
}

// The _Invoice table with entries i and j exchanged, or entry i left out.
const MemberTable& Reordered(std::size_t i, std::size_t j) {
  static std::vector<std::unique_ptr<MemberTable>> kept;
  std::vector<MemberEntry> entries = TableDispatch<_Invoice>::Members().entries();
  if (j < entries.size()) {
    std::swap(entries[i], entries[j]);
  } else {
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (MemberEntry& e : entries) e.dispid = DISPID_UNKNOWN;
  kept.push_back(std::make_unique<MemberTable>(std::move(entries)));
  return *kept.back();
}

TEST(TypeLibrary, AMovedOrMissingEntryIsCaught) {
  struct Case {
    const char* what;
    const MemberTable& (*table)();
    std::vector<std::string> must_mention;
  };
  const Case kCases[] = {
      {"Save and Delete exchanged",
       []() -> const MemberTable& { return Reordered(22, 23); },
       {"entry 22 (Save)", "entry 23 (Delete)"}},
      {"a property's Let after its Get",
       []() -> const MemberTable& { return Reordered(0, 1); },
       {"entry 0 (LineStatus)", "entry 1 (LineStatus)"}},
      {"the last member left out",
       []() -> const MemberTable& { return Reordered(77, 999); },
       {"77 table entries for 78 vtable slots"}},
  };
  for (const Case& c : kCases) {
    PublishedInterface itf = PublishedInterfaces()[0];
    itf.members = c.table;
    std::vector<std::string> faults = CheckAgainstVtable(itf);
    std::string all;
    for (const std::string& f : faults) all += f + "\n";
    for (const std::string& m : c.must_mention) {
      EXPECT_NE(all.find(m), std::string::npos) << c.what << ": " << all;
    }
  }
}

struct IdlMember {
  DISPID id;
  std::string kind;  // "propget", "propput", "propputref" or ""
  std::string help;
  std::string name;
};

// The members of `interface` in the order the IDL lists them.
std::vector<IdlMember> MembersInIdl(const std::string& idl, const std::string& interface_name) {
  std::vector<IdlMember> members;
  std::size_t begin = idl.find("interface " + interface_name + " : IDispatch {");
  if (begin == std::string::npos) return members;
  std::size_t end = idl.find("};", begin);
  std::istringstream body(idl.substr(begin, end - begin));
  static const std::regex kAttrs(
      R"re(^\s*\[id\((-?\d+)\)(?:, (propget|propput|propputref))?(?:, helpstring\("((?:[^"\\]|\\.)*)"\))?\]\s*$)re");
  static const std::regex kDecl(R"(^\s*HRESULT (\w+)\()");
  std::string line;
  IdlMember pending{};
  bool have = false;
  while (std::getline(body, line)) {
    std::smatch m;
    if (std::regex_match(line, m, kAttrs)) {
      pending = {std::stoi(m[1]), m[2], m[3], {}};
      have = true;
    } else if (std::regex_search(line, m, kDecl) && have) {
      pending.name = m[1];
      members.push_back(pending);
      have = false;
    }
  }
  return members;
}

std::string KindOf(Kind k) {
  switch (k) {
    case kGet:
      return "propget";
    case kLet:
      return "propput";
    case kSet:
      return "propputref";
    default:
      return "";
  }
}

TEST(TypeLibrary, TheIdlListsThePublishedMembersInSlotOrder) {
  std::ostringstream out;
  ASSERT_EQ(WriteIdl(out), std::vector<std::string>{});
  const std::string idl = out.str();
  struct Surface {
    const char* name;
    const std::vector<Slot>* slots;
    ComPtr<IDispatch> object;
  };
  const Surface kSurfaces[] = {
      {"_Invoice", &kInvoiceSlots, ComPtr<IDispatch>(invoice::NewInvoice().get())},
      {"_BackOrder", &kBackOrderSlots, ComPtr<IDispatch>(backorder::NewBackOrder().get())},
  };
  for (const Surface& s : kSurfaces) {
    std::vector<IdlMember> members = MembersInIdl(idl, s.name);
    ASSERT_EQ(members.size(), s.slots->size()) << s.name;
    for (std::size_t i = 0; i < members.size(); ++i) {
      const Slot& slot = (*s.slots)[i];
      SCOPED_TRACE(std::string(s.name) + " slot " + std::to_string(i));
      EXPECT_EQ(members[i].name, slot.name);
      EXPECT_EQ(members[i].kind, KindOf(slot.kind));
      EXPECT_EQ(members[i].id, testing::DispIdOf(s.object.get(), slot.name));
    }
  }
  // Help strings, escaped for IDL.
  EXPECT_NE(
      idl.find(
          R"(helpstring("Flag indicates if the \"Pack Verify\" option is set in the System table."))"),
      std::string::npos);
  EXPECT_NE(idl.find(R"(helpstring("Main selection query for object records."))"),
            std::string::npos);
  // Attributes, the enumerations and the classes.
  EXPECT_NE(idl.find("dual,\n      hidden,\n      nonextensible,\n      oleautomation"),
            std::string::npos);
  EXPECT_NE(idl.find("tmDelete = 3"), std::string::npos);
  EXPECT_NE(idl.find("ibCustomerOrderNumber = 3"), std::string::npos);
  EXPECT_NE(idl.find("coclass Invoice {\n        [default] interface _Invoice;"),
            std::string::npos);
  EXPECT_NE(idl.find("HRESULT SeekRecord([in, out] VARIANT* vSeekValue, [out, retval] "
                     "VARIANT_BOOL* result);"),
            std::string::npos);
  EXPECT_NE(idl.find("HRESULT Connect([in] IDispatch* oConnect);"), std::string::npos);
  EXPECT_NE(idl.find("HRESULT TransactionMode([in] TransMode value);"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::automation
