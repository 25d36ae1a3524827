// The type information the published objects hand out at run time, against
// the independent list of published members: names, dispids, invoke kinds,
// vtable offsets, parameters and help strings; and the class info scripts
// take the class name from.
#include "automation/type_info.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "automation/type_library.h"
#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/type_info.h"
#include "tarvik/interfaces.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/published_members.h"

namespace tarvik::automation {
namespace {

using namespace testing::published;  // NOLINT: the slot vocabulary

struct Surface {
  const char* interface_name;
  const char* class_name;
  const IID* iid;
  const CLSID* clsid;
  const std::vector<Slot>* slots;
  ComPtr<IDispatch> (*create)();
};

ComPtr<IDispatch> CreateInvoice() { return ComPtr<IDispatch>(invoice::NewInvoice().get()); }
ComPtr<IDispatch> CreateBackOrder() { return ComPtr<IDispatch>(backorder::NewBackOrder().get()); }

const Surface kSurfaces[] = {
    {"_Invoice", "Invoice", &IID__Invoice, &CLSID_Invoice, &kInvoiceSlots, &CreateInvoice},
    {"_BackOrder", "BackOrder", &IID__BackOrder, &CLSID_BackOrder, &kBackOrderSlots,
     &CreateBackOrder},
};

// Help strings and argument names as published, written out independently.
const std::map<std::string, std::string> kHelp = {
    {"PackVerify", "Flag indicates if the \"Pack Verify\" option is set in the System table."},
    {"InvoiceReport", "Name of the invoice report file."},
    {"Extra2", "Extra data field #2 for Invoice Header"},
    {"Extra1", "Extra data field #1 for Invoice Header"},
    {"QueryName", "Main selection query for object records."},
};
const std::map<std::string, std::string> kArgumentNames = {
    {"SeekRecord", "vSeekValue"},
    {"Connect", "oConnect"},
};

INVOKEKIND ExpectedInvokeKind(Kind k) {
  switch (k) {
    case kLet:
      return INVOKE_PROPERTYPUT;
    case kGet:
      return INVOKE_PROPERTYGET;
    case kSet:
      return INVOKE_PROPERTYPUTREF;
    case kFunction:
    case kSub:
      return INVOKE_FUNC;
  }
  return INVOKE_FUNC;
}

SHORT ExpectedParamCount(const Slot& s) {
  if (s.kind == kSub) return 0;
  SHORT n = 1;  // the value, or the function's result
  if (s.kind == kFunction && kArgumentNames.count(s.name)) ++n;
  return n;
}

ComPtr<ITypeInfo> InfoOf(IDispatch* o) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(o->GetTypeInfo(0, 0, info.put()), S_OK);
  return info;
}

std::string Text(BSTR s) { return Utf8(s); }

class TypeInfoTest : public ::testing::TestWithParam<Surface> {};

TEST_P(TypeInfoTest, EveryObjectAnswersOneTypeInfo) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  UINT n = 0;
  ASSERT_EQ(o->GetTypeInfoCount(&n), S_OK);
  EXPECT_EQ(n, 1u);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(o->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_FALSE(info);
  EXPECT_EQ(o->GetTypeInfo(0, 0, nullptr), E_POINTER);
  ComPtr<ITypeInfo> direct;
  ASSERT_EQ(InterfaceTypeInfo(*s.iid, direct.put()), S_OK);
  EXPECT_EQ(InfoOf(o.get()).get(), direct.get()) << "one description per interface";
  ComPtr<ITypeInfo> unknown;
  EXPECT_EQ(InterfaceTypeInfo(IID_IDispatch, unknown.put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_FALSE(unknown);
}

TEST_P(TypeInfoTest, AttributesDescribeTheDualInterface) {
  const Surface& s = GetParam();
  ComPtr<ITypeInfo> info = InfoOf(s.create().get());
  ASSERT_TRUE(info);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->guid == *s.iid);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->cFuncs, s.slots->size());
  EXPECT_EQ(attr->cVars, 0);
  EXPECT_EQ(attr->cbSizeVft, (kDispatchSlots + s.slots->size()) * sizeof(void*));
  for (WORD flag :
       {TYPEFLAG_FDUAL, TYPEFLAG_FHIDDEN, TYPEFLAG_FNONEXTENSIBLE, TYPEFLAG_FOLEAUTOMATION}) {
    EXPECT_TRUE(attr->wTypeFlags & flag) << "flag " << flag;
  }
  EXPECT_EQ(attr->wMajorVerNum, kLibraryMajor);
  info->ReleaseTypeAttr(attr);

  BSTR name = nullptr, doc = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), s.interface_name);
  SysFreeString(name);
  SysFreeString(doc);
}

