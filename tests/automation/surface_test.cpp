// The member tables against the published surface: member order in the
// vtable, dispatch by name of every member, argument checking and result
// types.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/ui_services.h"
#include "tarvik/interfaces.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/published_members.h"

namespace tarvik::automation {
namespace {

using namespace testing::published;  // NOLINT: the slot vocabulary

using testing::CallMethod;
using testing::CallOutcome;
using testing::GetProp;
using testing::LetProp;

struct Surface {
  const char* interface_name;
  const std::vector<Slot>* slots;
  std::size_t count;
  ComPtr<IDispatch> (*create)();
};

ComPtr<IDispatch> CreateInvoice() { return ComPtr<IDispatch>(invoice::NewInvoice().get()); }
ComPtr<IDispatch> CreateBackOrder() { return ComPtr<IDispatch>(backorder::NewBackOrder().get()); }

const Surface kSurfaces[] = {
    {"_Invoice", &kInvoiceSlots, kInvoiceMemberCount, &CreateInvoice},
    {"_BackOrder", &kBackOrderSlots, kBackOrderMemberCount, &CreateBackOrder},
};

// A sample value of a property type, distinct from the initial value.
Variant Sample(Type t, int seed) {
  switch (t) {
    case kByte:
      return Variant::Byte(static_cast<std::uint8_t>(200 + seed % 50));
    case kString:
      return Variant::String("value " + std::to_string(seed) + " \xC3\xA9");
    case kLong:
      return Variant::Long(-100000 - seed);
    case kBoolean:
      return Variant::Boolean(true);
    default:
      return Variant();
  }
}

VARTYPE VtOf(Type t) {
  switch (t) {
    case kByte:
      return VT_UI1;
    case kString:
      return VT_BSTR;
    case kLong:
      return VT_I4;
    case kBoolean:
      return VT_BOOL;
    case kObject:
      return VT_DISPATCH;
    default:
      return VT_EMPTY;
  }
}

void ExpectSame(const Variant& a, const Variant& b, const std::string& what) {
  ASSERT_EQ(a.vt(), b.vt()) << what;
  switch (a.vt()) {
    case VT_BSTR:
      EXPECT_EQ(a.ToString16(), b.ToString16()) << what;
      break;
    case VT_BOOL:
      EXPECT_EQ(a.raw().boolVal, b.raw().boolVal) << what;
      break;
    default:
      EXPECT_EQ(a.ToDouble(), b.ToDouble()) << what;
      break;
  }
}

// --- Raw vtable calls at a position -------------------------------------

void** Vtable(IDispatch* o) { return *reinterpret_cast<void***>(o); }

template <class Fn>
Fn SlotFn(IDispatch* o, int position) {
  return reinterpret_cast<Fn>(Vtable(o)[kDispatchSlots + static_cast<std::size_t>(position)]);
}

HRESULT VtableLet(IDispatch* o, int position, Type t, const Variant& v) {
  switch (t) {
    case kByte:
      return SlotFn<HRESULT (*)(IDispatch*, BYTE)>(o, position)(o, v.raw().bVal);
    case kLong:
      return SlotFn<HRESULT (*)(IDispatch*, LONG)>(o, position)(o, v.raw().lVal);
    case kBoolean:
      return SlotFn<HRESULT (*)(IDispatch*, VARIANT_BOOL)>(o, position)(o, v.raw().boolVal);
    case kString:
      return SlotFn<HRESULT (*)(IDispatch*, BSTR)>(o, position)(o, v.raw().bstrVal);
    default:
      return E_FAIL;
  }
}

Variant VtableGet(IDispatch* o, int position, Type t, HRESULT* h) {
  switch (t) {
    case kByte: {
      BYTE b = 0;
      *h = SlotFn<HRESULT (*)(IDispatch*, BYTE*)>(o, position)(o, &b);
      return Variant::Byte(b);
    }
    case kLong: {
      LONG l = 0;
      *h = SlotFn<HRESULT (*)(IDispatch*, LONG*)>(o, position)(o, &l);
      return Variant::Long(l);
    }
    case kBoolean: {
      VARIANT_BOOL b = 0;
      *h = SlotFn<HRESULT (*)(IDispatch*, VARIANT_BOOL*)>(o, position)(o, &b);
      return Variant::Boolean(b != 0);
    }
    case kString: {
      BSTR s = nullptr;
      *h = SlotFn<HRESULT (*)(IDispatch*, BSTR*)>(o, position)(o, &s);
      Variant v = Variant::String16(Bstr::Adopt(s).view());
      return v;
    }
    default:
      *h = E_FAIL;
      return Variant();
  }
}

// Calls on unconnected objects show boxes; here they take their defaults,
// never the platform's own (real, waiting boxes on Windows).
class SurfaceTest : public ::testing::TestWithParam<Surface> {
 protected:
  void SetUp() override { InstallUi(&ui_); }
  void TearDown() override { InstallUi(nullptr); }

