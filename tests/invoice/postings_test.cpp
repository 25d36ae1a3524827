// Postings: which stored query each grouping runs with which values, the
// relief pair and its transaction, and what they really post.
#include <gtest/gtest.h>

#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/books_invariants.h"
#include "tests/support/error_number.h"

namespace tarvik::testing {
namespace {

using invoice::InvoiceTestPeer;

class Postings : public InvoiceTest {
 protected:
  void Select(std::int32_t by) {
    LetNumber("PrintInvoiceBy", by);
    Let("CustID", "C1");
    Let("ShipTo", "S2");
    Let("BeginOrder", "1001");
    Let("EndOrder", "1003");
    LetNumber("OrderKey", 99);  // no such order: nothing to copy
    Let("InvoiceNo", "500");
  }
  // An invoice for one packed order, detail lines and line status posted.
  void MakeInvoice(std::int32_t number, std::int32_t order_key) {
    Let("InvoiceNo", std::to_string(number));
    LetNumber("PrintInvoiceBy", 0);
    LetNumber("OrderKey", order_key);
    ASSERT_TRUE(inv().AddHeader());
    ASSERT_TRUE(InvoiceTestPeer::CreateInvoiceDetail(inv()));
    ASSERT_TRUE(InvoiceTestPeer::UpdateLineStatus(inv()));
    recorder_->ClearLog();
  }
};

TEST_F(Postings, EachGroupingRunsItsFamilyWithItsSelection) {
  struct Case {
    std::int32_t by;
    std::string detail, line, order;
  };
  const Case cases[] = {
      {0, "v_InvoiceDet_byOrdPack [99, 500]", "v_Invoice_Up_LineStat_byOrdPack [99]",
       "v_Invoice_Up_OrderStat_byOrdPack [99]"},
      {1, "v_InvoiceDet_byShipPack [C1, S2, 500]", "v_Invoice_Up_LineStat_byShipPack [C1, S2]",
       "v_Invoice_Up_OrderStat_byShipPack [C1, S2]"},
      {2, "v_InvoiceDet_byCustPack [C1, 500]", "v_Invoice_Up_LineStat_byCustPack [C1]",
       "v_Invoice_Up_OrderStat_byCustPack [C1]"},
      {3, "v_InvoiceDet_byCustOrdPack [C1, 1001, 1003, 500]",
       "v_Invoice_Up_LineStat_ByCustOrdPack [C1, 1001, 1003]",
       "v_Invoice_Up_OrderStat_byCustOrdPack [C1, 1001, 1003]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.by);
    Select(c.by);
    recorder_->ClearLog();
    const int pumps = ui_.pumps();
    EXPECT_TRUE(InvoiceTestPeer::CreateInvoiceDetail(inv()));
    EXPECT_TRUE(InvoiceTestPeer::UpdateLineStatus(inv()));
    EXPECT_EQ(ui_.pumps() - pumps, 2);
    EXPECT_TRUE(InvoiceTestPeer::UpdateOrderStatus(inv()));
    EXPECT_EQ(ui_.pumps() - pumps, 2);  // no pump after the order status
    const std::vector<std::string> expected = {"ExecuteQueryDef: " + c.detail,
                                               "ExecuteQueryDef: " + c.line,
                                               "ExecuteQueryDef: " + c.order};
    EXPECT_EQ(Work(), expected);
  }
}

TEST_F(Postings, GroupingOutsideTheTableFindsNoQuery) {
  for (std::int32_t by : {-1, 4, 1000}) {
    SCOPED_TRACE(by);
    Select(by);
    recorder_->ClearLog();
    EXPECT_EQ(ErrorNumberOf([&] { InvoiceTestPeer::CreateInvoiceDetail(inv()); }),
              kErrItemNotFound);
    EXPECT_EQ(ErrorNumberOf([&] { InvoiceTestPeer::UpdateOrderStatus(inv()); }),
              kErrItemNotFound);
    EXPECT_TRUE(Work().empty());
  }
}

TEST_F(Postings, DetailCopiesThePackedLinesOfTheSelection) {
  struct Case {
    std::int32_t by;
    std::string cust, ship_to, begin, end;
    std::string orders;  // which orders' packed lines belong to the selection
  };
  const Case cases[] = {
      {1, "C100", "HQ", "", "", "h.cust_id = 'C100' AND h.shipto_name = 'HQ'"},
      {2, "C200", "", "", "", "h.cust_id = 'C200'"},
      {3, "C300", "", "1003", "1015",
       "h.cust_id = 'C300' AND CAST(h.order_number AS INTEGER) BETWEEN 1003 AND 1015"},
  };
  std::int32_t number = 600;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orders);
    const std::string packed =
        "SELECT count(*) FROM Order_Detail d JOIN Order_Header h ON h.order_key = d.order_key "
        "WHERE d.quantity_packed > 0 AND " + c.orders;
    const double lines = Scalar(packed);
    ASSERT_GT(lines, 0);
    LetNumber("PrintInvoiceBy", c.by);
    Let("CustID", c.cust);
    Let("ShipTo", c.ship_to);
    Let("BeginOrder", c.begin);
    Let("EndOrder", c.end);
    Let("InvoiceNo", std::to_string(++number));
    ASSERT_TRUE(inv().AddHeader());
    ASSERT_TRUE(InvoiceTestPeer::CreateInvoiceDetail(inv()));
    ASSERT_TRUE(InvoiceTestPeer::UpdateLineStatus(inv()));
    EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Detail WHERE invoice_no = " +
                     std::to_string(number)), lines);
    EXPECT_EQ(Scalar(packed), 0);  // every one of them is now invoiced
  }
}