TEST_P(TypeInfoTest, FunctionsFollowThePublishedSlots) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  ComPtr<ITypeInfo> info = InfoOf(o.get());
  ASSERT_TRUE(info);
  for (std::size_t i = 0; i < s.slots->size(); ++i) {
    const Slot& slot = (*s.slots)[i];
    SCOPED_TRACE(std::string(s.interface_name) + "." + slot.name + " at " + std::to_string(i));
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(i), &f), S_OK);
    EXPECT_EQ(f->memid, testing::DispIdOf(o.get(), slot.name));
    EXPECT_EQ(f->invkind, ExpectedInvokeKind(slot.kind));
    EXPECT_EQ(f->oVft, static_cast<SHORT>((kDispatchSlots + slot.position) * sizeof(void*)));
    EXPECT_EQ(f->cParams, ExpectedParamCount(slot));
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
    if (slot.kind == kGet || slot.kind == kFunction) {
      const ELEMDESC& last = f->lprgelemdescParam[f->cParams - 1];
      EXPECT_EQ(last.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
      EXPECT_EQ(last.tdesc.vt, VT_PTR);
    }
    if (slot.kind == kLet || slot.kind == kSet) {
      EXPECT_EQ(f->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN);
      EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt == VT_DISPATCH, slot.type == kObject);
    }

    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(f->memid, names, 4, &count), S_OK);
    ASSERT_GE(count, 1u);
    EXPECT_EQ(Text(names[0]), slot.name);
    auto arg = kArgumentNames.find(slot.name);
    if (arg != kArgumentNames.end()) {
      ASSERT_GE(count, 2u);
      EXPECT_EQ(Text(names[1]), arg->second);
    }
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(f->memid, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), slot.name);
    auto help = kHelp.find(slot.name);
    EXPECT_EQ(Text(doc), help == kHelp.end() ? "" : help->second);
    SysFreeString(name);
    SysFreeString(doc);
    info->ReleaseFuncDesc(f);
  }
  FUNCDESC* past = nullptr;
  EXPECT_EQ(info->GetFuncDesc(static_cast<UINT>(s.slots->size()), &past), TYPE_E_ELEMENTNOTFOUND);
}

TEST_P(TypeInfoTest, NamesResolveAsTheObjectResolvesThem) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  ComPtr<ITypeInfo> info = InfoOf(o.get());
  for (const std::string& name : Names(*s.slots)) {
    std::u16string wide = Utf16(name);
    OLECHAR* names[] = {wide.data()};
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK) << name;
    EXPECT_EQ(id, testing::DispIdOf(o.get(), name)) << name;
  }
  std::u16string missing = u"NoSuchMember";
  OLECHAR* names[] = {missing.data()};
  MEMBERID id = 0;
  EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, MEMBERID_NIL);
}

