// Invoice creation and the back-order dialogue as a suite script drives
// them through `tarvik script` on a demo database: numbers, relief order,
// rollback, the partial-picking refusal and the prompts, each judged by
// what the database holds afterwards and by the boxes the script saw.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "tests/host/tarvik_process.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

using namespace line;

// Everything creation and back orders write, row by row, in a stable order.
// Columns are read as text so the six tables line up on either backend.
const char* const kInvoiceState =
    "SELECT 'H', CAST(invoice_no AS TEXT), '', '' FROM Invoice_Header UNION ALL "
    "SELECT 'D', CAST(invoice_no AS TEXT), CAST(order_key AS TEXT), CAST(line_no AS TEXT) "
    "FROM Invoice_Detail UNION ALL "
    "SELECT 'I', item_number, site, CAST(on_hand AS TEXT) FROM Inventory UNION ALL "
    "SELECT 'L', CAST(entry_id AS TEXT), CAST(invoice_no AS TEXT), CAST(quantity AS TEXT) "
    "FROM Inventory_Ledger UNION ALL "
    "SELECT 'O', CAST(order_key AS TEXT), order_number, CAST(order_status AS TEXT) FROM Order_Header "
    "UNION ALL SELECT 'S', CAST(order_key AS TEXT), CAST(line_no AS TEXT), CAST(line_status AS TEXT) "
    "FROM Order_Detail ORDER BY 1, 2, 3, 4";

class CreationScriptTest : public ::testing::Test, public TarvikTest {
 protected:
  void SetUp() override { db_ = InitDatabase("demo.db", true); }

  void Execute(const std::string& sql) { data::OpenBackend(db_)->Execute(sql, {}); }
  void SetOption(const std::string& name, const std::string& value) {
    Execute("UPDATE System SET option_value = '" + value + "' WHERE option_name = '" + name + "'");
  }
  bool OnPostgres() { return data::OpenBackend(db_)->dialect() == data::Dialect::kPostgres; }

  // A row trigger on `table` that, for rows matching `when` (a condition on
  // NEW), either skips the row silently or makes the insert fail.
  void InstallTrigger(const std::string& table, const std::string& when, bool fail) {
    auto b = data::OpenBackend(db_);
    if (b->dialect() == data::Dialect::kPostgres) {
      b->Execute("CREATE FUNCTION test_guard() RETURNS trigger AS $$ BEGIN IF " + when +
                     " THEN " + (fail ? "RAISE EXCEPTION 'guard refuses the row';" : "RETURN NULL;") +
                     " END IF; RETURN NEW; END $$ LANGUAGE plpgsql",
                 {});
      b->Execute("CREATE TRIGGER test_guard BEFORE INSERT ON " + table +
                     " FOR EACH ROW EXECUTE FUNCTION test_guard()",
                 {});
    } else {
      b->ExecuteScript("CREATE TRIGGER test_guard BEFORE INSERT ON " + table + " WHEN " + when +
                       " BEGIN SELECT RAISE(" + (fail ? "ABORT, 'guard refuses the row'" : "IGNORE") +
                       "); END;");
    }
  }

  // Opens the database, creates an Invoice "i" (and a BackOrder "b") on it,
  // runs the lines; keeps the boxes in events_ and answers the replies,
  // each checked for success unless it is listed in may_fail.
  std::vector<json> Run(const std::vector<std::string>& lines) {
    std::vector<json> replies = ScriptAfter(
        OpenAndConnect(db_, {{"i", "TarvikInvoice.Invoice"}, {"b", "TarvikInvoice.BackOrder"}}), lines,
        &events_);
    for (std::size_t i = 0; i < replies.size() && i < lines.size(); ++i) {
      EXPECT_EQ(replies[i]["ok"], true) << lines[i] << " -> " << replies[i].dump();
    }
    return replies;
  }
  std::vector<std::string> Prompts() const {
    std::vector<std::string> out;
    for (const json& e : events_) {
      if (e["event"] == "inputbox") out.push_back(e["default"]);
    }
    return out;
  }
  static std::vector<std::string> InvoiceRange(const std::string& first, const std::string& from,
                                               const std::string& to) {
    return {Let("InvoiceNo", first), Let("BeginOrder", from), Let("EndOrder", to),
            Let("TransactionMode", 1), Call("Save")};
  }