  NonInteractiveUi ui_;
};

TEST_P(SurfaceTest, TableCoversEveryPublishedPosition) {
  const Surface& s = GetParam();
  ASSERT_EQ(s.slots->size(), s.count);
  for (std::size_t i = 0; i < s.slots->size(); ++i) EXPECT_EQ((*s.slots)[i].position, int(i));
}

TEST_P(SurfaceTest, EveryNameResolvesCaseInsensitivelyAndPairsShareOneId) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  std::vector<std::pair<std::string, DISPID>> seen;
  for (const Slot& slot : *s.slots) {
    DISPID id = testing::DispIdOf(o.get(), slot.name);
    ASSERT_NE(id, DISPID_UNKNOWN) << slot.name;
    std::string upper = slot.name, lower = slot.name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(testing::DispIdOf(o.get(), upper), id) << slot.name;
    EXPECT_EQ(testing::DispIdOf(o.get(), lower), id) << slot.name;
    for (const auto& [name, other] : seen) {
      if (name == slot.name) {
        EXPECT_EQ(other, id) << slot.name;
      } else {
        EXPECT_NE(other, id) << slot.name << " vs " << name;
      }
    }
    seen.emplace_back(slot.name, id);
  }
  EXPECT_EQ(testing::DispIdOf(o.get(), "NoSuchMember"), DISPID_UNKNOWN);
  EXPECT_EQ(testing::CallByName(o.get(), "NoSuchMember", DISPATCH_METHOD).hr, DISP_E_UNKNOWNNAME);
}

TEST_P(SurfaceTest, VtableSlotsHoldThePublishedPropertiesInOrder) {
  const Surface& s = GetParam();
  int seed = 0;
  for (const Slot& slot : *s.slots) {
    if (slot.type == kObject || slot.type == kNone) continue;
    ComPtr<IDispatch> o = s.create();
    Variant value = Sample(slot.type, ++seed);
    const std::string what = std::string(s.interface_name) + " position " +
                             std::to_string(slot.position) + " " + slot.name;
    if (slot.kind == kLet) {
      ASSERT_EQ(VtableLet(o.get(), slot.position, slot.type, value), S_OK) << what;
      CallOutcome got = GetProp(o.get(), slot.name);
      ASSERT_EQ(got.hr, S_OK) << what;
      ExpectSame(got.result, value, what);
    } else if (slot.kind == kGet) {
      // Read-only members cannot be set by name; they answer their initial value.
      CallOutcome let = LetProp(o.get(), slot.name, value);
      if (let.hr == DISP_E_MEMBERNOTFOUND) continue;
      ASSERT_EQ(let.hr, S_OK) << what;
      HRESULT h = E_FAIL;
      Variant got = VtableGet(o.get(), slot.position, slot.type, &h);
      ASSERT_EQ(h, S_OK) << what;
      ExpectSame(got, value, what);
    }
  }
}

TEST_P(SurfaceTest, VtableFunctionSlotsMatchTheMemberOfThatName) {
  const Surface& s = GetParam();
  for (const Slot& slot : *s.slots) {
    if (slot.kind != kFunction || slot.type != kBoolean) continue;
    if (std::string(slot.name) == "SeekRecord") continue;  // takes an argument; below
    const std::string what = std::string(s.interface_name) + " " + slot.name;
    // Fresh objects on both roads, so both calls start from the same state.
    ComPtr<IDispatch> by_slot = s.create();
    ComPtr<IDispatch> by_name = s.create();
    VARIANT_BOOL answer = 7;
    HRESULT h = SlotFn<HRESULT (*)(IDispatch*, VARIANT_BOOL*)>(by_slot.get(), slot.position)(
        by_slot.get(), &answer);
    std::optional<ErrorRecord> record = TakeErrorRecord();
    CallOutcome named = CallMethod(by_name.get(), slot.name);
    if (Succeeded(h)) {
      ASSERT_EQ(named.hr, S_OK) << what;
      EXPECT_TRUE(answer == VARIANT_TRUE || answer == VARIANT_FALSE) << what;
      EXPECT_EQ(named.result.raw().boolVal, answer) << what;
    } else {
      ASSERT_EQ(named.hr, DISP_E_EXCEPTION) << what;
      EXPECT_EQ(named.scode, h) << what;
      ASSERT_TRUE(record.has_value()) << what;
      EXPECT_EQ(named.description, record->description) << what;
    }
  }
}

TEST_P(SurfaceTest, DispatchRoundTripsEveryPropertyWithItsType) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  int seed = 100;
  for (const Slot& slot : *s.slots) {
    if (slot.kind != kLet || slot.type == kObject) continue;
    Variant value = Sample(slot.type, ++seed);
    ASSERT_EQ(LetProp(o.get(), slot.name, value).hr, S_OK) << slot.name;
    CallOutcome got = GetProp(o.get(), slot.name);
    ASSERT_EQ(got.hr, S_OK) << slot.name;
    EXPECT_EQ(got.result.vt(), VtOf(slot.type)) << slot.name;
    ExpectSame(got.result, value, slot.name);
  }
}

