#include "tests/windows/published_description.h"

#include "automation/type_library.h"
#include "platform/member_table.h"
#include "tarvik/guids.h"

namespace tarvik::testing::windows {

namespace {

int InvokeKind(MemberKind kind) {
  switch (kind) {
    case MemberKind::kGet:
      return 2;
    case MemberKind::kLet:
      return 4;
    case MemberKind::kSet:
      return 8;
    case MemberKind::kMethod:
    case MemberKind::kSub:
      return 1;
  }
  return 0;
}

}  // namespace

ExpectedLibrary PublishedDescription() {
  using namespace automation;  // NOLINT: the library's vocabulary
  ExpectedLibrary lib{std::string(kLibraryName),
                      GuidToString(LIBID_TarvikInvoice),
                      kLibraryMajor,
                      kLibraryMinor,
                      {},
                      {}};
  for (const PublishedInterface& itf : PublishedInterfaces()) {
    ExpectedInterface e{std::string(itf.name),
                        std::string(itf.class_name),
                        GuidToString(*itf.iid),
                        GuidToString(*itf.clsid),
                        {}};
    for (const MemberEntry& m : itf.members().entries()) {
      ExpectedFunction f{std::string(m.name),
                         m.dispid,
                         InvokeKind(m.kind),
                         static_cast<int>(m.signature.slot),
                         static_cast<int>(m.signature.params.size()),
                         {},
                         std::string(m.signature.help)};
      for (const ParamInfo& p : m.signature.params) f.param_names.emplace_back(p.name);
      e.functions.push_back(std::move(f));
    }
    lib.interfaces.push_back(std::move(e));
  }
  for (const PublishedEnum& en : PublishedEnums()) {
    ExpectedEnum e{std::string(en.name), {}};
    for (const auto& [name, value] : en.values) e.values.emplace_back(std::string(name), value);
    lib.enums.push_back(std::move(e));
  }
  return lib;
}

}  // namespace tarvik::testing::windows