  std::string db_;
  std::vector<json> events_;
};

TEST_F(CreationScriptTest, ThreeOrdersAreNumberedAndRelievedInOrder) {
  std::vector<std::string> lines = InvoiceRange("500", "1001", "1003");
  lines.push_back(Get("InvoiceNo"));
  lines.push_back(Sql("SELECT invoice_no FROM Invoice_Header ORDER BY invoice_no"));
  lines.push_back(Sql("SELECT invoice_no FROM Inventory_Ledger WHERE reason = 'invoice' ORDER BY entry_id"));
  lines.push_back(Sql("SELECT h.order_number, d.invoice_no FROM Invoice_Detail d JOIN Order_Header h "
                      "ON h.order_key = d.order_key GROUP BY h.order_number, d.invoice_no "
                      "ORDER BY d.invoice_no"));
  auto r = Run(lines);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[4]["value"], -1);
  EXPECT_EQ(r[5]["value"], "502");  // the refresh shows the last invoice made
  EXPECT_EQ(r[6]["rows"], json::parse("[[500],[501],[502]]"));
  // Relief runs invoice by invoice, in creation order.
  std::vector<int> relieved;
  for (const json& row : r[7]["rows"]) {
    if (relieved.empty() || relieved.back() != row[0].get<int>()) relieved.push_back(row[0]);
  }
  EXPECT_EQ(relieved, (std::vector<int>{500, 501, 502}));
  EXPECT_EQ(r[8]["rows"], json::parse(R"([["1001",500],["1002",501],["1003",502]])"));
  EXPECT_TRUE(events_.empty()) << events_.front().dump();
}

TEST_F(CreationScriptTest, FirstOrderFailingRollsEverythingBack) {
  // The first header insert is skipped by the database: it affects no row.
  InstallTrigger("Invoice_Header", "NEW.invoice_no = 500", false);
  std::vector<std::string> lines = {Sql(kInvoiceState)};
  for (const std::string& l : InvoiceRange("500", "1001", "1003")) lines.push_back(l);
  lines.push_back(Get("InvoiceNo"));
  lines.push_back(Sql(kInvoiceState));
  auto r = Run(lines);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[5]["value"], 0);
  EXPECT_EQ(r[6]["value"], "501");
  EXPECT_EQ(r[7]["rows"], r[0]["rows"]);
  EXPECT_TRUE(events_.empty()) << "a false result is not reported";
}

TEST_F(CreationScriptTest, ErrorsUndoTheWholeCallAndAreReportedOnce) {
  struct Case {
    const char* name;
    const char* first;
    bool guard;  // the second order's detail lines fail in the database
    const char* message;
  };
  const Case cases[] = {
      {"error in the second order", "500", true, "guard refuses the row"},
      {"number after the largest", "2147483647", false, "verflow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db_ = InitDatabase(std::string(c.guard ? "guard" : "overflow") + ".db", true);
    if (c.guard) InstallTrigger("Invoice_Detail", "NEW.invoice_no = 501", true);
    std::vector<std::string> lines = {Sql(kInvoiceState)};
    for (const std::string& l : InvoiceRange(c.first, "1001", c.guard ? "1003" : "1001")) {
      lines.push_back(l);
    }
    lines.push_back(Sql(kInvoiceState));
    auto r = Run(lines);
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r[5]["value"], 0);
    EXPECT_EQ(r[6]["rows"], r[0]["rows"]);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0]["style"], 48);
    EXPECT_NE(events_[0]["text"].get<std::string>().find(c.message), std::string::npos)
        << events_[0].dump();
  }
}

TEST_F(CreationScriptTest, PartlyPickedOrdersAreRefusedWhenTheOptionSaysSo) {
  SetOption("Invoice No Partial Picking", "1");
  // Order 1013 has a line picked only in part.
  std::vector<std::string> lines = {Sql(kInvoiceState)};
  for (const std::string& l : InvoiceRange("500", "1012", "1013")) lines.push_back(l);
  lines.push_back(Let("ShowMessageBox", false));
  lines.push_back(Call("Save"));
  lines.push_back(Get("InfoMsg"));
  lines.push_back(Sql(kInvoiceState));
  auto r = Run(lines);
  ASSERT_EQ(r.size(), 10u);
  EXPECT_EQ(r[5]["value"], 0);
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0]["text"], "You cannot create this invoice because some items are partially picked.");
  EXPECT_EQ(events_[0]["title"], "Invoice");
  EXPECT_EQ(events_[0]["style"], 48);
  EXPECT_EQ(r[7]["value"], 0);
  EXPECT_EQ(r[8]["value"], "Items are partially picked.");
  EXPECT_EQ(r[9]["rows"], r[0]["rows"]);

  // Any other option value lets the same range through.
  SetOption("Invoice No Partial Picking", "0");
  auto again = Run(InvoiceRange("500", "1012", "1013"));
  ASSERT_EQ(again.size(), 5u);
  EXPECT_EQ(again[4]["value"], -1);
}

