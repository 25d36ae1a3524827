// `tarvik backorder N` run as the real program: the dialogue answered from
// a queue (and its echo on stderr), the orders it creates and links, and
// every way it ends without creating any.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

// Invoice 1: customer C100, whose orders 1013 (WAREHOUSE) and 1017 (HQ)
// keep one open line each; invoice 2: order 1002, invoiced in full.
class BackOrderCommandTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"create", "--by", "customer", "--customer", "C100"},
          {"create", "--by", "order", "--from", "1002", "--to", "1002"}}) {
      std::vector<std::string> full = args;
      full.insert(full.end(), {"--db", db_, "--answers", "[7]"});
      RunResult r = RunCli(full);
      ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    ASSERT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 2);
    orders_before_ = Number("SELECT COUNT(*) FROM Order_Header");
  }

  RunResult BackOrder(const std::string& number, const std::string& answers,
                      std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"backorder", number, "--db", db_};
    if (!answers.empty()) args.insert(args.end(), {"--answers", answers});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args);
  }

  // Nothing of a back-order run is left behind.
  void ExpectNoBackOrders() const {
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header"), orders_before_);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail WHERE line_status = 5 OR "
                     "backorder_key IS NOT NULL"),
              0);
  }

  double OpenQuantity(const std::string& order) const {
    return Number("SELECT SUM(d.quantity_ordered - d.quantity_invoiced) FROM Order_Detail d JOIN "
                  "Order_Header o ON o.order_key = d.order_key WHERE o.order_number = '" + order +
                  "'");
  }

  double orders_before_ = 0;
};

TEST_F(BackOrderCommandTest, YesAndTwoNumbersMakeTwoLinkedOrders) {
  const double open_1013 = OpenQuantity("1013"), open_1017 = OpenQuantity("1017");
  RunResult r = BackOrder("1", R"([6, " 6001 ", "6002"])", {"--json"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  json doc = json::parse(r.out);
  EXPECT_EQ(doc["ok"], true);
  ASSERT_EQ(doc["back_orders"].size(), 2u);

  struct Expected {
    std::string number, original, ship_to;
    double units;
  };
  const std::vector<Expected> expected = {{"6001", "1013", "WAREHOUSE", open_1013},
                                          {"6002", "1017", "HQ", open_1017}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    const json& bo = doc["back_orders"][i];
    EXPECT_EQ(bo["order_number"], e.number) << "typed blanks are trimmed";
    EXPECT_EQ(bo["original_orders"], json::array({e.original}));
    EXPECT_EQ(bo["cust_id"], "C100");
    EXPECT_EQ(bo["shipto_name"], e.ship_to);
    EXPECT_DOUBLE_EQ(bo["units"].get<double>(), e.units);
    const std::string key =
        std::to_string(static_cast<long long>(Number("SELECT order_key FROM Order_Header WHERE "
                                                     "order_number = '" + e.number + "'")));
    EXPECT_EQ(bo["order_key"].get<long long>(), std::stoll(key));
    EXPECT_DOUBLE_EQ(Number("SELECT SUM(quantity_ordered) FROM Order_Detail WHERE order_key = " + key),
                     e.units);
    // Every open line of the original is marked back-ordered and linked.
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail d JOIN Order_Header o ON o.order_key = "
                     "d.order_key WHERE o.order_number = '" + e.original +
                     "' AND d.quantity_invoiced < d.quantity_ordered AND (d.line_status <> 5 OR "
                     "COALESCE(d.backorder_key, -1) <> " + key + ")"),
              0);
  }
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header"), orders_before_ + 2);

  // The lines are back-ordered now: a second run finds nothing to offer.
  RunResult again = BackOrder("1", "[6]");
  EXPECT_EQ(again.exit_code, 0) << "nothing to do is not a refusal";
  EXPECT_TRUE(Contains(again.out, "Invoice 1 has no line items left to back-order.")) << again.out;
  EXPECT_FALSE(Contains(again.err, "\"event\"")) << "no box: " << again.err;
}

TEST_F(BackOrderCommandTest, TheReadableReportListsTheNewOrders) {
  RunResult r = BackOrder("0001", R"([6, "6001", "6002"])");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Created 2 back orders for invoice 1.")) << r.out;
  EXPECT_TRUE(Contains(r.out, "6002")) << r.out;
  EXPECT_TRUE(Contains(r.out, "1017")) << r.out;
}

