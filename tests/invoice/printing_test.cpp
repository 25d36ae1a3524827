// Printing: the report tables emptied and refilled in three groups, the
// report component driven in its order, and every failure path.
#include <gtest/gtest.h>

#include "components/report_printer.h"
#include "platform/collection.h"
#include "platform/com_object.h"
#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/host_list.h"

namespace tarvik::testing {
namespace {

// Records every call in order; PrintReport answers as told.
class RecordingPrinter final
    : public ComObject<RecordingPrinter, components::ReportPrinter> {
 public:
  void SetFormulas(ComPtr<IDispatch> f) override {
    formulas = f;
    calls.push_back("Formulas");
  }
  bool PrintReport(SAFEARRAY** args) override {
    LONG lower = 1, upper = 0;
    if (args && *args) {
      SafeArrayGetLBound(*args, 1, &lower);
      SafeArrayGetUBound(*args, 1, &upper);
    }
    calls.push_back("PrintReport [" + std::to_string(lower) + ".." + std::to_string(upper) + "]");
    return answer;
  }
  void SetDatabaseName(const std::string& n) override { calls.push_back("DatabaseName: " + n); }
  void SetParentHandle(std::int32_t h) override {
    calls.push_back("ParentHandle: " + std::to_string(h));
  }
  void SetReportPath(const std::string& p) override { calls.push_back("ReportPath: " + p); }
  void SetConnection(ComPtr<data::HostConnection> c) override {
    calls.push_back(c ? "Connection" : "Connection: Nothing");
  }
  void SetReportFile(const std::string& f) override { calls.push_back("ReportFile: " + f); }
  void SetDocumentName(const std::string& n) override { calls.push_back("DocumentName: " + n); }
  std::string DocumentTitle() override {
    calls.push_back("DocumentTitle");
    return "Invoice 2026";
  }

  std::vector<std::string> calls;
  ComPtr<IDispatch> formulas;
  bool answer = true;
};

class Printing : public InvoiceTest {
 protected:
  void SetUp() override {
    components::SetReportPrinterFactory([this]() -> ComPtr<components::ReportPrinter> {
      printer_ = MakeCom<RecordingPrinter>();
      return ComPtr<components::ReportPrinter>(printer_.get());
    });
    // An Invoice of its own, made while the recording printer is installed.
    object_ = invoice::NewInvoice();
    inv().Connect(ComPtr<data::HostConnection>(recorder_.get()).get());
    components::SetReportPrinterFactory(nullptr);
    // Invoice 500 for order 1001, made by Save.
    SelectOrders("1001", "1001", "500");
    Let("FreightAmount", "10");
    Let("OtherCharge", "2.5");
    SetOption("Auto Backorder", "0");
    ASSERT_TRUE(Save());
    formulas_ = NewCollection();
    InvokeByName(raw(), "ReportFormula", CallKind::kSet,
                 {Variant::Dispatch(ComPtr<IDispatch>(formulas_).get())});
    Let("InvoiceReport", "invoice.layout");
    Let("ReportPath", "/reports");
    LetNumber("PrintParentHandle", 77);
    Let("InvoiceNo", "500");
    printer_->calls.clear();
    recorder_->ClearLog();
    ui_.ClearEvents();
  }
  bool Print() { return Call("PrintInvoice"); }
  // Query runs by their name alone; the report's database name left out.
  std::vector<std::string> Work() const {
    std::vector<std::string> out;
    for (const std::string& call : InvoiceTest::Work()) {
      if (call == "DatabaseName") continue;
      out.push_back(call.rfind("ExecuteQueryDef: ", 0) == 0 ? call.substr(17) : call);
    }
    return out;
  }

  ComPtr<RecordingPrinter> printer_;
  ComPtr<Collection> formulas_;
};

TEST_F(Printing, EachGroupingRunsItsQueriesInThreeTransactions) {
  struct Case {
    std::int32_t by;
    std::vector<std::string> grouping;
  };
  const Case cases[] = {
      {0, {"v_Invoice_Up_OrderNo []"}},
      {1, {"v_invoice_del_custid []", "v_invoice_up_shipto []"}},
      {2, {"v_invoice_del_custid []", "v_invoice_up_custid []"}},
      {3, {"v_invoice_del_custid []"}},
  };
  InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(true)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.by);
    LetNumber("PrintInvoiceBy", c.by);
    recorder_->ClearLog();
    EXPECT_TRUE(Print());
    std::vector<std::string> expected = {"Execute: DELETE FROM RPT_Invoice_Hdr",
                                         "Execute: DELETE FROM RPT_Invoice_Det", "BeginTrans",
                                         "v_Invoice_Hdr [500]"};
    expected.insert(expected.end(), c.grouping.begin(), c.grouping.end());
    for (const char* tail : {"CommitTrans", "BeginTrans", "v_Invoice_Det [500]", "CommitTrans",
                             "BeginTrans", "v_Invoice_Up_Hdr_Tax []", "v_Invoice_Up_Det_Tax []",
                             "CommitTrans"}) {
      expected.push_back(tail);
    }
    EXPECT_EQ(Work(), expected);
  }
  // Generate_Only leaves the report component and the formulas alone.
  EXPECT_TRUE(printer_->calls.empty());
  EXPECT_EQ(formulas_->Count(), 0);
  EXPECT_GT(ui_.pumps(), 0);
}