TEST_P(SurfaceTest, BooleansReadMinusOneOrZeroNeverOne) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  for (const Slot& slot : *s.slots) {
    if (slot.kind != kLet || slot.type != kBoolean) continue;
    // A caller passing 1 (not the automation True) still reads back True = -1.
    VARIANT one;
    VariantInit(&one);
    one.vt = VT_BOOL;
    one.boolVal = 1;
    ASSERT_EQ(LetProp(o.get(), slot.name, Variant(one)).hr, S_OK) << slot.name;
    EXPECT_EQ(GetProp(o.get(), slot.name).result.raw().boolVal, VARIANT_TRUE) << slot.name;
    ASSERT_EQ(LetProp(o.get(), slot.name, Variant::Long(0)).hr, S_OK) << slot.name;
    EXPECT_EQ(GetProp(o.get(), slot.name).result.raw().boolVal, VARIANT_FALSE) << slot.name;
  }
}

TEST_P(SurfaceTest, WrongKindIsMemberNotFound) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  for (const Slot& slot : *s.slots) {
    if (slot.kind == kFunction || slot.kind == kSub) {
      EXPECT_EQ(LetProp(o.get(), slot.name, Variant::Long(1)).hr, DISP_E_MEMBERNOTFOUND)
          << slot.name;
    }
    if (slot.kind == kSet) {
      EXPECT_EQ(GetProp(o.get(), "Connect").hr, DISP_E_MEMBERNOTFOUND);
      EXPECT_EQ(LetProp(o.get(), slot.name, Variant::Long(1)).hr, DISP_E_MEMBERNOTFOUND);
    }
  }
}

