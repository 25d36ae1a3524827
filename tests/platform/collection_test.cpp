// The Collection object, directly and late-bound.
#include "platform/collection.h"

#include <gtest/gtest.h>

#include "tests/support/error_number.h"

#include "platform/error.h"
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
