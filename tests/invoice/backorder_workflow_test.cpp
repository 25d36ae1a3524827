// The back-order dialogue and what it stores: options, confirmation, one
// prompt per run of rows, the existence check, cancel and failure paths in
// one transaction, and the new orders' values in the database.
#include <gtest/gtest.h>

#include "backorder/backorder_object.h"
#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/portable_sql.h"

namespace tarvik::backorder {

struct BackOrderTestPeer {
  static std::string Remaining(BackOrder& b, const std::string& ordered, const std::string& packed) {
    b.row_.quantity_ordered.set_utf8(ordered);
    b.row_.quantity_packed.set_utf8(packed);
    b.more_detail_rows_ = true;
    return b.RemainingQuantity();
  }
  static bool MoreDetailRows(BackOrder& b) { return b.more_detail_rows_; }
};

}  // namespace tarvik::backorder

namespace tarvik::testing {
namespace {

using backorder::BackOrderTestPeer;

constexpr const char* kRowsSql =
    "SELECT h.order_number || '/' || d.line_no FROM Order_Detail d JOIN Order_Header h "
    "ON h.order_key = d.order_key";

class BackOrderWorkflow : public InvoiceTest {
 protected:
  void SetUp() override {
    // Invoice 500 for customer C100 leaves rows 1013/1, 1013/2 and 1017/3 open.
    SetOption("0");
    real_->Execute("UPDATE Order_Detail SET quantity_ordered = 8 WHERE order_key = 13 AND line_no = 2");
    LetNumber("PrintInvoiceBy", 2);
    Let("CustID", "C100");
    Let("InvoiceNo", "500");
    LetNumber("TransactionMode", 1);
    ASSERT_TRUE(Save());
    SetOption("1");
    bo_ = backorder::NewBackOrder();
    InvokeByName(bo_.get(), "Connect", CallKind::kSet,
                 {Variant::Dispatch(ComPtr<data::HostConnection>(recorder_.get()).get())});
    InvokeByName(bo_.get(), "Invoice_No", CallKind::kLet, {Variant::String("500")});
    ui_.SetListener([this](const UiEvent&) { pointers_.push_back(ui_.pointer()); });
    recorder_->ClearLog();
    ui_.ClearEvents();
    before_ = Snapshot();
  }
  void SetOption(const std::string& value) { InvoiceTest::SetOption("Auto Backorder", value); }
  // Buttons are numbers, input-box answers texts, Cancel is nullopt.
  void Queue(std::vector<ScriptedUi::Answer> answers) { ui_.SetAnswers(std::move(answers)); }
  static ScriptedUi::Answer Button(int b) { return {true, b, std::nullopt}; }
  static ScriptedUi::Answer Typed(std::optional<std::string> t) { return {false, 0, std::move(t)}; }
  bool Run() { return InvokeByName(bo_.get(), "BackOrder", CallKind::kMethod).ToBoolean(); }
  std::vector<std::string> Prompts() const {
    std::vector<std::string> out;
    for (const UiEvent& e : Boxes()) {
      if (e.kind == UiEvent::kInputBox) out.push_back(e.default_text);
    }
    return out;
  }
  // Commits of a transaction opened at depth 0 (the order component nests
  // a level of its own inside each save).
  int OuterCommits() const {
    int depth = 0, commits = 0;
    for (const std::string& call : Calls()) {
      if (call == "BeginTrans") ++depth;
      if (call == "CommitTrans" && depth-- == 1) ++commits;
      if (call == "Rollback") --depth;
    }
    return commits;
  }
  // A variant of the detail query, for row orders and values the real one never gives.
  void DefineQuery(const std::string& name, const std::string& order_by,
                   const std::string& cust_expr = "h.cust_id") {
    std::string sql = ScalarString("SELECT sql FROM QueryDefs WHERE name = 'v_BO_Detail'");
    sql.replace(sql.find("ORDER BY"), std::string::npos, "ORDER BY " + order_by);
    sql.replace(sql.find("h.cust_id,"), 10, cust_expr + " AS cust_id,");
    real_->ExecuteWith("INSERT INTO QueryDefs (name, kind, sql) VALUES (?1, 'select', ?2)",
                       {Variant::String(name), Variant::String(sql)});
    real_->ExecuteWith(
        "INSERT INTO QueryDefParams (query_name, position, name, type) VALUES (?1, 0, 'InvoiceNo', 'Text')",
        {Variant::String(name)});
    InvokeByName(bo_.get(), "QueryName", CallKind::kLet, {Variant::String(name)});
    before_ = Snapshot();
  }