TEST_P(TypeInfoTest, TheClassInfoNamesTheClass) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  ComPtr<IProvideClassInfo> provider = o.As<IProvideClassInfo>(IID_IProvideClassInfo);
  ASSERT_TRUE(provider);
  // A part of the same object: same identity.
  ComPtr<IUnknown> a = o.As<IUnknown>(IID_IUnknown), b = provider.As<IUnknown>(IID_IUnknown);
  EXPECT_EQ(a.get(), b.get());

  ComPtr<ITypeInfo> cls;
  ASSERT_EQ(provider->GetClassInfo(cls.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(attr->guid == *s.clsid);
  EXPECT_EQ(attr->cImplTypes, 1);
  cls->ReleaseTypeAttr(attr);
  BSTR name = nullptr;
  ASSERT_EQ(cls->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), s.class_name);
  SysFreeString(name);

  INT flags = 0;
  EXPECT_EQ(cls->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  HREFTYPE ref = 99;
  ASSERT_EQ(cls->GetRefTypeOfImplType(0, &ref), S_OK);
  ComPtr<ITypeInfo> default_interface;
  ASSERT_EQ(cls->GetRefTypeInfo(ref, default_interface.put()), S_OK);
  EXPECT_EQ(default_interface.get(), InfoOf(o.get()).get());
}

INSTANTIATE_TEST_SUITE_P(Published, TypeInfoTest, ::testing::ValuesIn(kSurfaces),
                         [](const auto& p) { return std::string(p.param.class_name); });

TEST(TypeInfoParameters, CarryTheirTypesAndDirections) {
  ComPtr<IDispatch> o = CreateInvoice();
  ComPtr<ITypeInfo> info = InfoOf(o.get());
  struct Expect {
    std::size_t position;
    std::size_t param;
    VARTYPE vt;  // after following a VT_PTR
    bool by_ref;
    USHORT flags;
  };
  const Expect kExpect[] = {
      {26, 0, VT_VARIANT, true, PARAMFLAG_FIN | PARAMFLAG_FOUT},          // SeekRecord
      {26, 1, VT_BOOL, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},         // its result
      {12, 0, VT_USERDEFINED, false, PARAMFLAG_FIN},                      // TransactionMode let
      {52, 0, VT_USERDEFINED, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},  // PrintInvoiceBy get
      {0, 0, VT_UI1, false, PARAMFLAG_FIN},                               // LineStatus let
      {11, 0, VT_I4, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},           // RecordCount get
      {48, 0, VT_BSTR, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},         // Get_Next_Invoice_No
      {50, 0, VT_DISPATCH, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},     // ReportFormula get
  };
  for (const Expect& e : kExpect) {
    SCOPED_TRACE("slot " + std::to_string(e.position) + " param " + std::to_string(e.param));
    FUNCDESC* f = nullptr;
    ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(e.position), &f), S_OK);
    ASSERT_LT(e.param, static_cast<std::size_t>(f->cParams));
    const ELEMDESC& p = f->lprgelemdescParam[e.param];
    EXPECT_EQ(p.paramdesc.wParamFlags, e.flags);
    const TYPEDESC* t = &p.tdesc;
    EXPECT_EQ(t->vt == VT_PTR, e.by_ref);
    if (t->vt == VT_PTR) t = t->lptdesc;
    EXPECT_EQ(t->vt, e.vt);
    info->ReleaseFuncDesc(f);
  }
}

TEST(TypeInfoInvoke, CallsThroughTheTypeInfoReachTheObject) {
  ComPtr<IDispatch> o = CreateInvoice();
  ComPtr<ITypeInfo> info = InfoOf(o.get());
  DISPID id = testing::DispIdOf(o.get(), "InvoiceNo");
  ComPtr<_Invoice> itf = o.As<_Invoice>(IID__Invoice);

  Variant value = Variant::String("INV-77");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS let{value.raw_mut(), &put, 1, 1};
  ASSERT_EQ(info->Invoke(itf.get(), id, DISPATCH_PROPERTYPUT, &let, nullptr, nullptr, nullptr),
            S_OK);
  Variant result;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ASSERT_EQ(
      info->Invoke(itf.get(), id, DISPATCH_PROPERTYGET, &none, result.raw_mut(), nullptr, nullptr),
      S_OK);
  EXPECT_EQ(result.ToString(), "INV-77");
  EXPECT_EQ(info->Invoke(nullptr, id, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
            E_INVALIDARG);
}

}  // namespace
}  // namespace tarvik::automation
