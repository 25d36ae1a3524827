// Browsing: the selection texts, the position after each move, the row
// load and its conversions, on real header rows.
#include <gtest/gtest.h>

#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/error_number.h"

namespace tarvik::testing {
namespace {

class Browsing : public InvoiceTest {
 protected:
  void SetUp() override {
    InsertHeader(1, "Acme");
    InsertHeader(2, "Bolt & Co", 1);                 // marked, not yet exported
    InsertHeader(3, "Crane", 1, "#4/1/2024#");       // already exported
    InsertHeader(17, "O''Brien");
    recorder_->ClearLog();
  }
  // The browse record set's own calls.
  std::vector<std::string> Browse() const { return recordsets_.CallsOf(1); }
};

TEST_F(Browsing, SelectionTextAndRowsFollowFilter) {
  const std::string kExport =
      "SELECT * FROM Invoice_Header Where (Export_Flag=1) And (Export_Date Is Null)  ORDER BY "
      "Invoice_No ";
  const std::string kAll = "SELECT * FROM Invoice_Header ORDER BY Invoice_No ";
  struct Case {
    std::string filter, invoice_no, select;
    int count;
    std::string last;
  };
  const Case cases[] = {
      {"EXPORT", "", kExport, 1, "2"},
      {"export", "", kExport, 1, "2"},
      {"Export", "99", kExport, 1, "2"},
      {"INVOICE_NUMBER", "3", "SELECT * FROM Invoice_Header Where Invoice_No = 3 ORDER BY Invoice_No ",
       1, "3"},
      {"invoice_number", "abc",
       "SELECT * FROM Invoice_Header Where Invoice_No = 0 ORDER BY Invoice_No ", 0, ""},
      {"INVOICE_NUMBER", "2.5",  // whole numbers round half to even
       "SELECT * FROM Invoice_Header Where Invoice_No = 2 ORDER BY Invoice_No ", 1, "2"},
      {"", "1", kAll, 4, "17"},
      {"EXPORTED", "1", kAll, 4, "17"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter + " / " + c.invoice_no);
    Let("Filter", c.filter);
    Let("InvoiceNo", c.invoice_no);
    recordsets_.ClearLog();
    EXPECT_EQ(Call("OpenRecordset"), c.count > 0);
    ASSERT_GE(Browse().size(), 3u);
    EXPECT_EQ(Browse()[2], "OpenRecordset: " + c.select + " [-1, -1, -1]");
    EXPECT_EQ(Number("RecordCount"), c.count);
    EXPECT_EQ(Text("InvoiceNo"), c.last);
    EXPECT_EQ(Text("Filter"), c.filter);
  }
}

TEST_F(Browsing, OpenReadsTheLastHeaderTwiceInColumnOrderThenCounts) {
  ASSERT_TRUE(Call("OpenRecordset"));
  const std::vector<std::string> load = {
      "ReadString(0)", "ReadString()", "ReadString()",  "ReadString()",
      "ReadString()",  "ReadString()", "ReadInteger()", "ReadString()",
      "ReadString()",  "ReadString()", "ReadInteger()", "ReadString()"};
  std::vector<std::string> expected = {
      "Connection", "Parameters: 0",
      "OpenRecordset: SELECT * FROM Invoice_Header ORDER BY Invoice_No  [-1, -1, -1]", "MoveLast"};
  expected.insert(expected.end(), load.begin(), load.end());
  expected.insert(expected.end(), load.begin(), load.end());
  expected.push_back("RecordCount");
  EXPECT_EQ(Browse(), expected);
}

TEST_F(Browsing, MovesLoadEveryColumnAndFailedMovesKeepTheHeader) {
  ASSERT_TRUE(Call("OpenRecordset"));
  EXPECT_EQ(Text("InvoiceNo"), "17");
  EXPECT_EQ(Text("BillTo"), "O'Brien");
  Let("BillTo", "changed by the host");
  EXPECT_FALSE(Call("MoveNext"));
  EXPECT_EQ(Text("InvoiceNo"), "17");
  EXPECT_EQ(Text("BillTo"), "changed by the host");

  // Off the end, a step back stands on the last header again; a failed
  // move keeps the header shown.
  struct Step {
    const char* move;
    bool moved;
    const char* invoice_no;
  };
  const Step back[] = {{"MovePrevious", true, "17"}, {"MovePrevious", true, "3"}};
  for (const Step& s : back) {
    EXPECT_EQ(Call(s.move), s.moved) << s.move;
    EXPECT_EQ(Text("InvoiceNo"), s.invoice_no) << s.move;
  }
  const std::pair<const char*, const char*> columns[] = {
      {"InvoiceDate", "3/15/2024"}, {"ShipDate", "3/16/2024"}, {"BillTo", "Crane"},
      {"FreightAmount", "12.5"},    {"OtherCharge", "1.25"},   {"PrintInvoiceBy", "2"},
      {"Extra1", "x1"},             {"Extra2", "x2"},          {"Paid", "99.95"},
      {"Export_Flag", "1"},         {"Export_Date", "4/1/2024"}};
  for (const auto& [name, value] : columns) EXPECT_EQ(Text(name), value) << name;

  ASSERT_TRUE(Call("MoveFirst"));
  EXPECT_EQ(Text("InvoiceNo"), "1");
  EXPECT_EQ(Text("Export_Date"), "");
  const Step after_first[] = {{"MovePrevious", false, "1"},
                              {"MoveNext", true, "1"},
                              {"MoveNext", true, "2"},
                              {"MoveLast", true, "17"}};
  for (const Step& s : after_first) {
    EXPECT_EQ(Call(s.move), s.moved) << s.move;
    EXPECT_EQ(Text("InvoiceNo"), s.invoice_no) << s.move;
  }
}

TEST_F(Browsing, EmptySelectionClearsTheHeaderButNotExportOrSelection) {
  Let("Filter", "INVOICE_NUMBER");
  Let("InvoiceNo", "4");
  Let("BillTo", "someone");
  LetNumber("PrintInvoiceBy", 3);
  InvokeByName(raw(), "Export_Flag", CallKind::kLet, {Variant::Byte(7)});
  Let("Export_Date", "1/2/2020");
  LetNumber("OrderKey", 12);
  EXPECT_FALSE(Call("OpenRecordset"));
  EXPECT_EQ(Text("InvoiceNo"), "");
  EXPECT_EQ(Text("BillTo"), "");
  EXPECT_EQ(Number("PrintInvoiceBy"), 0);
  EXPECT_EQ(Number("Export_Flag"), 7);
  EXPECT_EQ(Text("Export_Date"), "1/2/2020");
  EXPECT_EQ(Number("OrderKey"), 12);
  EXPECT_EQ(Number("RecordCount"), 0);
  EXPECT_EQ(Browse().back(), "RecordCount");
  EXPECT_EQ(Browse()[Browse().size() - 2], "CloseRecordset");

  // MoveLast loads even when it finds no row: the readers' Null values.
  EXPECT_FALSE(Call("MoveLast"));
  EXPECT_EQ(Number("Export_Flag"), 0);
  EXPECT_EQ(Text("Export_Date"), "");
}

TEST_F(Browsing, FindAndFindByFilterReopenTheSelection) {
  Let("Filter", "export");
  EXPECT_TRUE(Call("Find"));
  EXPECT_EQ(Text("Filter"), "export");
  EXPECT_EQ(Text("InvoiceNo"), "2");

  Let("Filter", "INVOICE_NUMBER");
  Let("InvoiceNo", "5");
  recordsets_.ClearLog();
  EXPECT_FALSE(Call("FindByFilter"));
  const auto calls = Browse();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "CloseRecordset"), 2);
  EXPECT_FALSE(Call("Find"));
  EXPECT_EQ(Text("Filter"), "INVOICE_NUMBER");
}

