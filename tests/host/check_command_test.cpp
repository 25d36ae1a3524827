// `tarvik check` on whole books and on books an interrupted run left: an
// invoice saved whose inventory relief never ran, with the marker the
// stored queries leave for it. Reading changes nothing; --repair, or any
// command that writes, completes the relief once.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

class CheckCommandTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("books.db", true);
    RunResult made = Run({"create", "--by", "order", "--from", "1001", "--to", "1004"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
  }
  std::string Stock() const {
    return testing::JoinedColumn(*Db(), "SELECT item_number || '@' || site || '=' || "
                                        "CAST(on_hand AS TEXT) FROM Inventory ORDER BY item_number, site");
  }
  bool HasMarkers() const {
    try {
      Db()->OpenQuery("SELECT COUNT(*) FROM Invoice_Pending")->Seek(0);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }
  // What a run cut off after creating invoice n leaves: no ledger rows,
  // stock as before its relief, and the marker of the relief to come.
  void InterruptReliefOf(int n) {
    auto c = Db();
    const std::string invoice = std::to_string(n);
    c->BeginTrans();
    c->Execute("UPDATE Inventory SET on_hand = on_hand + (SELECT SUM(d.quantity) FROM Invoice_Detail d "
               "WHERE d.invoice_no = " + invoice + " AND d.item_number = Inventory.item_number AND "
               "d.site = Inventory.site) WHERE EXISTS (SELECT 1 FROM Invoice_Detail d WHERE "
               "d.invoice_no = " + invoice + " AND d.item_number = Inventory.item_number AND "
               "d.site = Inventory.site)");
    c->Execute("DELETE FROM Inventory_Ledger WHERE invoice_no = " + invoice);
    c->Execute("INSERT INTO Invoice_Pending (invoice_no) VALUES (" + invoice + ")");
    c->CommitTrans();
  }
};

TEST_F(CheckCommandTest, WholeBooksAreReportedCleanAndRepairDoesNothing) {
  const std::string stock = Stock();
  RunResult r = Run({"check"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "every posting is complete")) << r.out;

  r = Run({"check", "--json"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const json doc = json::parse(r.out);
  EXPECT_EQ(doc["clean"], true);
  EXPECT_EQ(doc["unrelieved"], json::array());

  r = Run({"check", "--repair", "--json"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(json::parse(r.out)["repaired"], false);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Stock(), stock);
}

TEST_F(CheckCommandTest, AnInterruptedReliefIsFoundByReadingAndCompletedOnce) {
  if (!HasMarkers()) GTEST_SKIP() << "the books have no posting markers yet (Invoice_Pending)";
  const std::string relieved = Stock();
  const double ledger = Number("SELECT COUNT(*) FROM Inventory_Ledger");
  InterruptReliefOf(3);
  const std::string interrupted = Stock();
  ASSERT_NE(interrupted, relieved);

  RunResult r = Run({"check", "--json"});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  json doc = json::parse(r.out);
  EXPECT_EQ(doc["clean"], false);
  EXPECT_EQ(doc["unrelieved"], json::parse("[3]"));
  r = Run({"check"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.out, "tarvik check --repair")) << r.out;
  EXPECT_EQ(Stock(), interrupted);  // checking only reads

  r = Run({"check", "--repair", "--json"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  doc = json::parse(r.out);
  EXPECT_EQ(doc["relieved"], json::parse("[3]"));
  EXPECT_EQ(Stock(), relieved);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger"), ledger);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Pending"), 0);

  r = Run({"check", "--repair"});
  EXPECT_TRUE(Contains(r.out, "nothing to repair")) << r.out;
  EXPECT_EQ(Stock(), relieved);
}

TEST_F(CheckCommandTest, AnyCommandThatWritesCompletesItFirstAndSaysSo) {
  if (!HasMarkers()) GTEST_SKIP() << "the books have no posting markers yet (Invoice_Pending)";
  const std::string relieved = Stock();
  InterruptReliefOf(2);

  // A reading command neither repairs nor mentions it.
  RunResult r = Run({"list"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(Stock(), relieved);

  r = Run({"edit", "4", "--paid", "5"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "tarvik: ")) << r.err;
  EXPECT_EQ(Stock(), relieved);
  EXPECT_EQ(Run({"check"}).exit_code, 0);

  // The script driver tells it as an event before the open's reply.
  InterruptReliefOf(1);
  auto lines = Script({json{{"op", "open"}, {"db", db_}, {"as", "c"}}.dump()});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["event"], "recovery");
  EXPECT_FALSE(lines[0]["text"].get<std::string>().empty());
  EXPECT_EQ(lines[1]["ok"], true);
  EXPECT_EQ(Stock(), relieved);
}

}  // namespace
}  // namespace tarvik::host_test
