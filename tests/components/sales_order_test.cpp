// The order component: its keyed lines, and storing new orders inside the
// caller's transaction, with the values it was given, refusing numbers
// already used.
#include <gtest/gtest.h>

#include "components/sales_order.h"
#include "tests/support/error_number.h"
#include "tests/support/temp_database.h"
#include "tests/support/portable_sql.h"

namespace tarvik::testing {
namespace {

TEST(SalesOrder, LinesAreAKeyedCollection) {
  ComPtr<components::SalesOrder> order = components::NewDefaultSalesOrder();
  ComPtr<components::SalesOrderDetails> lines = order->Details();
  ASSERT_TRUE(lines);
  EXPECT_EQ(order->Details().get(), lines.get());
  ComPtr<components::SalesOrderDetail> first = lines->Add("A1");
  first->SetQuantity_Ordered("4.5");
  EXPECT_EQ(lines->Item(Variant::Integer(1))->Quantity_Ordered(), "4.5");
  try {
    lines->Add("a1");
    ADD_FAILURE() << "duplicate key accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 457);
  }
  for (int bad : {0, 2, -1}) {
    try {
      lines->Item(Variant::Integer(static_cast<std::int16_t>(bad)));
      ADD_FAILURE() << bad;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
  order->SetDetails(nullptr);
  EXPECT_NE(order->Details().get(), lines.get());
  EXPECT_EQ(order->Order_Key(), 0);
}

class SalesOrderStore : public ::testing::Test {
 protected:
  SalesOrderStore() : c_(db_.Connect()), order_(components::NewDefaultSalesOrder()) {
    order_->SetConnect(c_);
    order_->SetTransactionMode(1);
  }
  void Fill(const std::string& number, int lines) {
    order_->SetOrder_Number(number);
    order_->SetCust_ID("C100");
    order_->SetShipTo_Name("HQ");
    order_->SetReference_No("R-1");
    order_->SetOrder_Date("12/7/2026");
    order_->SetDue_Date("not a date");
    order_->SetOrder_Header_Discount("2.5");
    order_->SetOrder_Comment("it's a back order");
    order_->SetNonMerchOrder(true);
    order_->SetDetails(nullptr);
    for (int i = 1; i <= lines; ++i) {
      order_->Details()->Add(std::to_string(i));
      auto line = order_->Details()->Item(Variant::Integer(static_cast<std::int16_t>(i)));
      line->SetItem_Number("BOLT-10");
      line->SetSite("MAIN");
      line->SetQuantity_Ordered(i == 2 ? "" : std::to_string(i * 1.5));
      line->SetUnit_Price("12.5");
      line->SetLine_Code(3);
      line->SetLine_Flag_A(1);
      line->SetLine_Flag_B(1);
    }
  }
  bool Exists(const std::string& number, const std::string& ship_to) {
    order_->SetFilter("BACKORDER");
    order_->SetCust_ID("C100");
    order_->SetShipTo_Name(ship_to);
    order_->SetOrder_Number(number);
    return order_->Find();
  }

  TempDatabase db_;
  ComPtr<data::HostConnection> c_;
  ComPtr<components::SalesOrder> order_;
};

TEST_F(SalesOrderStore, SaveStoresHeaderAndLinesAndGivesTheKey) {
  Fill("  7001 ", 3);
  ASSERT_TRUE(order_->Save());
  const std::int32_t key = order_->Order_Key();
  ASSERT_GT(key, 24);
  const std::string k = std::to_string(key);
  EXPECT_EQ(ScalarText(*c_, "SELECT order_number || '|' || cust_id || '|' || shipto_name || '|' || "
                            "substr(CAST(order_date AS TEXT), 1, 10) || '|' || coalesce(CAST(due_date AS TEXT), 'null') || '|' || "
                            "order_header_discount || '|' || nonmerch_order || '|' || order_comment "
                            "FROM Order_Header WHERE order_key = " + k),
            "7001|C100|HQ|2026-12-07|null|2.5|1|it's a back order");
  EXPECT_EQ(ScalarText(*c_, "SELECT group_concat(line_no || ':' || CAST(round(quantity_ordered * 100) AS INTEGER) || ':' || "
                            "CAST(round(unit_price * 100) AS INTEGER) || ':' || line_code, ' ') FROM Order_Detail WHERE order_key = " + k),
            "1:150:1250:3 2:0:1250:3 3:450:1250:3");
  EXPECT_TRUE(Exists("7001", "HQ"));
  EXPECT_FALSE(Exists("7001", "WAREHOUSE"));  // numbers are per customer and ship-to
  EXPECT_TRUE(Exists("1001", "HQ"));
}

TEST_F(SalesOrderStore, SaveJoinsTheCallersTransaction) {
  c_->BeginTrans();
  Fill("7002", 2);
  ASSERT_TRUE(order_->Save());
  EXPECT_EQ(c_->TransactionDepth(), 1);
  c_->Rollback();
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM Order_Header WHERE order_number = '7002'"), 0);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM Order_Detail WHERE order_key > 24"), 0);
}

TEST_F(SalesOrderStore, RefusesWhatItCannotStoreAndWritesNothing) {
  const double orders = ScalarNumber(*c_, "SELECT count(*) FROM Order_Header");
  Fill("1001", 1);  // taken at C100 / HQ
  EXPECT_FALSE(order_->Save());
  Fill("   ", 1);
  EXPECT_FALSE(order_->Save());
  Fill("7003", 1);
  order_->SetCust_ID("");
  EXPECT_FALSE(order_->Save());
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM Order_Header"), orders);

  Fill("7004", 1);
  order_->SetTransactionMode(2);
  EXPECT_EQ(ErrorNumberOf([&] { order_->Save(); }), kErrInvalidProcedureCall);
  order_->SetFilter("ALL");
  EXPECT_EQ(ErrorNumberOf([&] { order_->Find(); }), kErrInvalidProcedureCall);
  ComPtr<components::SalesOrder> loose = components::NewDefaultSalesOrder();
  EXPECT_EQ(ErrorNumberOf([&] { loose->Find(); }), kErrObjectVariableNotSet);
}

TEST_F(SalesOrderStore, LineThatCannotBeStoredUndoesTheWholeOrder) {
  Fill("7005", 2);
  order_->Details()->Item(Variant::Integer(2))->SetItem_Number(std::string());
  InstallRefusingTrigger(db_.path(), "Order_Detail", "INSERT", "item required", "NEW.item_number = ''");
  EXPECT_NE(ErrorNumberOf([&] { order_->Save(); }), 0);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM Order_Header WHERE order_number = '7005'"), 0);
  EXPECT_EQ(c_->TransactionDepth(), 0);
  EXPECT_EQ(order_->Order_Key(), 0);
}

}  // namespace
}  // namespace tarvik::testing