TEST_F(Printing, ReportTablesHoldAnInvoiceThatAddsUp) {
  InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(true)});
  ASSERT_TRUE(Print());
  EXPECT_EQ(Scalar("SELECT count(*) FROM RPT_Invoice_Hdr"), 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM RPT_Invoice_Det"),
            Scalar("SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 500"));
  EXPECT_NEAR(Scalar("SELECT sum(amount) FROM RPT_Invoice_Det"),
              Scalar("SELECT sum(amount) FROM Invoice_Detail WHERE invoice_no = 500"), 0.005);
  EXPECT_NEAR(Scalar("SELECT subtotal + freight + other_charge + tax - total FROM RPT_Invoice_Hdr"),
              0, 0.005);
  EXPECT_EQ(Scalar("SELECT freight FROM RPT_Invoice_Hdr"), 10);
  EXPECT_EQ(Scalar("SELECT other_charge FROM RPT_Invoice_Hdr"), 2.5);
  // A second run empties the tables first: still one header.
  ASSERT_TRUE(Print());
  EXPECT_EQ(Scalar("SELECT count(*) FROM RPT_Invoice_Hdr"), 1);
}

TEST_F(Printing, ReportComponentIsDrivenInItsOrder) {
  EXPECT_TRUE(Print());
  const std::vector<std::string> expected = {
      "ReportFile: invoice.layout", "ReportPath: /reports", "DocumentName: Invoice",
      "DocumentTitle", "Formulas", "DatabaseName: " + real_->DatabaseName(), "ParentHandle: 77",
      "PrintReport [0..0]"};
  EXPECT_EQ(printer_->calls, expected);
  EXPECT_EQ(printer_->formulas.get(), formulas_.get());  // the collection itself
  ASSERT_EQ(formulas_->Count(), 1);
  EXPECT_EQ(formulas_->Item(Variant::String("title")).ToString(), "Invoice 2026");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Printing, TheHostsOwnCollectionServesAsReportFormula) {
  ComPtr<HostList> mine = MakeCom<HostList>();
  InvokeByName(raw(), "ReportFormula", CallKind::kSet,
               {Variant::Dispatch(static_cast<IDispatch*>(mine.get()))});
  EXPECT_TRUE(Print());
  EXPECT_EQ(printer_->formulas.get(), static_cast<IDispatch*>(mine.get()));
  ASSERT_EQ(mine->items.size(), 1u);
  EXPECT_EQ(mine->items[0].first, "Title");
  EXPECT_EQ(mine->items[0].second.ToString(), "Invoice 2026");
  EXPECT_EQ(formulas_->Count(), 0) << "the collection set before is no longer used";
  Variant back = InvokeByName(raw(), "ReportFormula", CallKind::kGet);
  EXPECT_EQ(back.raw().pdispVal, static_cast<IDispatch*>(mine.get()));
}

TEST_F(Printing, SecondRunWithTheSameFormulasFailsOnTheTitle) {
  ASSERT_TRUE(Print());
  printer_->calls.clear();
  EXPECT_FALSE(Print());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].style, 48);
  EXPECT_EQ(Boxes()[0].title, kApplicationTitle);
  EXPECT_EQ(printer_->calls.back(), "DocumentTitle");  // stopped before PrintReport
  BoxesOff();
  EXPECT_FALSE(Print());
  EXPECT_EQ(Text("InfoMsg"), Boxes()[0].text);
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(Printing, FalseStepsEndQuietly) {
  struct Case {
    std::string name;
    FaultRule rule;
    std::int32_t by;
    std::vector<std::string> tail;  // the last calls made
    bool header_rows_kept;
  };
  const Case cases[] = {
      {"header DELETE", [](const std::string& c) { return c == "Execute: DELETE FROM RPT_Invoice_Hdr"; },
       0, {"Execute: DELETE FROM RPT_Invoice_Hdr"}, true},
      {"grouping outside the table", nullptr, 7, {"v_Invoice_Hdr [500]", "Rollback"}, false},
      {"detail query", [](const std::string& c) { return c.find("v_Invoice_Det [") != std::string::npos; },
       0, {"BeginTrans", "v_Invoice_Det [500]", "Rollback"}, true},
      {"header tax", [](const std::string& c) { return c.find("v_Invoice_Up_Hdr_Tax") != std::string::npos; },
       0, {"BeginTrans", "v_Invoice_Up_Hdr_Tax []", "Rollback"}, true},
  };
  InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(true)});
  ASSERT_TRUE(Print());  // report tables hold invoice 500
  InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(false)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetNumber("PrintInvoiceBy", c.by);
    recorder_->SetFault(c.rule);
    recorder_->ClearLog();
    EXPECT_FALSE(Print());
    const auto work = Work();
    ASSERT_GE(work.size(), c.tail.size());
    EXPECT_EQ(std::vector<std::string>(work.end() - static_cast<long>(c.tail.size()), work.end()),
              c.tail);
    EXPECT_EQ(Scalar("SELECT count(*) FROM RPT_Invoice_Hdr") > 0, c.header_rows_kept);
    EXPECT_TRUE(printer_->calls.empty());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(real_->TransactionDepth(), 0);
    recorder_->SetFault(nullptr);
    LetNumber("PrintInvoiceBy", 0);
    InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(true)});
    ASSERT_TRUE(Print());
    InvokeByName(raw(), "Generate_Only", CallKind::kLet, {Variant::Boolean(false)});
  }
  printer_->answer = false;
  EXPECT_FALSE(Print());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Printing, ErrorsAreReportedAndNothingIsRolledBackForThem) {
  recorder_->SetRaise([](const std::string& c) { return c.find("v_Invoice_Det [") != std::string::npos; });
  EXPECT_FALSE(Print());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].style, 48);
  EXPECT_NE(Boxes()[0].text.find("Injected failure"), std::string::npos);
  EXPECT_TRUE(printer_->calls.empty());
}

}  // namespace
}  // namespace tarvik::testing