TEST_F(BackOrderCommandTest, AnExistingOrderNumberIsWarnedAboutAndAskedAgain) {
  RunResult r = BackOrder("1", R"([6, "1013", 1, "6001", "6002"])");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<json> events = EventLines(r.err);
  ASSERT_GE(events.size(), 5u) << r.err;
  EXPECT_EQ(events[0]["title"], "Backorder Incomplete Line Items");
  EXPECT_EQ(events[1]["event"], "inputbox");
  EXPECT_EQ(events[1]["answer"], "1013");
  EXPECT_EQ(events[2]["event"], "msgbox");
  EXPECT_EQ(events[2]["text"],
            "Order number '1013' already exists for this customer.  Enter a new order number.");
  EXPECT_EQ(events[3]["default"], "1013") << "the original number is offered again";
  EXPECT_EQ(events[3]["answer"], "6001");
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_number = '1013'"), 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header"), orders_before_ + 2);
}

TEST_F(BackOrderCommandTest, CancelAtAnyPromptUndoesEveryOrderOfTheRun) {
  for (const std::string answers : {R"([6, null])", R"([6, "6001", null])", R"([6, "6001", "   "])"}) {
    SCOPED_TRACE(answers);
    RunResult r = BackOrder("1", answers);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "Backorder operation cancelled.")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No back order was created for invoice 1 (declined or cancelled).")) << r.err;
    ExpectNoBackOrders();
  }
}

TEST_F(BackOrderCommandTest, NoAnswerOrABatchRunCreatesNothing) {
  RunResult no = BackOrder("1", "[7]");
  EXPECT_EQ(no.exit_code, 1);
  EXPECT_TRUE(Contains(no.err, "Do you want to backorder these line items now?")) << no.err;
  ExpectNoBackOrders();

  // No terminal and no answers: the defaults apply (Yes, then the number
  // prompt is cancelled) and what was asked is still echoed.
  RunResult batch = BackOrder("1", "");
  EXPECT_EQ(batch.exit_code, 1);
  std::vector<json> events = EventLines(batch.err);
  ASSERT_EQ(events.size(), 3u) << batch.err;
  EXPECT_EQ(events[0]["answer"], 6);
  EXPECT_EQ(events[1]["event"], "inputbox");
  EXPECT_TRUE(events[1]["answer"].is_null());
  EXPECT_EQ(events[2]["text"], "Backorder operation cancelled.");
  ExpectNoBackOrders();
}

TEST_F(BackOrderCommandTest, InvoicesWithoutOpenLinesOrWithTheOptionOffOfferNothing) {
  RunResult full = BackOrder("2", "[6]");
  EXPECT_EQ(full.exit_code, 0);
  EXPECT_TRUE(Contains(full.out, "Invoice 2 has no line items left to back-order.")) << full.out;
  EXPECT_FALSE(Contains(full.err, "\"event\"")) << full.err;

  ASSERT_TRUE(Db()->Execute("UPDATE System SET option_value = '01' WHERE option_name = "
                            "'Auto Backorder'"));
  RunResult off = BackOrder("1", R"([6, "6001", "6002"])");
  EXPECT_EQ(off.exit_code, 1);
  EXPECT_FALSE(Contains(off.err, "\"event\"")) << off.err;
  ExpectNoBackOrders();
}

TEST_F(BackOrderCommandTest, UnknownInvoicesAndBadNumbersAreRefused) {
  RunResult unknown = BackOrder("99", "[6]", {"--json"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_TRUE(Contains(unknown.err, "Invoice 99 not found.")) << unknown.err;
  EXPECT_EQ(json::parse(unknown.out)["ok"], false);

  const std::string before = ReadFile(db_);
  for (const std::string bad : {"abc", "-1", "1.5", "2147483648", "1; DROP TABLE Order_Header"}) {
    RunResult r = BackOrder(bad, "[6]");
    EXPECT_NE(r.exit_code, 0) << bad;
    EXPECT_TRUE(Contains(r.err, "whole number")) << bad << ": " << r.err;
  }
  EXPECT_EQ(ReadFile(db_), before);
  RunResult missing = RunCli({"backorder", "--db", db_});
  EXPECT_NE(missing.exit_code, 0);
  ExpectNoBackOrders();
}

}  // namespace
}  // namespace tarvik::host_test