// Invoice 500 for customer C100 leaves rows A, A, B open: two lines of
// order 1013 and one of 1017.
class BackOrderScriptTest : public CreationScriptTest {
 protected:
  void SetUp() override {
    CreationScriptTest::SetUp();
    Execute("UPDATE Order_Detail SET quantity_ordered = 8 WHERE order_key = 13 AND line_no = 2");
    SetOption("Auto Backorder", "0");
    auto r = Run({Let("PrintInvoiceBy", 2), Let("CustID", "C100"), Let("InvoiceNo", "500"),
                  Let("TransactionMode", 1), Call("Save")});
    ASSERT_EQ(r.size(), 5u);
    ASSERT_EQ(r[4]["value"], -1);
    SetOption("Auto Backorder", "1");
  }
  std::vector<json> BackOrder(const json& answers) {
    return Run({Let("Invoice_No", "500", "b"), Sql(kInvoiceState), Answers(answers),
                Call("BackOrder", json::array(), "b"), Sql(kInvoiceState),
                Sql("SELECT h.order_number, count(*) FROM Order_Header h JOIN Order_Detail d "
                    "ON d.order_key = h.order_key WHERE h.order_number IN ('5001', '5002') "
                    "GROUP BY h.order_number ORDER BY h.order_number")});
  }
};

TEST_F(BackOrderScriptTest, RowsOfTwoOrdersGiveTwoPromptsAndBothOrders) {
  auto r = BackOrder(json::array({6, "5001", "5002"}));
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[3]["value"], -1);
  EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1017"}));
  ASSERT_EQ(events_.size(), 4u);
  EXPECT_EQ(events_[0]["style"], 68);
  EXPECT_EQ(events_[0]["title"], "Backorder Incomplete Line Items");
  EXPECT_EQ(events_[3]["text"], "New orders successfully created.");
  EXPECT_EQ(r[5]["rows"], json::parse(R"([["5001",2],["5002",1]])"));
  EXPECT_NE(r[4]["rows"], r[1]["rows"]);
}

TEST_F(BackOrderScriptTest, CancelAtTheSecondPromptUndoesBothOrders) {
  for (const json& second : {json(nullptr), json("  ")}) {
    SCOPED_TRACE(second.dump());
    auto r = BackOrder(json::array({6, "5001", second}));
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[3]["value"], 0);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1017"}));
    ASSERT_EQ(events_.size(), 4u);
    EXPECT_EQ(events_[3]["text"], "Backorder operation cancelled.");
    EXPECT_EQ(events_[3]["style"], 48);
    EXPECT_EQ(events_[3]["title"], "New Orders Not Created");
    EXPECT_EQ(r[4]["rows"], r[1]["rows"]);
    EXPECT_EQ(r[5]["rows"], json::array());
  }
}

TEST_F(BackOrderScriptTest, TakenNumberIsAskedAgainForTheSameRun) {
  // 1013 is C100's own order at WAREHOUSE; at HQ, where 1017 goes, it is free.
  auto r = BackOrder(json::array({6, "1013", 1, "5001", "5002"}));
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[3]["value"], -1);
  EXPECT_EQ(Prompts(), (std::vector<std::string>{"1013", "1013", "1017"}));
  ASSERT_GE(events_.size(), 3u);
  EXPECT_EQ(events_[2]["text"],
            "Order number '1013' already exists for this customer.  Enter a new order number.");
  EXPECT_EQ(events_[2]["style"], 48);
  EXPECT_EQ(r[5]["rows"], json::parse(R"([["5001",2],["5002",1]])"));
}

}  // namespace
}  // namespace tarvik::host_test