  ComPtr<_BackOrder> bo_;
  std::vector<int> pointers_;
  std::string before_;
};

TEST_F(BackOrderWorkflow, OnlyTheOptionValueOneStartsTheDialogue) {
  for (const std::string value : {"0", "01", "Y", "", " 1", "True"}) {
    SCOPED_TRACE("'" + value + "'");
    SetOption(value);
    recorder_->ClearLog();
    EXPECT_FALSE(Run());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(std::count(Calls().begin(), Calls().end(), "BeginTrans"), 0);
  }
  real_->Execute("DELETE FROM System WHERE option_name = 'Auto Backorder'");
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(ui_.pointer(), 0);
}

TEST_F(BackOrderWorkflow, RunsOfRowsGiveOnePromptAndOneOrderEach) {
  Queue({Button(6), Typed(" 5001 "), Typed("5002")});
  EXPECT_TRUE(Run());
  ASSERT_GE(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text,
            "There are 3 line items that were not completely invoiced.  Do you want to backorder "
            "these line items now?");
  EXPECT_EQ(Boxes()[0].style, 68);
  EXPECT_EQ(Boxes()[0].title, "Backorder Incomplete Line Items");
  EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1017"}));
  EXPECT_EQ(Boxes()[1].text,
            "Enter a new order number to backorder line items from order '1013'.  Customer ID:  "
            "C100.  Ship To Location:  WAREHOUSE.\r\rClick 'Cancel' to abort the operation.");
  EXPECT_EQ(Boxes()[1].title, "New Order Number");
  ASSERT_EQ(Boxes().size(), 4u);
  EXPECT_EQ(Boxes()[3].text, "New orders successfully created.");
  EXPECT_EQ(Boxes()[3].style, 64);
  EXPECT_EQ(Boxes()[3].title, "Operation Complete");
  EXPECT_EQ(OuterCommits(), 1);
  EXPECT_EQ(pointers_, (std::vector<int>{11, 11, 11, 11}));
  EXPECT_EQ(ui_.pointer(), 0);

  // The new orders: header from the first row of each run, open quantities.
  const std::string new_orders =
      "SELECT order_number || ' ' || cust_id || ' ' || shipto_name || ' ' || order_flag || ' ' || "
      "substr(CAST(order_date AS TEXT), 1, 10) || ' ' || order_comment FROM Order_Header WHERE order_key > 24 ORDER BY order_key";
  auto rows = real_->OpenQuery(new_orders);
  ASSERT_TRUE(rows->Seek(0));
  EXPECT_EQ(std::get<std::string>(rows->Column(0)),
            "5001 C100 WAREHOUSE 1 " + TodayIso() +
                " System Generated Backorder.  Original order number: 1013");
  ASSERT_TRUE(rows->Seek(1));
  EXPECT_NE(std::get<std::string>(rows->Column(0)).find("5002 C100 HQ 1 "), std::string::npos);
  EXPECT_FALSE(rows->Seek(2));
  EXPECT_EQ(ScalarString("SELECT group_concat(line_no || ':' || CAST(round(quantity_ordered * 100) AS INTEGER) || ':' || "
                         "line_flag_a || line_flag_b, ' ') FROM Order_Detail d JOIN Order_Header h "
                         "ON h.order_key = d.order_key WHERE h.order_number = '5001'"),
            "1:800:11 2:300:11");
  EXPECT_EQ(Scalar("SELECT d.quantity_ordered FROM Order_Detail d JOIN Order_Header h ON "
                   "h.order_key = d.order_key WHERE h.order_number = '5002'"),
            10);
  EXPECT_EQ(Scalar("SELECT due_date = (SELECT due_date FROM Order_Header WHERE order_key = 13) "
                   "FROM Order_Header WHERE order_number = '5001'"),
            1);
  // The original lines point at their new orders.
  EXPECT_EQ(ScalarString("SELECT group_concat(o.order_key || '/' || o.line_no || '>' || n.order_number, ' ') "
                         "FROM Order_Detail o JOIN Order_Header n ON n.order_key = o.backorder_key "
                         "WHERE o.line_status = 5"),
            "13/1>5001 13/2>5001 17/3>5002");
}

TEST_F(BackOrderWorkflow, RunsFollowConsecutiveRowsNotDistinctNumbers) {
  real_->Execute("UPDATE Order_Detail SET quantity_ordered = 9 WHERE order_key = 17 AND line_no = 1");
  // Reopened: 1017/1 now has 2 open; invoice 500 already holds that line.
  DefineQuery("v_BO_By_Line", "d.line_no, h.order_number");
  Queue({Button(6), Typed("6001"), Typed("6002"), Typed("6003"), Typed("6004")});
  EXPECT_TRUE(Run());
  EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1017", "1013", "1017"}));
  EXPECT_EQ(Scalar("SELECT count(*) FROM Order_Header WHERE order_number LIKE '600_'"), 4);
  EXPECT_EQ(OuterCommits(), 1);
}

TEST_F(BackOrderWorkflow, CancelOrBlankAtAnyPromptUndoesEveryPass) {
  for (const std::optional<std::string>& second : {std::optional<std::string>{},
                                                   std::optional<std::string>{"   "}}) {
    SCOPED_TRACE(second ? "blank" : "cancel");
    Queue({Button(6), Typed("5001"), Typed(second)});
    ui_.ClearEvents();
    EXPECT_FALSE(Run());
    EXPECT_EQ(Snapshot(), before_);
    EXPECT_EQ(Scalar("SELECT count(*) FROM Order_Header WHERE order_number = '5001'"), 0);
    ASSERT_EQ(Boxes().size(), 4u);
    EXPECT_EQ(Boxes()[3].text, "Backorder operation cancelled.");
    EXPECT_EQ(Boxes()[3].style, 48);
    EXPECT_EQ(Boxes()[3].title, "New Orders Not Created");
    EXPECT_EQ(real_->TransactionDepth(), 0);
  }
  Queue({Button(7)});
  ui_.ClearEvents();
  EXPECT_FALSE(Run());
  EXPECT_EQ(Boxes().size(), 1u);  // No at the question: nothing more
}

TEST_F(BackOrderWorkflow, TakenNumberIsRefusedAndAskedAgain) {
  // 1013 is C100's own order at WAREHOUSE; at HQ the same number is free.
  Queue({Button(6), Typed("1013"), Button(1), Typed("5001"), Typed("1013")});
  EXPECT_TRUE(Run());
  EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1013", "1017"}));
  EXPECT_EQ(Boxes()[2].text,
            "Order number '1013' already exists for this customer.  Enter a new order number.");
  EXPECT_EQ(Boxes()[2].style, 48);
  EXPECT_EQ(Boxes()[2].title, "New Order Number");
  EXPECT_EQ(Scalar("SELECT count(*) FROM Order_Header WHERE order_number = '1013'"), 2);
}

TEST_F(BackOrderWorkflow, FailedSaveRollsBackTheEarlierOrders) {
  // The second original order has no customer: the order component refuses it.
  DefineQuery("v_BO_No_Customer", "h.order_number, h.order_key, d.line_no",
              "CASE WHEN h.order_number = '1017' THEN '' ELSE h.cust_id END");
  Queue({Button(6), Typed("5001"), Typed("5002"), Typed("5003")});
  EXPECT_FALSE(Run());
  EXPECT_EQ(Prompts().size(), 2u);
  EXPECT_EQ(Boxes().back().text, "Could not save orders");
  EXPECT_EQ(Boxes().back().title, "New Orders Not Created");
  EXPECT_EQ(Snapshot(), before_);
}

TEST_F(BackOrderWorkflow, ErrorInThePostingRollsBackAndShowsIt) {
  real_->Execute("DELETE FROM QueryDefs WHERE name = 'v_BO_Update_Line_Status'");
  before_ = Snapshot();
  Queue({Button(6), Typed("5001"), Typed("5002")});
  EXPECT_FALSE(Run());
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[2].style, 16);
  EXPECT_EQ(Boxes()[2].title, kApplicationTitle);
  EXPECT_NE(Boxes()[2].text.find("v_BO_Update_Line_Status"), std::string::npos);
  EXPECT_EQ(Snapshot(), before_);
  EXPECT_EQ(ui_.pointer(), 0);
}

TEST_F(BackOrderWorkflow, InvoiceWithNothingOpenEndsQuietly) {
  InvokeByName(bo_.get(), "Invoice_No", CallKind::kLet, {Variant::String("999")});
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(BackOrderWorkflow, RemainingQuantityIsTheOpenDifference) {
  auto& b = static_cast<backorder::BackOrderObject*>(bo_.get())->back_order();
  struct Case {
    std::string ordered, packed, remaining;
  };
  const Case cases[] = {{"10", "4", "6"},   {"10", "3.3", "6.7"}, {"10", "10", "0"},
                        {"10", "12", "-2"}, {"abc", "1", ""},    {"10", "", ""},
                        {"1,000", "0.5", "999.5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ordered + " - " + c.packed);
    EXPECT_EQ(BackOrderTestPeer::Remaining(b, c.ordered, c.packed), c.remaining);
    EXPECT_TRUE(BackOrderTestPeer::MoreDetailRows(b));
  }
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(BackOrderTestPeer::Remaining(b, "1e308", "-1e308"), "");
  EXPECT_FALSE(BackOrderTestPeer::MoreDetailRows(b));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].style, 16);
}

}  // namespace
}  // namespace tarvik::testing