TEST_F(Postings, ReliefPostsStockAndLedgerInOneTransaction) {
  MakeInvoice(900, 1);
  const double quantity = Scalar("SELECT sum(quantity) FROM Invoice_Detail WHERE invoice_no = 900");
  ASSERT_GT(quantity, 0);
  const double stock = Scalar("SELECT sum(on_hand) FROM Inventory");
  EXPECT_TRUE(InvoiceTestPeer::RelieveInventory(inv()));
  const std::vector<std::string> expected = {
      "BeginTrans", "ExecuteQueryDef: v_Invoice_Relieve_Inventory [900]",
      "ExecuteQueryDef: v_Invoice_Relieve_Inventory_LS [900]", "CommitTrans"};
  EXPECT_EQ(Work(), expected);
  EXPECT_EQ(real_->TransactionDepth(), 0);
  EXPECT_DOUBLE_EQ(Scalar("SELECT sum(on_hand) FROM Inventory"), stock - quantity);
  EXPECT_DOUBLE_EQ(Scalar("SELECT -sum(quantity) FROM Inventory_Ledger WHERE invoice_no = 900"),
                   quantity);
  // Stock on hand is the opening stock plus every movement, item by item.
  EXPECT_EQ(BrokenInvariants(*real_), std::vector<std::string>{});
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Postings, ReliefFailuresRollBackBothQueries) {
  struct Case {
    std::string name;
    FaultRule answer_false, raise;
    std::vector<std::string> calls;
    bool box;
  };
  const std::string q1 = "ExecuteQueryDef: v_Invoice_Relieve_Inventory [900]";
  const std::string q2 = "ExecuteQueryDef: v_Invoice_Relieve_Inventory_LS [900]";
  int databases = 0;
  const Case cases[] = {
      {"first answers False", [&](const std::string& c) { return c == q1; }, nullptr,
       {"BeginTrans", q1, "Rollback"}, false},
      {"second answers False", [&](const std::string& c) { return c == q2; }, nullptr,
       {"BeginTrans", q1, q2, "Rollback"}, false},
      {"second raises", nullptr,
       [&](const std::string& c) { return c == "Database" && ++databases == 2; },
       {"BeginTrans", q1, "Rollback"}, true},
      {"commit raises", nullptr, [](const std::string& c) { return c == "CommitTrans"; },
       {"BeginTrans", q1, q2, "CommitTrans", "Rollback"}, true},
  };
  MakeInvoice(900, 1);
  const std::string before = Snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    databases = 0;
    recorder_->SetFault(c.answer_false);
    recorder_->SetRaise(c.raise);
    recorder_->ClearLog();
    ui_.ClearEvents();
    EXPECT_FALSE(InvoiceTestPeer::RelieveInventory(inv()));
    EXPECT_EQ(Work(), c.calls);
    ASSERT_EQ(Boxes().size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(Boxes()[0].style, 64);
      EXPECT_EQ(Boxes()[0].title, kApplicationTitle);
      EXPECT_NE(Boxes()[0].text.find("Injected failure"), std::string::npos);
    }
    EXPECT_EQ(real_->TransactionDepth(), 0);
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(Postings, ReliefErrorGoesToInfoMsgWithoutBoxes) {
  MakeInvoice(900, 1);
  BoxesOff();
  recorder_->SetRaise([](const std::string& c) { return c == "CommitTrans"; });
  EXPECT_FALSE(InvoiceTestPeer::RelieveInventory(inv()));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Text("InfoMsg"), "Injected failure: CommitTrans");
}

}  // namespace
}  // namespace tarvik::testing
