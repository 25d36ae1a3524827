// The Collection object, directly and late-bound.
#include "platform/collection.h"

#include <gtest/gtest.h>

#include "tests/support/error_number.h"

#include "platform/error.h"
#include "platform/error_info.h"
#include "platform/late_bound.h"
#include "platform/ui_services.h"
#include "tests/support/dispatch_call.h"

namespace tarvik {
namespace {

using testing::ErrorNumberOf;

TEST(Collection, OneBasedKeyedItems) {
  auto c = NewCollection();
  c->Add(Variant::String("first"));
  c->Add(Variant::Long(2), Variant::String("Title"));
  EXPECT_EQ(c->Count(), 2);
  EXPECT_EQ(c->Item(Variant::Long(1)).ToString(), "first");
  EXPECT_EQ(c->Item(Variant::String("TITLE")).ToLong(), 2) << "keys compare without case";
  EXPECT_EQ(ErrorNumberOf([&] { c->Add(Variant::String("again"), Variant::String("title")); }), kErrDuplicateKey);
  EXPECT_EQ(c->Count(), 2) << "a refused Add adds nothing";
  EXPECT_EQ(ErrorNumberOf([&] { c->Item(Variant::Long(0)); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { c->Item(Variant::Long(3)); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { c->Item(Variant::String("missing")); }), kErrInvalidProcedureCall);
  c->Remove(Variant::Long(1));
  EXPECT_EQ(c->Item(Variant::Long(1)).ToLong(), 2);
}

TEST(Collection, LateBoundMembersRaiseTheSameErrors) {
  auto c = NewCollection();
  InvokeByName(c.get(), "Add", CallKind::kMethod, {Variant::String("x"), Variant::String("Title")});
  EXPECT_EQ(InvokeByName(c.get(), "count", CallKind::kGet).ToLong(), 1);
  EXPECT_EQ(InvokeByName(c.get(), "Item", CallKind::kMethod, {Variant::String("title")}).ToString(), "x");
  EXPECT_EQ(ErrorNumberOf([&] {
              InvokeByName(c.get(), "Add", CallKind::kMethod, {Variant::String("y"), Variant::String("Title")});
            }),
            kErrDuplicateKey);
  EXPECT_EQ(ErrorNumberOf([&] { GetDispId(c.get(), "NoSuchMember"); }), kErrObjectDoesntSupport);
}

TEST(Collection, MemberTableAnswersKindsArgumentCountsAndTheDefaultMember) {
  auto c = NewCollection();
  IDispatch* d = c.get();
  EXPECT_EQ(testing::DispIdOf(d, "item"), DISPID_VALUE);
  EXPECT_EQ(testing::DispIdOf(d, "ADD"), 1);
  EXPECT_EQ(testing::DispIdOf(d, "Count"), 2);
  EXPECT_EQ(testing::DispIdOf(d, "Remove"), 3);
  struct Case {
    const char* member;
    WORD flags;
    std::vector<Variant> args;
    HRESULT hr;
    HRESULT scode;
  };
  const Case cases[] = {
      {"Add", DISPATCH_PROPERTYGET, {Variant::Long(1)}, DISP_E_MEMBERNOTFOUND, S_OK},
      {"Add", DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, S_OK},
      {"Add", DISPATCH_METHOD, std::vector<Variant>(5, Variant::Long(1)), DISP_E_BADPARAMCOUNT,
       S_OK},
      {"Add", DISPATCH_METHOD, {Variant::Missing()}, DISP_E_EXCEPTION,
       HResultFromError(kErrArgumentNotOptional)},
      {"Item", DISPATCH_PROPERTYPUT, {Variant::Long(1)}, DISP_E_MEMBERNOTFOUND, S_OK},
      {"Item", DISPATCH_METHOD, {Variant::Long(9)}, DISP_E_EXCEPTION,
       HResultFromError(kErrInvalidProcedureCall)},
      {"Remove", DISPATCH_PROPERTYGET, {Variant::Long(1)}, DISP_E_MEMBERNOTFOUND, S_OK},
  };
  for (const Case& k : cases) {
    testing::CallOutcome r = testing::CallByName(d, k.member, k.flags, k.args);
    EXPECT_EQ(r.hr, k.hr) << k.member << " flags " << k.flags;
    if (k.hr == DISP_E_EXCEPTION) {
      EXPECT_EQ(r.scode, k.scode) << k.member;
    }
  }
  EXPECT_EQ(c->Count(), 0) << "no refused call added anything";
  ASSERT_EQ(testing::CallMethod(d, "Add", {Variant::String("x")}).hr, S_OK);
  EXPECT_EQ(testing::CallByName(d, "Count", DISPATCH_PROPERTYGET).result.ToLong(), 1);
  EXPECT_EQ(testing::GetProp(d, "Item").hr, DISP_E_BADPARAMCOUNT);
}

// Only the identities whose vtable is ours: a caller asking for another
// interface (the Windows platform's own collection among them) gets nothing.
TEST(Collection, QueryInterfaceAnswersOnlyItsOwnVtable) {
  auto c = NewCollection();
  void* const self = static_cast<Collection*>(c.get());
  for (const IID* mine : {&IID_IUnknown, &IID_IDispatch, &IID_Collection}) {
    void* p = nullptr;
    ASSERT_EQ(c->QueryInterface(*mine, &p), S_OK) << GuidToString(*mine);
    EXPECT_EQ(p, self) << GuidToString(*mine);
    static_cast<IUnknown*>(p)->Release();
  }
  const IID platform_collection = {
      0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};
  for (const IID* foreign : {&platform_collection, &IID_IClassFactory, &IID_IErrorInfo,
                             &IID_ISupportErrorInfo, &IID_NULL}) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(c->QueryInterface(*foreign, &p), E_NOINTERFACE) << GuidToString(*foreign);
    EXPECT_EQ(p, nullptr) << GuidToString(*foreign);
  }
  EXPECT_EQ(c->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  EXPECT_NE(IID_Collection, platform_collection);
}

TEST(Collection, ArgumentsByName) {
  auto c = NewCollection();
  IDispatch* d = c.get();
  using testing::CallWithNames;
  using testing::IdsOfNames;

  testing::NameIds ids = IdsOfNames(d, {"add", "KEY", "item", "After", "before"});
  EXPECT_EQ(ids.hr, S_OK);
  EXPECT_EQ(ids.ids, (std::vector<DISPID>{1, 1, 0, 3, 2}));
  ids = IdsOfNames(d, {"Add", "Key", "Nope"});
  EXPECT_EQ(ids.hr, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids.ids, (std::vector<DISPID>{1, 1, DISPID_UNKNOWN}));
  ids = IdsOfNames(d, {"Nope", "Key"});
  EXPECT_EQ(ids.hr, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids.ids, (std::vector<DISPID>{DISPID_UNKNOWN, DISPID_UNKNOWN}));
  EXPECT_EQ(IdsOfNames(d, {"Count", "Index"}).hr, DISP_E_UNKNOWNNAME) << "Count has no arguments";

  // Add Key:="b", Item:="second" ; Add "first", Before:=1 ; Add "third", After:="b"
  ASSERT_EQ(CallWithNames(d, "Add", {}, {{"Key", Variant::String("b")},
                                         {"Item", Variant::String("second")}}).hr,
            S_OK);
  ASSERT_EQ(CallWithNames(d, "Add", {Variant::String("first")}, {{"Before", Variant::Long(1)}}).hr,
            S_OK);
  ASSERT_EQ(CallWithNames(d, "Add", {Variant::String("third")}, {{"After", Variant::String("B")}}).hr,
            S_OK);
  ASSERT_EQ(c->Count(), 3);
  EXPECT_EQ(c->Item(Variant::Long(1)).ToString(), "first");
  EXPECT_EQ(c->Item(Variant::Long(2)).ToString(), "second");
  EXPECT_EQ(c->Item(Variant::Long(3)).ToString(), "third");
  EXPECT_EQ(CallWithNames(d, "Item", {}, {{"Index", Variant::String("b")}}).result.ToString(),
            "second");

  // Left out by name is left out: the item is not optional.
  testing::CallOutcome r = CallWithNames(d, "Add", {}, {{"Key", Variant::String("k")}});
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, HResultFromError(kErrArgumentNotOptional));
  EXPECT_EQ(c->Count(), 3);
}

TEST(Collection, ArgumentIdsOutsideTheMemberAreRefused) {
  auto c = NewCollection();
  Variant item = Variant::String("x");
  Variant key = Variant::String("k");
  struct Case {
    const char* what;
    std::vector<DISPID> named;  // ids of the first named.size() arguments
    UINT args;
    UINT bad_arg;
  };
  const Case cases[] = {
      {"past the last argument", {4}, 1, 0},
      {"a negative id", {-7}, 1, 0},
      {"given twice by name", {1, 1}, 2, 1},
      {"given by position and by name", {0}, 2, 0},
      {"a put's value id on a method", {DISPID_PROPERTYPUT}, 1, 0},
  };
  for (const Case& k : cases) {
    std::vector<VARIANT> raw(k.args, item.raw());
    raw[0] = key.raw();
    DISPPARAMS p{raw.data(), const_cast<DISPID*>(k.named.data()), k.args,
                 static_cast<UINT>(k.named.size())};
    UINT arg_err = 99;
    EXPECT_EQ(c->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, &arg_err),
              DISP_E_PARAMNOTFOUND)
        << k.what;
    EXPECT_EQ(arg_err, k.bad_arg) << k.what;
  }
  DISPID id = 1;
  DISPPARAMS more_names_than_args{nullptr, &id, 0, 1};
  EXPECT_EQ(c->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &more_names_than_args, nullptr, nullptr,
                      nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(c->Count(), 0) << "no refused call added anything";
}

TEST(ScriptedUi, AnswersInOrderThenDefaults) {
  ScriptedUi ui;
  ui.SetAnswers({{true, kIdNo, {}}, {false, 0, std::string("5001")}, {false, 0, std::nullopt}});
  EXPECT_EQ(ui.MessageBox("Delete?", kMbYesNo | kMbExclamation | kMbDefaultButton2, "Delete Records"), kIdNo);
  EXPECT_EQ(ui.InputBox("Number?", "New Order Number", "1001"), std::optional<std::string>("5001"));
  EXPECT_EQ(ui.InputBox("Number?", "New Order Number", "1001"), std::nullopt);
  // Queue empty: default button, input cancelled.
  EXPECT_EQ(ui.MessageBox("Sure?", kMbYesNo | kMbDefaultButton2, "t"), kIdNo);
  EXPECT_EQ(ui.MessageBox("Sure?", 68, "t"), kIdYes);
  EXPECT_EQ(ui.InputBox("p", "t", "d"), std::nullopt);
  ASSERT_EQ(ui.events().size(), 6u);
  EXPECT_EQ(ui.events()[0].style, 308);
  EXPECT_EQ(ui.events()[0].title, "Delete Records");
}

}  // namespace
}  // namespace tarvik