TEST_P(SurfaceTest, ArgumentTypeErrorsAreTypeMismatchWithTheIndex) {
  const Surface& s = GetParam();
  ComPtr<IDispatch> o = s.create();
  for (const Slot& slot : *s.slots) {
    if (slot.kind != kLet || slot.type == kString) continue;
    CallOutcome r = LetProp(o.get(), slot.name, Variant::String("not a number"));
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH) << slot.name;
    EXPECT_EQ(r.arg_err, 0u) << slot.name;
  }
  // Functions take no argument (but SeekRecord one): extra arguments are refused.
  EXPECT_EQ(CallMethod(o.get(), "MoveNext", {Variant::Long(1)}).hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(LetProp(o.get(), "RecordCount", Variant()).hr, S_OK);  // Empty converts to 0
  EXPECT_EQ(testing::CallByName(o.get(), "RecordCount", DISPATCH_PROPERTYPUT, {}).hr,
            DISP_E_BADPARAMCOUNT);
}

INSTANTIATE_TEST_SUITE_P(Interfaces, SurfaceTest, ::testing::ValuesIn(kSurfaces),
                         [](const auto& info) {
                           return std::string(info.param.interface_name + 1);
                         });

// The published member count is the vtable's: a member declared after the
// last one lands in slot 7 + count (Itanium ABI: a pointer to a virtual
// member holds 1 + the slot's byte offset).
#if defined(__x86_64__)
struct InvoiceSlotProbe : _Invoice {
  virtual HRESULT After() = 0;
};
struct BackOrderSlotProbe : _BackOrder {
  virtual HRESULT After() = 0;
};
template <class M>
std::size_t SlotOf(M member) {
  std::uintptr_t raw = 0;
  std::memcpy(&raw, &member, sizeof raw);
  return (raw - 1) / sizeof(void*);
}
TEST(VtableSize, HoldsSevenDispatchSlotsPlusThePublishedMembers) {
  EXPECT_EQ(SlotOf(&InvoiceSlotProbe::After), kDispatchSlots + kInvoiceMemberCount);
  EXPECT_EQ(SlotOf(&BackOrderSlotProbe::After), kDispatchSlots + kBackOrderMemberCount);
  EXPECT_EQ(SlotOf(&_Invoice::put_LineStatus), kDispatchSlots + 0);
  EXPECT_EQ(SlotOf(&_Invoice::get_Filter), kDispatchSlots + 76);  // Get, Let
  EXPECT_EQ(SlotOf(&_Invoice::put_Filter), kDispatchSlots + 77);
  EXPECT_EQ(SlotOf(&_BackOrder::get_Invoice_No), kDispatchSlots + 0);
  EXPECT_EQ(SlotOf(&_BackOrder::BackOrder), kDispatchSlots + 51);
}
#endif

TEST(SeekRecordArgument, ConvertsNothingAndReachesTheMember) {
  ComPtr<IDispatch> a = CreateInvoice();
  ComPtr<IDispatch> b = CreateInvoice();
  CallOutcome named = CallMethod(a.get(), "SeekRecord", {Variant::String("17")});
  Variant arg = Variant::String("17");
  VARIANT_BOOL answer = 0;
  HRESULT h = SlotFn<HRESULT (*)(IDispatch*, VARIANT*, VARIANT_BOOL*)>(b.get(), 26)(
      b.get(), arg.raw_mut(), &answer);
  TakeErrorRecord();
  if (Succeeded(h)) {
    EXPECT_EQ(named.hr, S_OK);
  } else {
    EXPECT_EQ(named.scode, h);
  }
  EXPECT_EQ(arg.ToString(), "17");  // by reference, not changed
  EXPECT_EQ(CallMethod(a.get(), "SeekRecord").hr, DISP_E_BADPARAMCOUNT);
  // Left out (a caller's Missing): no published argument is optional.
  CallOutcome missing = CallMethod(a.get(), "SeekRecord", {Variant::Missing()});
  EXPECT_EQ(missing.hr, DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(missing.arg_err, 0u);
}

}  // namespace
}  // namespace tarvik::automation
