// The served objects: class factories, unloading, Invoice state and
// BackOrder detail reading.
#include <gtest/gtest.h>

#include "backorder/backorder.h"
#include "components/report_printer.h"
#include "data/data_recordset.h"
#include "invoice/invoice.h"
#include "platform/collection.h"
#include "server/class_factory.h"
#include "tarvik/interfaces.h"
#include "tests/invoice/invoice_test_peer.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/fake_data.h"
#include "tests/support/report_printer_wrapper.h"

namespace tarvik {
namespace server {
namespace {

using testing::CallMethod;
using testing::CallOutcome;
using testing::FakeConnection;
using testing::FakeRecordset;
using testing::GetProp;
using testing::LetProp;
using testing::SetProp;

// Counts the connections the Invoice hands the report component.
class FakeReportPrinter final : public testing::ReportPrinterWrapper<FakeReportPrinter> {
 public:
  void SetConnection(ComPtr<data::HostConnection> c) override {
    connection = c;
    ++connection_sets;
  }

  ComPtr<data::HostConnection> connection;
  int connection_sets = 0;
};

// --- Factories and unloading ---------------------------------------------

TEST(ClassFactory, UnknownClassIsRefused) {
  ComPtr<IClassFactory> f;
  EXPECT_EQ(GetClassObject(IID__Invoice, IID_IClassFactory, f.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(f);
}

struct ClassCase {
  const CLSID* clsid;
  const IID* iid;
};

class FactoryTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(FactoryTest, ObjectsAnswerDispatchAndTheirInterface) {
  ComPtr<IClassFactory> f;
  ASSERT_EQ(GetClassObject(*GetParam().clsid, IID_IClassFactory, f.put_void()), S_OK);
  ComPtr<IUnknown> outer_refused;
  IUnknown* fake_outer = reinterpret_cast<IUnknown*>(f.get());
  EXPECT_EQ(f->CreateInstance(fake_outer, IID_IUnknown, outer_refused.put_void()),
            CLASS_E_NOAGGREGATION);
  ComPtr<IDispatch> d;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, d.put_void()), S_OK);
  ComPtr<IUnknown> typed;
  EXPECT_EQ(d->QueryInterface(*GetParam().iid, typed.put_void()), S_OK);
  EXPECT_EQ(static_cast<void*>(typed.get()), static_cast<void*>(d.get()));
  ComPtr<IUnknown> other;
  const IID& wrong = *GetParam().iid == IID__Invoice ? IID__BackOrder : IID__Invoice;
  EXPECT_EQ(d->QueryInterface(wrong, other.put_void()), E_NOINTERFACE);
}

TEST_P(FactoryTest, CanUnloadOnlyWithoutObjectsAndLocks) {
  ASSERT_EQ(CanUnloadNow(), S_OK);
  ComPtr<IClassFactory> f;
  ASSERT_EQ(GetClassObject(*GetParam().clsid, IID_IClassFactory, f.put_void()), S_OK);
  {
    ComPtr<IDispatch> d;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, d.put_void()), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(CanUnloadNow(), S_OK);
  f->LockServer(1);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  f->LockServer(0);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

// Locks count: each LockServer(TRUE) needs its LockServer(FALSE), from any
// factory; an unlock without a lock is no credit for later; objects and locks
// hold the library together.
TEST_P(FactoryTest, LocksAreCounted) {
  ASSERT_EQ(CanUnloadNow(), S_OK);
  ComPtr<IClassFactory> first, second;
  ASSERT_EQ(GetClassObject(*GetParam().clsid, IID_IClassFactory, first.put_void()), S_OK);
  ASSERT_EQ(GetClassObject(CLSID_Invoice, IID_IClassFactory, second.put_void()), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_OK) << "a factory alone holds nothing";

  EXPECT_EQ(first->LockServer(BOOL{1}), S_OK);
  EXPECT_EQ(second->LockServer(BOOL{-1}), S_OK) << "any nonzero BOOL locks";
  EXPECT_EQ(first->LockServer(BOOL{0}), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "one lock left";
  ComPtr<IDispatch> object;
  ASSERT_EQ(first->CreateInstance(nullptr, IID_IDispatch, object.put_void()), S_OK);
  EXPECT_EQ(second->LockServer(BOOL{0}), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "no lock, but an object";
  object.reset();
  EXPECT_EQ(CanUnloadNow(), S_OK);

  EXPECT_EQ(first->LockServer(BOOL{0}), S_OK);  // one unlock too many
  EXPECT_EQ(first->LockServer(BOOL{1}), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the extra unlock was not banked";
  EXPECT_EQ(first->LockServer(BOOL{0}), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Classes, FactoryTest,
                         ::testing::Values(ClassCase{&CLSID_Invoice, &IID__Invoice},
                                           ClassCase{&CLSID_BackOrder, &IID__BackOrder}));

// --- Invoice state -----------------------------------------------------------

class InvoiceState : public ::testing::Test {
 protected:
  void SetUp() override {
    components::SetReportPrinterFactory([this] {
      report_ = MakeCom<FakeReportPrinter>();
      return ComPtr<components::ReportPrinter>(report_.get());
    });
    object_ = invoice::NewInvoice();
    d_ = ComPtr<IDispatch>(object_.get());
  }
  void TearDown() override { components::SetReportPrinterFactory(nullptr); }

  ComPtr<FakeReportPrinter> report_;
  ComPtr<_Invoice> object_;
  ComPtr<IDispatch> d_;
};

TEST_F(InvoiceState, NewObjectAnswersItsInitialValues) {
  EXPECT_EQ(GetProp(d_.get(), "ShowMessageBox").result.raw().boolVal, VARIANT_TRUE);
  for (const char* name : {"PrintOnly", "PackVerify", "Generate_Only"}) {
    CallOutcome r = GetProp(d_.get(), name);
    EXPECT_EQ(r.result.vt(), VT_BOOL) << name;
    EXPECT_EQ(r.result.raw().boolVal, VARIANT_FALSE) << name;
  }
  for (const char* name : {"LineStatus", "RecordCount", "TransactionMode", "OrderKey",
                           "PrintParentHandle", "PrintInvoiceBy", "Export_Flag"}) {
    EXPECT_EQ(GetProp(d_.get(), name).result.ToLong(), 0) << name;
  }
  for (const char* name :
       {"ShipTo", "CustID", "EndOrder", "BeginOrder", "BillTo", "OtherCharge", "FreightAmount",
        "ShipDate", "InvoiceDate", "InvoiceNo", "ReportPath", "InvoiceReport", "Extra2", "Extra1",
        "Paid", "UserID", "Export_Date", "InfoMsg", "Filter"}) {
    CallOutcome r = GetProp(d_.get(), name);
    EXPECT_EQ(r.result.vt(), VT_BSTR) << name;
    EXPECT_EQ(r.result.ToString(), "") << name;
  }
  CallOutcome formula = GetProp(d_.get(), "ReportFormula");
  EXPECT_EQ(formula.result.vt(), VT_DISPATCH);
  EXPECT_EQ(formula.result.raw().pdispVal, nullptr);
}

TEST_F(InvoiceState, EnumerationsTakeAnyThirtyTwoBitValue) {
  ASSERT_EQ(LetProp(d_.get(), "TransactionMode", Variant::Long(7)).hr, S_OK);
  EXPECT_EQ(GetProp(d_.get(), "TransactionMode").result.ToLong(), 7);
  ASSERT_EQ(LetProp(d_.get(), "PrintInvoiceBy", Variant::Long(-5)).hr, S_OK);
  CallOutcome r = GetProp(d_.get(), "PrintInvoiceBy");
  EXPECT_EQ(r.result.vt(), VT_I4);
  EXPECT_EQ(r.result.ToLong(), -5);
}

TEST_F(InvoiceState, ConnectHandsTheConnectionToTheReportComponent) {
  ComPtr<FakeConnection> c = MakeCom<FakeConnection>();
  ASSERT_EQ(SetProp(d_.get(), "Connect", Variant::Dispatch(c.get())).hr, S_OK);
  ASSERT_TRUE(report_);
  EXPECT_EQ(report_->connection.get(), static_cast<data::HostConnection*>(c.get()));
  ComPtr<FakeConnection> second = MakeCom<FakeConnection>();
  ASSERT_EQ(SetProp(d_.get(), "Connect", Variant::Dispatch(second.get())).hr, S_OK);
  EXPECT_EQ(report_->connection.get(), static_cast<data::HostConnection*>(second.get()));
  EXPECT_EQ(report_->connection_sets, 2);
}

TEST_F(InvoiceState, ConnectRefusesAnObjectThatIsNoConnection) {
  ComPtr<Collection> not_a_connection = NewCollection();
  CallOutcome r = SetProp(d_.get(), "Connect", Variant::Dispatch(not_a_connection.get()));
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, HResultFromError(13));
  EXPECT_EQ(report_->connection_sets, 0);
}

TEST_F(InvoiceState, ReportFormulaIsTheSameCollection) {
  ComPtr<Collection> formulas = NewCollection();
  ASSERT_EQ(SetProp(d_.get(), "ReportFormula", Variant::Dispatch(formulas.get())).hr, S_OK);
  formulas->Add(Variant::String("Title='Invoice'"));
  CallOutcome r = GetProp(d_.get(), "ReportFormula");
  ASSERT_EQ(r.result.vt(), VT_DISPATCH);
  EXPECT_EQ(static_cast<void*>(r.result.raw().pdispVal),
            static_cast<void*>(static_cast<IDispatch*>(formulas.get())));
  EXPECT_EQ(formulas->Count(), 1);

  // A non-Collection is refused and the member keeps the collection.
  ComPtr<FakeConnection> c = MakeCom<FakeConnection>();
  CallOutcome refused = SetProp(d_.get(), "ReportFormula", Variant::Dispatch(c.get()));
  EXPECT_EQ(refused.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(refused.scode, HResultFromError(13));
  EXPECT_EQ(static_cast<void*>(GetProp(d_.get(), "ReportFormula").result.raw().pdispVal),
            static_cast<void*>(static_cast<IDispatch*>(formulas.get())));

  // Nothing empties it.
  ASSERT_EQ(SetProp(d_.get(), "ReportFormula", Variant::Dispatch(nullptr)).hr, S_OK);
  EXPECT_EQ(GetProp(d_.get(), "ReportFormula").result.raw().pdispVal, nullptr);
}

TEST_F(InvoiceState, ClearFieldsEmptiesTheHeaderButKeepsExportAndSettings) {
  const std::vector<std::string> cleared = {
      "InvoiceNo",   "InvoiceDate", "ShipDate", "BillTo", "FreightAmount",
      "OtherCharge", "Extra1",      "Extra2",   "CustID", "ShipTo",
      "BeginOrder",  "EndOrder",    "Paid"};
  const std::vector<std::string> kept = {"Export_Date", "UserID",  "InvoiceReport",
                                         "Filter",      "InfoMsg", "ReportPath"};
  for (const auto& n : cleared) LetProp(d_.get(), n, Variant::String("x" + n));
  for (const auto& n : kept) LetProp(d_.get(), n, Variant::String("k" + n));
  LetProp(d_.get(), "PrintInvoiceBy", Variant::Long(2));
  LetProp(d_.get(), "Export_Flag", Variant::Byte(1));
  LetProp(d_.get(), "OrderKey", Variant::Long(44));
  LetProp(d_.get(), "RecordCount", Variant::Long(3));

  invoice::InvoiceTestPeer::ClearFields(invoice::InvoiceTestPeer::Of(object_));

  for (const auto& n : cleared) EXPECT_EQ(GetProp(d_.get(), n).result.ToString(), "") << n;
  for (const auto& n : kept) EXPECT_EQ(GetProp(d_.get(), n).result.ToString(), "k" + n) << n;
  EXPECT_EQ(GetProp(d_.get(), "PrintInvoiceBy").result.ToLong(), 0);
  EXPECT_EQ(GetProp(d_.get(), "Export_Flag").result.ToLong(), 1);
  EXPECT_EQ(GetProp(d_.get(), "OrderKey").result.ToLong(), 44);
  EXPECT_EQ(GetProp(d_.get(), "RecordCount").result.ToLong(), 3);
}

// --- BackOrder detail record ---------------------------------------------------

std::vector<Variant> Row(std::int32_t invoice, std::int32_t key, const std::string& order,
                         double due, float discount, std::int16_t line_code) {
  return {Variant::Long(invoice),  Variant::Long(key),
          Variant::String(order),  Variant::String("CUST1"),
          Variant::String("MAIN"), Variant::String("REF-" + order),
          Variant::Date(due),      Variant::Single(discount),
          Variant::String("UPS"),  Variant::String("P1"),
          Variant::String("e1"),   Variant::String("e2"),
          Variant::Boolean(true),  Variant::String("hdrA"),
          Variant::String("hdrB"), Variant::String("ITEM-" + order),
          Variant::String("S1"),   Variant::Double(10),
          Variant::Double(4.25),   Variant::Double(19.99),
          Variant::Single(0.5f),   Variant::Integer(line_code),
          Variant::Double(6)};
}

class BackOrderRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    data::SetDataRecordsetFactory([this] {
      rs_ = MakeCom<FakeRecordset>();
      return ComPtr<data::DataRecordset>(rs_.get());
    });
    d_ = ComPtr<IDispatch>(backorder::NewBackOrder().get());
    data::SetDataRecordsetFactory(nullptr);
    connection_ = MakeCom<FakeConnection>();
    ASSERT_EQ(SetProp(d_.get(), "Connect", Variant::Dispatch(connection_.get())).hr, S_OK);
  }
  std::string Text(const char* name) { return GetProp(d_.get(), name).result.ToString(); }

  ComPtr<FakeRecordset> rs_;
  ComPtr<FakeConnection> connection_;
  ComPtr<IDispatch> d_;
};

TEST_F(BackOrderRecord, NewObjectAnswersItsInitialValues) {
  EXPECT_EQ(Text("QueryName"), "v_BO_Detail");
  EXPECT_EQ(Text("InfoMsg"), "");
  EXPECT_EQ(Text("Invoice_No"), "");
  EXPECT_EQ(GetProp(d_.get(), "NonMerchOrder").result.raw().boolVal, VARIANT_FALSE);
  EXPECT_EQ(GetProp(d_.get(), "RecordCount").result.ToLong(), 0);
  EXPECT_EQ(LetProp(d_.get(), "InfoMsg", Variant::String("x")).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(CallMethod(d_.get(), "CloseRecordset").hr, S_OK);
  EXPECT_EQ(CallMethod(d_.get(), "CloseRecordset").hr, S_OK);
}

TEST_F(BackOrderRecord, FindLoadsTheFirstRowWithTheRowConversions) {
  rs_->rows = {Row(1234, 77, "5001", 37000.0, 2.5f, 9), Row(1234, 78, "5002", 37001.5, 1, 0)};
  LetProp(d_.get(), "Invoice_No", Variant::String("1234"));
  LetProp(d_.get(), "Filter", Variant::String("ANYTHING"));
  CallOutcome r = CallMethod(d_.get(), "Find");
  ASSERT_EQ(r.hr, S_OK) << r.description;
  EXPECT_EQ(r.result.raw().boolVal, VARIANT_TRUE);
  EXPECT_EQ(rs_->query_def_name, "v_BO_Detail");
  EXPECT_EQ(rs_->opened_sql, "");
  ASSERT_EQ(rs_->parameters.size(), 1u);
  EXPECT_EQ(rs_->parameters[0].vt(), VT_BSTR);
  EXPECT_EQ(rs_->parameters[0].ToString(), "1234");
  EXPECT_EQ(rs_->connection.get(), static_cast<data::HostConnection*>(connection_.get()));
  EXPECT_EQ(rs_->indexed_reads, 0);
  EXPECT_EQ(Text("Filter"), "ANYTHING");
  EXPECT_EQ(GetProp(d_.get(), "RecordCount").result.ToLong(), 2);

  EXPECT_EQ(Text("Invoice_No"), "1234");
  EXPECT_EQ(Text("Order_Number"), "5001");
  EXPECT_EQ(Text("Cust_ID"), "CUST1");
  EXPECT_EQ(Text("ShipTo_Name"), "MAIN");
  EXPECT_EQ(Text("Reference_No"), "REF-5001");
  EXPECT_EQ(Text("Due_Date"), "4/19/2001");
  EXPECT_EQ(Text("Order_Header_Discount"), "2.5");
  EXPECT_EQ(Text("Ship_Via"), "UPS");
  EXPECT_EQ(Text("Price_Struct"), "P1");
  EXPECT_EQ(Text("OEextra1"), "e1");
  EXPECT_EQ(Text("OEextra2"), "e2");
  EXPECT_EQ(GetProp(d_.get(), "NonMerchOrder").result.raw().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text("Item_Number"), "ITEM-5001");
  EXPECT_EQ(Text("Site"), "S1");
  EXPECT_EQ(Text("Quantity_Ordered"), "10");
  EXPECT_EQ(Text("Quantity_To_Ship"), "4.25");
  EXPECT_EQ(Text("Unit_Price"), "19.99");
  EXPECT_EQ(Text("Order_Detail_Discount"), "0.5");
  EXPECT_EQ(Text("Quantity_Packed"), "6");

  // After a move the first read takes column 1 of the layout again.
  ASSERT_EQ(CallMethod(d_.get(), "MoveNext").result.raw().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text("Invoice_No"), "1234");
  EXPECT_EQ(Text("Order_Number"), "5002");
  EXPECT_EQ(Text("Due_Date"), "4/20/2001 12:00:00 PM");
  EXPECT_EQ(Text("Order_Header_Discount"), "1");
  // Past the end: False, the last row stays.
  EXPECT_EQ(CallMethod(d_.get(), "MoveNext").result.raw().boolVal, VARIANT_FALSE);
  EXPECT_EQ(Text("Order_Number"), "5002");
}

TEST_F(BackOrderRecord, FindWithoutRowsKeepsThePropertiesAndCloses) {
  LetProp(d_.get(), "Order_Number", Variant::String("kept"));
  CallOutcome r = CallMethod(d_.get(), "Find");
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.result.raw().boolVal, VARIANT_FALSE);
  EXPECT_EQ(Text("Order_Number"), "kept");
  EXPECT_FALSE(rs_->is_open());
  EXPECT_GE(rs_->closes, 1);
  EXPECT_EQ(GetProp(d_.get(), "RecordCount").result.ToLong(), 0);
}

TEST_F(BackOrderRecord, QueryNameChoosesTheStoredQuery) {
  rs_->rows = {Row(1, 2, "9", 37000, 0, 0)};
  LetProp(d_.get(), "QueryName", Variant::String("v_Other_Detail"));
  ASSERT_EQ(CallMethod(d_.get(), "OpenRecordset").result.raw().boolVal, VARIANT_TRUE);
  EXPECT_EQ(rs_->query_def_name, "v_Other_Detail");
}

TEST_F(BackOrderRecord, LineCodeOutsideAByteIsAnOverflowAfterTheEarlierColumns) {
  rs_->rows = {Row(55, 2, "7001", 37000, 0, 300)};
  CallOutcome r = CallMethod(d_.get(), "Find");
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, HResultFromError(6));
  EXPECT_EQ(Text("Order_Number"), "7001");  // read before column 22
  EXPECT_EQ(Text("Quantity_Packed"), "");   // after it: untouched
}

}  // namespace
}  // namespace server
}  // namespace tarvik
