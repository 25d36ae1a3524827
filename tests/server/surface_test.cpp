// The published surface: member order in the vtable, dispatch by name of
// every member, argument checking and result types.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "server/interfaces.h"
#include "tests/server/dispatch_call.h"

namespace tarvik::server {
namespace {

using testing::CallMethod;
using testing::CallOutcome;
using testing::GetProp;
using testing::LetProp;

enum Kind { kLet, kGet, kSet, kFunction, kSub };
enum Type { kByte, kString, kLong, kBoolean, kObject, kNone };

struct Slot {
  int position;
  const char* name;
  Kind kind;
  Type type;
};

// The published member tables, written out independently of the code.
const std::vector<Slot> kInvoiceSlots = {
    {0, "LineStatus", kLet, kByte},
    {1, "LineStatus", kGet, kByte},
    {2, "ShipTo", kLet, kString},
    {3, "ShipTo", kGet, kString},
    {4, "CustID", kLet, kString},
    {5, "CustID", kGet, kString},
    {6, "EndOrder", kLet, kString},
    {7, "EndOrder", kGet, kString},
    {8, "BeginOrder", kLet, kString},
    {9, "BeginOrder", kGet, kString},
    {10, "RecordCount", kLet, kLong},
    {11, "RecordCount", kGet, kLong},
    {12, "TransactionMode", kLet, kLong},
    {13, "TransactionMode", kGet, kLong},
    {14, "PrintOnly", kLet, kBoolean},
    {15, "PrintOnly", kGet, kBoolean},
    {16, "BillTo", kLet, kString},
    {17, "BillTo", kGet, kString},
    {18, "MoveNext", kFunction, kBoolean},
    {19, "Find", kFunction, kBoolean},
    {20, "FindByFilter", kFunction, kBoolean},
    {21, "OpenRecordset", kFunction, kBoolean},
    {22, "Delete", kFunction, kBoolean},
    {23, "Save", kFunction, kBoolean},
    {24, "DeleteByFilter", kFunction, kBoolean},
    {25, "MoveLast", kFunction, kBoolean},
    {26, "SeekRecord", kFunction, kBoolean},
    {27, "MoveFirst", kFunction, kBoolean},
    {28, "MovePrevious", kFunction, kBoolean},
    {29, "OrderKey", kLet, kLong},
    {30, "OrderKey", kGet, kLong},
    {31, "OtherCharge", kLet, kString},
    {32, "OtherCharge", kGet, kString},
    {33, "FreightAmount", kLet, kString},
    {34, "FreightAmount", kGet, kString},
    {35, "ShipDate", kLet, kString},
    {36, "ShipDate", kGet, kString},
    {37, "InvoiceDate", kLet, kString},
    {38, "InvoiceDate", kGet, kString},
    {39, "InvoiceNo", kLet, kString},
    {40, "InvoiceNo", kGet, kString},
    {41, "Connect", kSet, kObject},
    {42, "PrintParentHandle", kLet, kLong},
    {43, "PrintParentHandle", kGet, kLong},
    {44, "ReportPath", kLet, kString},
    {45, "ReportPath", kGet, kString},
    {46, "PrintInvoice", kFunction, kBoolean},
    {47, "AddNew", kFunction, kBoolean},
    {48, "Get_Next_Invoice_No", kFunction, kString},
    {49, "ReportFormula", kSet, kObject},
    {50, "ReportFormula", kGet, kObject},
    {51, "PrintInvoiceBy", kLet, kLong},
    {52, "PrintInvoiceBy", kGet, kLong},
    {53, "PackVerify", kLet, kBoolean},
    {54, "PackVerify", kGet, kBoolean},
    {55, "AddHeader", kFunction, kBoolean},
    {56, "InvoiceReport", kLet, kString},
    {57, "InvoiceReport", kGet, kString},
    {58, "Extra2", kLet, kString},
    {59, "Extra2", kGet, kString},
    {60, "Extra1", kLet, kString},
    {61, "Extra1", kGet, kString},
    {62, "Paid", kGet, kString},
    {63, "Paid", kLet, kString},
    {64, "UserID", kGet, kString},
    {65, "UserID", kLet, kString},
    {66, "Export_Flag", kGet, kByte},
    {67, "Export_Flag", kLet, kByte},
    {68, "Export_Date", kGet, kString},
    {69, "Export_Date", kLet, kString},
    {70, "Generate_Only", kGet, kBoolean},
    {71, "Generate_Only", kLet, kBoolean},
    {72, "ShowMessageBox", kGet, kBoolean},
    {73, "ShowMessageBox", kLet, kBoolean},
    {74, "InfoMsg", kGet, kString},
    {75, "InfoMsg", kLet, kString},
    {76, "Filter", kGet, kString},
    {77, "Filter", kLet, kString},
};
const std::vector<Slot> kBackOrderSlots = {
    {0, "Invoice_No", kGet, kString},
    {1, "Invoice_No", kLet, kString},
    {2, "Order_Number", kGet, kString},
    {3, "Order_Number", kLet, kString},
    {4, "Cust_ID", kGet, kString},
    {5, "Cust_ID", kLet, kString},
    {6, "ShipTo_Name", kGet, kString},
    {7, "ShipTo_Name", kLet, kString},
    {8, "Reference_No", kGet, kString},
    {9, "Reference_No", kLet, kString},
    {10, "Due_Date", kGet, kString},
    {11, "Due_Date", kLet, kString},
    {12, "Order_Header_Discount", kGet, kString},
    {13, "Order_Header_Discount", kLet, kString},
    {14, "Ship_Via", kGet, kString},
    {15, "Ship_Via", kLet, kString},
    {16, "Price_Struct", kGet, kString},
    {17, "Price_Struct", kLet, kString},
    {18, "OEextra1", kGet, kString},
    {19, "OEextra1", kLet, kString},
    {20, "OEextra2", kGet, kString},
    {21, "OEextra2", kLet, kString},
    {22, "NonMerchOrder", kGet, kBoolean},
    {23, "NonMerchOrder", kLet, kBoolean},
    {24, "Item_Number", kGet, kString},
    {25, "Item_Number", kLet, kString},
    {26, "Site", kGet, kString},
    {27, "Site", kLet, kString},
    {28, "Quantity_Ordered", kGet, kString},
    {29, "Quantity_Ordered", kLet, kString},
    {30, "Quantity_To_Ship", kGet, kString},
    {31, "Quantity_To_Ship", kLet, kString},
    {32, "Unit_Price", kGet, kString},
    {33, "Unit_Price", kLet, kString},
    {34, "Order_Detail_Discount", kGet, kString},
    {35, "Order_Detail_Discount", kLet, kString},
    {36, "Quantity_Packed", kGet, kString},
    {37, "Quantity_Packed", kLet, kString},
    {38, "QueryName", kLet, kString},
    {39, "QueryName", kGet, kString},
    {40, "RecordCount", kLet, kLong},
    {41, "RecordCount", kGet, kLong},
    {42, "Connect", kSet, kObject},
    {43, "Filter", kGet, kString},
    {44, "Filter", kLet, kString},
    {45, "InfoMsg", kGet, kString},
    {46, "OpenRecordset", kFunction, kBoolean},
    {47, "CloseRecordset", kSub, kNone},
    {48, "Find", kFunction, kBoolean},
    {49, "FindByFilter", kFunction, kBoolean},
    {50, "MoveNext", kFunction, kBoolean},
    {51, "BackOrder", kFunction, kBoolean},
};

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

class SurfaceTest : public ::testing::TestWithParam<Surface> {};

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
}

TEST(TypeInfo, NoneIsPublishedAtRunTime) {
  ComPtr<IDispatch> o = CreateInvoice();
  UINT n = 9;
  EXPECT_EQ(o->GetTypeInfoCount(&n), S_OK);
  EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace tarvik::server
