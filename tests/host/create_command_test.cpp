// `tarvik create` run as the real program on a demo database: the invoices
// of every grouping, their postings read back with the host's own SQL, and
// the selections and values it refuses.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

class CreateCommandTest : public DatabaseTest {
 protected:
  void SetUp() override { db_ = InitDatabase("shop.db", true); }

  RunResult Create(std::vector<std::string> args) const {
    args.insert(args.begin(), "create");
    return Run(args);
  }
  // Declines the back-order offer that follows a creation with open lines.
  json CreateJson(std::vector<std::string> args) const {
    args.insert(args.begin(), "create");
    args.insert(args.end(), {"--answers", "[7]"});
    return RunJson(args);
  }

  // Orders (by number) whose lines went into invoice n.
  std::string OrdersOf(int n) const {
    return Text("SELECT group_concat(order_number, ',') FROM (SELECT DISTINCT o.order_number "
                "FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key "
                "WHERE d.invoice_no = " + std::to_string(n) + " ORDER BY o.order_number) AS t");
  }

  // On-hand stock, the ledger and the invoiced lines tell the same story.
  void ExpectStockAgreesWithInvoices() const {
    const double invoiced = Number("SELECT COALESCE(SUM(quantity), 0) FROM Invoice_Detail");
    EXPECT_DOUBLE_EQ(Number("SELECT SUM(opening_on_hand - on_hand) FROM Inventory"), invoiced);
    EXPECT_DOUBLE_EQ(-Number("SELECT COALESCE(SUM(quantity), 0) FROM Inventory_Ledger"), invoiced);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header h WHERE NOT EXISTS "
                     "(SELECT 1 FROM Invoice_Detail d WHERE d.invoice_no = h.invoice_no)"),
              0)
        << "every header has its lines";
  }

};

struct GroupingCase {
  std::vector<std::string> args;
  int invoice_by;
  std::vector<std::string> orders;  // per invoice, in number order
};

TEST_F(CreateCommandTest, EveryGroupingInvoicesExactlyItsPackedOrders) {
  const std::vector<GroupingCase> cases = {
      {{"--by", "order", "--from", "1001", "--to", "1004"}, 0, {"1001", "1002", "1003", "1004"}},
      {{"--by", "shipto", "--customer", "C200", "--shipto", "WAREHOUSE"}, 1, {"1006,1014"}},
      {{"--by", "customer", "--customer", "C100"}, 2, {"1005,1009,1013,1017"}},
      {{"--by", "custorder", "--customer", "C300", "--from", "1005", "--to", "1012"},
       3,
       {"1007,1011"}},
  };
  int next = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    json doc = CreateJson(c.args);
    ASSERT_EQ(doc["ok"], true);
    ASSERT_EQ(doc["invoices"].size(), c.orders.size()) << doc.dump();
    EXPECT_EQ(doc["first_invoice_no"], next);
    for (std::size_t i = 0; i < c.orders.size(); ++i, ++next) {
      const json& inv = doc["invoices"][i];
      EXPECT_EQ(inv["invoice_no"], next);
      EXPECT_EQ(inv["invoice_by"], c.invoice_by);
      EXPECT_EQ(OrdersOf(next), c.orders[i]);
      EXPECT_EQ(Number("SELECT invoice_by FROM Invoice_Header WHERE invoice_no = " +
                       std::to_string(next)),
                c.invoice_by);
      // The reported figures are the database's.
      const std::string where = " FROM Invoice_Detail WHERE invoice_no = " + std::to_string(next);
      EXPECT_DOUBLE_EQ(inv["units"].get<double>(), Number("SELECT SUM(quantity)" + where));
      EXPECT_DOUBLE_EQ(inv["amount"].get<double>(), Number("SELECT SUM(amount)" + where));
      EXPECT_DOUBLE_EQ(inv["stock_relieved"].get<double>(), inv["units"].get<double>());
    }
    ExpectStockAgreesWithInvoices();
  }
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), next - 1);
  // Invoiced orders have nothing packed left; the others were not touched.
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail d JOIN Order_Header o ON o.order_key = "
                   "d.order_key WHERE d.quantity_packed > 0 AND o.order_number IN ('1001', "
                   "'1006', '1013', '1011')"),
            0);
  EXPECT_GT(Number("SELECT SUM(quantity_packed) FROM Order_Detail d JOIN Order_Header o ON "
                   "o.order_key = d.order_key WHERE o.order_number IN ('1008', '1010', '1015')"),
            0);
}