TEST_F(Browsing, SeekRecordLooksForTheWholeNumberOfItsArgument) {
  struct Case {
    Variant value;
    std::string criteria;
    bool found;
  };
  const Case cases[] = {
      {Variant::String("12abc"), "invoice_no = 0", false},
      {Variant::Long(17), "invoice_no = 17", true},
      {Variant::String("17"), "invoice_no = 17", true},
      {Variant::String(" 2 "), "invoice_no = 2", true},
      {Variant::Double(2.5), "invoice_no = 2", true},
      {Variant::Double(3.5), "invoice_no = 4", false},
      {Variant::Null(), "invoice_no = 0", false},
  };
  ASSERT_TRUE(Call("OpenRecordset"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    ASSERT_TRUE(Call("MoveFirst"));
    recordsets_.ClearLog();
    EXPECT_EQ(Call("SeekRecord", {c.value}), c.found);
    ASSERT_FALSE(Browse().empty());
    EXPECT_EQ(Browse()[0], "FindFirst: " + c.criteria);
    EXPECT_EQ(Browse().size() > 1, c.found);  // a miss reads nothing
    if (c.found) {
      EXPECT_EQ(Text("InvoiceNo"), c.criteria.substr(13));
    } else {
      EXPECT_EQ(Text("InvoiceNo"), "1");
    }
  }
  EXPECT_EQ(ErrorNumberOf([&] { Call("SeekRecord", {Variant::String("99999999999")}); }),
            kErrOverflow);
}

// SeekRecord vSeekValue:=17, as a script names its argument.
TEST_F(Browsing, SeekRecordTakesItsArgumentByName) {
  ASSERT_TRUE(Call("OpenRecordset"));
  NameIds ids = IdsOfNames(raw(), {"SeekRecord", "vseekvalue"});
  ASSERT_EQ(ids.hr, S_OK);
  EXPECT_EQ(ids.ids[1], 0) << "the first argument";

  Variant seek = Variant::Long(17);
  CallOutcome named = CallWithNames(raw(), "SeekRecord", {}, {{"vSeekValue", seek}});
  ASSERT_EQ(named.hr, S_OK) << named.description;
  EXPECT_EQ(named.result.vt(), VT_BOOL);
  EXPECT_EQ(named.result.raw().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text("InvoiceNo"), "17");
  EXPECT_EQ(CallWithNames(raw(), "SeekRecord", {}, {{"VSEEKVALUE", Variant::Long(18)}})
                .result.raw()
                .boolVal,
            VARIANT_FALSE);

  // A name SeekRecord does not have is refused before anything runs.
  recordsets_.ClearLog();
  ids = IdsOfNames(raw(), {"SeekRecord", "vSeek"});
  EXPECT_EQ(ids.hr, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids.ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(CallWithNames(raw(), "SeekRecord", {}, {{"vSeek", seek}}).hr, DISP_E_UNKNOWNNAME);
  EXPECT_TRUE(Browse().empty());
  // So is an argument id it does not have.
  VARIANT arg = seek.raw();
  DISPID wrong = 1;
  DISPPARAMS p{&arg, &wrong, 1, 1};
  UINT arg_err = 9;
  EXPECT_EQ(raw()->Invoke(ids.ids[0], IID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, &arg_err),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(arg_err, 0u);
  EXPECT_TRUE(Browse().empty());
  EXPECT_EQ(Text("InvoiceNo"), "17");
}

TEST_F(Browsing, SeekSearchesOnlyTheOpenSelection) {
  Let("Filter", "EXPORT");
  ASSERT_TRUE(Call("OpenRecordset"));
  EXPECT_FALSE(Call("SeekRecord", {Variant::Long(17)}));
  EXPECT_TRUE(Call("SeekRecord", {Variant::Long(2)}));
}

TEST_F(Browsing, RowConversionsWidenTheGroupingAndGuardTheExportByte) {
  real_->Execute("UPDATE Invoice_Header SET invoice_by = -2 WHERE invoice_no = 1");
  Let("Filter", "INVOICE_NUMBER");
  Let("InvoiceNo", "1");
  ASSERT_TRUE(Call("OpenRecordset"));
  EXPECT_EQ(Number("PrintInvoiceBy"), -2);

  real_->Execute("UPDATE Invoice_Header SET export_flag = 300 WHERE invoice_no = 17");
  InvokeByName(raw(), "Export_Flag", CallKind::kLet, {Variant::Byte(9)});
  Let("Export_Date", "kept");
  Let("Filter", "");
  EXPECT_EQ(ErrorNumberOf([&] { Call("OpenRecordset"); }), kErrOverflow);
  // Columns before the failing one were already replaced.
  EXPECT_EQ(Text("InvoiceNo"), "17");
  EXPECT_EQ(Text("Paid"), "99.95");
  EXPECT_EQ(Number("Export_Flag"), 9);
  EXPECT_EQ(Text("Export_Date"), "kept");
}

}  // namespace
}  // namespace tarvik::testing