TEST_F(CreateCommandTest, AGivenFirstNumberAndHeaderValuesGoIntoEveryInvoice) {
  json doc = CreateJson({"--by", "order", "--from", "1001", "--to", "1003", "--invoice-no", "0500",
                         "--bill-to", "O'Brien", "--freight", "7.5", "--ship-date", "4/2/2024",
                         "--export-flag", "1", "--extra1", "x'); DELETE FROM Invoice_Header; --"});
  ASSERT_EQ(doc["invoices"].size(), 3u);
  EXPECT_EQ(doc["first_invoice_no"], 500);
  for (int n : {500, 501, 502}) {
    const std::string where = " FROM Invoice_Header WHERE invoice_no = " + std::to_string(n);
    EXPECT_EQ(Text("SELECT bill_to" + where), "O'Brien");
    EXPECT_EQ(Text("SELECT extra1" + where), "x'); DELETE FROM Invoice_Header; --");
    EXPECT_DOUBLE_EQ(Number("SELECT freight" + where), 7.5);
    EXPECT_EQ(Text("SELECT ship_date" + where), "2024-04-02");
    EXPECT_EQ(Number("SELECT export_flag" + where), 1);
  }
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 3);
  RunResult next = RunCli({"next-number", "--db", db_});
  EXPECT_EQ(next.out, "503\n");

  // Without --invoice-no the next free number is used.
  json more = CreateJson({"--by", "customer", "--customer", "C400"});
  EXPECT_EQ(more["first_invoice_no"], 503);
  EXPECT_EQ(more["invoices"][0]["invoice_no"], 503);
}

TEST_F(CreateCommandTest, TheReadableReportNamesTheInvoicesAndOrders) {
  RunResult r = Create({"--by", "order", "--from", "1001", "--to", "1002"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Created 2 invoices.")) << r.out;
  EXPECT_TRUE(Contains(r.out, "1001")) << r.out;
  EXPECT_TRUE(Contains(r.out, "C200")) << r.out;
}

TEST_F(CreateCommandTest, TheBackOrderOfferAfterSavingIsAnsweredFromTheQueue) {
  RunResult r = Create({"--by", "customer", "--customer", "C100", "--json", "--answers",
                        R"([6, "5001", " 5002 "])"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  json doc = json::parse(r.out);
  ASSERT_EQ(doc["back_orders"].size(), 2u) << doc.dump();
  EXPECT_EQ(doc["back_orders"][0]["order_number"], "5001");
  EXPECT_EQ(doc["back_orders"][0]["original_orders"], json::array({"1013"}));
  EXPECT_EQ(doc["back_orders"][1]["order_number"], "5002");
  EXPECT_EQ(doc["back_orders"][1]["original_orders"], json::array({"1017"}));
  // Every box was echoed to stderr as an event line.
  EXPECT_TRUE(Contains(r.err, "Backorder Incomplete Line Items")) << r.err;
  EXPECT_TRUE(Contains(r.err, "New orders successfully created.")) << r.err;

  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_number IN ('5001', '5002') "
                   "AND cust_id = 'C100' AND order_comment LIKE 'System Generated Backorder.%'"),
            2);
  // The open quantity went to the new order; the original line points at it.
  EXPECT_DOUBLE_EQ(
      Number("SELECT d.quantity_ordered FROM Order_Detail d JOIN Order_Header o ON o.order_key = "
             "d.order_key WHERE o.order_number = '5001'"),
      Number("SELECT d.quantity_ordered - d.quantity_invoiced FROM Order_Detail d JOIN "
             "Order_Header o ON o.order_key = d.order_key WHERE o.order_number = '1013' AND "
             "d.line_no = 1"));
  EXPECT_EQ(Number("SELECT d.backorder_key FROM Order_Detail d JOIN Order_Header o ON "
                   "o.order_key = d.order_key WHERE o.order_number = '1013' AND d.line_no = 1"),
            Number("SELECT order_key FROM Order_Header WHERE order_number = '5001'"));

  // Declined: the invoice stays, no order is made.
  json declined = CreateJson({"--by", "shipto", "--customer", "C200", "--shipto", "HQ"});
  EXPECT_EQ(declined["invoices"].size(), 1u);
  EXPECT_TRUE(declined["back_orders"].empty());
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_comment LIKE 'System%'"), 2);
}

TEST_F(CreateCommandTest, BadArgumentsAreRefusedBeforeTheDatabaseIsOpened) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--by", "weekly", "--customer", "C100"}, "weekly"},
      {{"--customer", "C100"}, "--by"},
      {{"--by", "order", "--from", "1001"}, "needs --to"},
      {{"--by", "order", "--to", "1001"}, "needs --from"},
      {{"--by", "shipto", "--customer", "C200"}, "needs --shipto"},
      {{"--by", "shipto", "--shipto", "HQ"}, "needs --customer"},
      {{"--by", "customer"}, "needs --customer"},
      {{"--by", "customer", "--customer", "C100", "--from", "1001"}, "--from is not used"},
      {{"--by", "order", "--from", "1", "--to", "2", "--customer", "C1"}, "--customer is not used"},
      {{"--by", "custorder", "--from", "1001", "--to", "1004"}, "needs --customer"},
      {{"--by", "customer", "--customer", "C100", "--invoice-no", "abc"}, "whole number"},
      {{"--by", "customer", "--customer", "C100", "--invoice-no", "-5"}, ""},
      {{"--by", "customer", "--customer", "C100", "--invoice-no", "2147483648"}, "whole number"},
      {{"--by", "customer", "--customer", "C100", "--freight", "lots"}, "'lots' is not a number"},
      {{"--by", "customer", "--customer", "C100", "--ship-date", "2/30/2024"}, "is not a date"},
      {{"--by", "customer", "--customer", "C100", "--export-flag", "300"}, "from 0 to 255"},
  };
  const std::string before = ReadFile(db_);
  for (const auto& c : cases) {
    RunResult r = Create(c.args);
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_FALSE(r.err.empty());
    if (!c.message.empty()) {
      EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    }
  }
  EXPECT_EQ(ReadFile(db_), before) << "nothing was written";
}

TEST_F(CreateCommandTest, ASelectionWithNothingPackedMakesNoInvoice) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--by", "order", "--from", "5000", "--to", "5010"},
       "No order from 5000 to 5010 has packed lines to invoice."},
      {{"--by", "order", "--from", "1021", "--to", "1024"}, "No order from 1021 to 1024"},
      {{"--by", "customer", "--customer", "C999"}, "Customer C999 has no packed lines"},
      {{"--by", "customer", "--customer", "C100' OR '1'='1"}, "has no packed lines"},
      {{"--by", "shipto", "--customer", "C100", "--shipto", "NOWHERE"}, "at ship-to NOWHERE"},
      {{"--by", "custorder", "--customer", "C100", "--from", "1002", "--to", "1004"},
       "Customer C100 has no order from 1002 to 1004"},
  };
  for (const auto& c : cases) {
    RunResult r = Create(c.args);
    SCOPED_TRACE(c.args[1] + " " + c.args[3]);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
  }
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger"), 0);

  RunResult doc = Create({"--by", "customer", "--customer", "C999", "--json"});
  EXPECT_EQ(doc.exit_code, 1);
  EXPECT_EQ(json::parse(doc.out)["ok"], false);
}

TEST_F(CreateCommandTest, TheLargestNumberCannotStartARunOfInvoicesPerOrder) {
  // The number after the first one overflows, even for a single order.
  RunResult r = Create({"--by", "order", "--from", "1001", "--to", "1001", "--invoice-no",
                        "2147483647"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "Overflow")) << r.err;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Detail"), 0);
  EXPECT_EQ(Number("SELECT SUM(quantity_invoiced) FROM Order_Detail"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger"), 0);

  // One invoice per call needs no next number.
  json doc = CreateJson({"--by", "customer", "--customer", "C400", "--invoice-no", "2147483647"});
  ASSERT_EQ(doc["invoices"].size(), 1u);
  EXPECT_EQ(doc["invoices"][0]["invoice_no"], 2147483647);
  ExpectStockAgreesWithInvoices();
}

TEST_F(CreateCommandTest, AnInvoiceNumberInUseRollsTheRunBack) {
  CreateJson({"--by", "order", "--from", "1001", "--to", "1001"});
  const double packed = Number("SELECT SUM(quantity_packed) FROM Order_Detail");
  RunResult r = Create({"--by", "order", "--from", "1002", "--to", "1003", "--invoice-no", "1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 1);
  EXPECT_EQ(OrdersOf(1), "1001");
  EXPECT_DOUBLE_EQ(Number("SELECT SUM(quantity_packed) FROM Order_Detail"), packed);
  ExpectStockAgreesWithInvoices();
}

TEST_F(CreateCommandTest, PartlyPickedOrdersAreRefusedOnlyPerOrderAndOnlyWhenTheOptionIsOn) {
  ASSERT_TRUE(Db()->Execute(
      "UPDATE System SET option_value = '1' WHERE option_name = 'Invoice No Partial Picking'"));
  RunResult r = Create({"--by", "order", "--from", "1013", "--to", "1016"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "Items are partially picked.")) << r.err;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 0);
  // A range without partly picked lines goes through.
  EXPECT_EQ(CreateJson({"--by", "order", "--from", "1005", "--to", "1006"})["invoices"].size(), 2u);
  // Other groupings are not checked.
  EXPECT_EQ(CreateJson({"--by", "customer", "--customer", "C100"})["invoices"].size(), 1u);

  ASSERT_TRUE(Db()->Execute(
      "UPDATE System SET option_value = '1 ' WHERE option_name = 'Invoice No Partial Picking'"));
  EXPECT_EQ(CreateJson({"--by", "order", "--from", "1014", "--to", "1016"})["invoices"].size(), 3u);
  ExpectStockAgreesWithInvoices();
}

}  // namespace
}  // namespace tarvik::host_test
