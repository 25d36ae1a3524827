// The everyday invoice commands (next-number, list, show, edit, delete) run
// as the real program on a demo database, their effects read back with the
// host's own SQL.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"
#include "tests/support/portable_sql.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

// Invoice 1 is marked for export, 2 was exported already, 3 is not marked
// and carries two lines of order 1 that count as invoiced.
const std::vector<std::string> kSeed = {
    "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
    "other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) VALUES "
    "(1, #3/1/2024#, #3/2/2024#, 'Acme Tools', 12.5, 0, 0, 'rush', Null, 0, 1, Null)",
    "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
    "other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) VALUES "
    "(2, #3/5/2024#, Null, 'Harbor Supply', 7.25, 1.5, 2, Null, 'net 30', 100, 1, #3/6/2024#)",
    "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
    "other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) VALUES "
    "(3, #3/7/2024#, #3/8/2024#, 'Main Street', 0, 0, 1, Null, Null, 0, 0, Null)",
    "INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, "
    "unit_price, discount, amount) SELECT 3, order_key, line_no, item_number, site, 2, "
    "unit_price, 0, 2 * unit_price FROM Order_Detail WHERE order_key = 1",
    "UPDATE Order_Detail SET quantity_invoiced = quantity_invoiced + 2 WHERE order_key = 1",
};

class InvoiceCommandsTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    auto c = Db();
    for (const auto& sql : kSeed) ASSERT_TRUE(c->Execute(sql)) << sql;
    lines_of_3_ =
        static_cast<int>(Number("SELECT COUNT(*) FROM Invoice_Detail WHERE invoice_no = 3"));
    ASSERT_GT(lines_of_3_, 0) << "demo order 1 has lines";
  }

  int lines_of_3_ = 0;
};

TEST_F(InvoiceCommandsTest, NextNumberFollowsTheHighestStoredNumberAndIsOneOnAnEmptyTable) {
  EXPECT_EQ(Run({"next-number"}).out, "4\n");
  ASSERT_TRUE(Db()->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by, export_flag) "
                            "VALUES (1041, 0, 0)"));
  EXPECT_EQ(RunJson({"next-number"})["next_invoice_no"], 1042);

  ASSERT_TRUE(Db()->Execute("DELETE FROM Invoice_Header"));
  RunResult r = Run({"next-number"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
}

TEST_F(InvoiceCommandsTest, ListShowsEveryHeaderInNumberOrderWithItsValues) {
  json doc = RunJson({"list"});
  EXPECT_EQ(doc["ok"], true);
  ASSERT_EQ(doc["count"], 3);
  const json& inv = doc["invoices"];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(inv[i]["invoice_no"], i + 1);
  EXPECT_EQ(inv[0]["bill_to"], "Acme Tools");
  EXPECT_EQ(inv[0]["freight"], 12.5);
  EXPECT_EQ(inv[0]["ship_date"], "2024-03-02");
  EXPECT_EQ(inv[0]["extra1"], "rush");
  EXPECT_EQ(inv[1]["invoice_by"], 2);
  EXPECT_EQ(inv[1]["grouping"], "customer");
  EXPECT_EQ(inv[1]["paid"], 100);
  EXPECT_EQ(inv[1]["export_date"], "2024-03-06");
  EXPECT_EQ(inv[2]["export_flag"], 0);
  EXPECT_TRUE(inv[2]["export_date"].is_null());

  RunResult table = Run({"list"});
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_TRUE(Contains(table.out, "Harbor Supply")) << table.out;
  EXPECT_TRUE(Contains(table.out, "customer")) << "grouping by name: " << table.out;
  EXPECT_TRUE(Contains(table.out, "3 invoices.")) << table.out;
  EXPECT_LT(table.out.find("Acme Tools"), table.out.find("Main Street"));
}

TEST_F(InvoiceCommandsTest, ListExportTakesOnlyMarkedInvoicesNotYetExported) {
  json doc = RunJson({"list", "--export"});
  ASSERT_EQ(doc["count"], 1) << doc.dump();
  EXPECT_EQ(doc["invoices"][0]["invoice_no"], 1);
  EXPECT_EQ(doc["selection"], "export");
}

TEST_F(InvoiceCommandsTest, AnEmptySelectionSaysSoAndSucceeds) {
  ASSERT_TRUE(Db()->Execute("UPDATE Invoice_Header SET export_flag = 0"));
  RunResult exports = Run({"list", "--export"});
  EXPECT_EQ(exports.exit_code, 0) << exports.err;
  EXPECT_TRUE(Contains(exports.out, "No invoices to export.")) << exports.out;

  ASSERT_TRUE(Db()->Execute("DELETE FROM Invoice_Header"));
  RunResult all = Run({"list"});
  EXPECT_EQ(all.exit_code, 0) << all.err;
  EXPECT_EQ(all.out, "No invoices.\n");
  json doc = RunJson({"list"});
  EXPECT_EQ(doc["count"], 0);
  EXPECT_TRUE(doc["invoices"].empty());
}

TEST_F(InvoiceCommandsTest, ShowGivesTheHeaderAndTheLinesOfThatInvoiceOnly) {
  json doc = RunJson({"show", "3"});
  EXPECT_EQ(doc["invoice"]["invoice_no"], 3);
  EXPECT_EQ(doc["invoice"]["bill_to"], "Main Street");
  EXPECT_EQ(doc["invoice"]["invoice_by"], 1);
  ASSERT_EQ(doc["lines"].size(), static_cast<std::size_t>(lines_of_3_));
  double amounts = 0;
  for (const auto& line : doc["lines"]) {
    EXPECT_EQ(line["order_key"], 1);
    EXPECT_EQ(line["quantity"], 2);
    amounts += line["amount"].get<double>();
  }
  EXPECT_DOUBLE_EQ(amounts, Number("SELECT SUM(amount) FROM Invoice_Detail WHERE invoice_no = 3"));

  // Another invoice's lines do not leak in; leading zeros name the same one.
  EXPECT_TRUE(RunJson({"show", "0002"})["lines"].empty());
  RunResult table = Run({"show", "2"});
  EXPECT_TRUE(Contains(table.out, "Invoice 2")) << table.out;
  EXPECT_TRUE(Contains(table.out, "Harbor Supply")) << table.out;
  EXPECT_TRUE(Contains(table.out, "(none)")) << table.out;
}

TEST_F(InvoiceCommandsTest, EditChangesOnlyTheGivenFields) {
  RunResult r = Run({"edit", "2", "--bill-to", "O'Brien", "--freight", "9.75", "--paid",
                     "250.5", "--ship-date", "4/2/2024", "--export-flag", "255"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Invoice 2 saved.")) << r.out;

  EXPECT_EQ(Text("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "O'Brien");
  EXPECT_DOUBLE_EQ(Number("SELECT freight FROM Invoice_Header WHERE invoice_no = 2"), 9.75);
  EXPECT_DOUBLE_EQ(Number("SELECT paid FROM Invoice_Header WHERE invoice_no = 2"), 250.5);
  EXPECT_EQ(Number("SELECT export_flag FROM Invoice_Header WHERE invoice_no = 2"), 255);
  EXPECT_EQ(Text("SELECT ship_date FROM Invoice_Header WHERE invoice_no = 2"), "2024-04-02");
  // Untouched fields keep their values; the invoice date is never edited.
  EXPECT_DOUBLE_EQ(Number("SELECT other_charge FROM Invoice_Header WHERE invoice_no = 2"), 1.5);
  EXPECT_EQ(Text("SELECT extra2 FROM Invoice_Header WHERE invoice_no = 2"), "net 30");
  EXPECT_EQ(Text("SELECT export_date FROM Invoice_Header WHERE invoice_no = 2"), "2024-03-06");
  EXPECT_EQ(Text("SELECT invoice_date FROM Invoice_Header WHERE invoice_no = 2"), "2024-03-05");
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE extra1 IS NULL AND invoice_no = 2"),
            1);
  // The other invoices are not touched.
  EXPECT_EQ(Text("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1"), "Acme Tools");
  EXPECT_DOUBLE_EQ(Number("SELECT freight FROM Invoice_Header WHERE invoice_no = 3"), 0);
}

TEST_F(InvoiceCommandsTest, EditClearsDatesAndTextsAndReportsWhatIsStored) {
  json doc = RunJson({"edit", "2", "--export-date", "", "--extra2", "", "--extra1", "call first"});
  EXPECT_TRUE(doc["invoice"]["export_date"].is_null());
  EXPECT_EQ(doc["invoice"]["extra1"], "call first");
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 2 AND "
                   "export_date IS NULL AND extra2 IS NULL"),
            1);
  // Cleared export date: invoice 2 is to be exported again.
  EXPECT_EQ(RunJson({"list", "--export"})["count"], 2);
}

TEST_F(InvoiceCommandsTest, QuotesInTextsAreStoredAsTypedAndNeverRunAsSql) {
  const std::vector<std::string> texts = {
      "O'Brien", "x'); DELETE FROM Invoice_Header; --", "''", "a'' OR ''1''=''1"};
  for (const auto& text : texts) {
    RunResult r = Run({"edit", "1", "--bill-to", text, "--extra1", text});
    ASSERT_EQ(r.exit_code, 0) << text << ": " << r.err;
    EXPECT_EQ(Text("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1"), text);
    EXPECT_EQ(Text("SELECT extra1 FROM Invoice_Header WHERE invoice_no = 1"), text);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 3) << text;
    EXPECT_EQ(Text("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "Harbor Supply");
  }
}

TEST_F(InvoiceCommandsTest, BadArgumentsAreRefusedBeforeAnythingRuns) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"show", "abc"}, "invoice number must be a whole number"},
      {{"show", "-1"}, ""},
      {{"show", "1.5"}, "invoice number must be a whole number"},
      {{"show", "2147483648"}, "invoice number must be a whole number"},
      {{"edit", "2x", "--paid", "1"}, "invoice number must be a whole number"},
      {{"delete", "one", "--yes"}, "invoice number must be a whole number"},
      {{"edit", "1", "--export-flag", "300"}, "from 0 to 255, got '300'"},
      {{"edit", "1", "--export-flag", "-1"}, ""},
      {{"edit", "1", "--export-flag", "1.5"}, "from 0 to 255"},
      {{"edit", "1", "--freight", "abc"}, "'abc' is not a number"},
      {{"edit", "1", "--paid", "1.2.3"}, "is not a number"},
      {{"edit", "1", "--ship-date", "2/30/2024"}, "is not a date"},
      {{"edit", "1", "--export-date", "tomorrow"}, "is not a date"},
      {{"show"}, "required"},
  };
  const std::string before = ReadFile(db_);
  for (const auto& c : cases) {
    RunResult r = Run(c.args);
    std::string what = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_NE(r.exit_code, 0) << what;
    EXPECT_FALSE(r.err.empty()) << what;
    if (!c.message.empty()) {
      EXPECT_TRUE(Contains(r.err, c.message)) << what << ": " << r.err;
    }
  }
  EXPECT_EQ(ReadFile(db_), before) << "nothing was written";
}

TEST_F(InvoiceCommandsTest, AnUnknownInvoiceIsReportedAndChangesNothing) {
  const std::string before = ReadFile(db_);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"show", "99"}, {"edit", "99", "--bill-to", "Nobody"},
        {"delete", "99", "--yes"}}) {
    RunResult r = Run(args);
    EXPECT_EQ(r.exit_code, 1) << args[0];
    EXPECT_TRUE(Contains(r.err, "Invoice 99 not found.")) << args[0] << ": " << r.err;
  }
  EXPECT_EQ(ReadFile(db_), before);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Delete"), 0);

  // In JSON the failure is a document too.
  RunResult r = Run({"show", "99", "--json"});
  EXPECT_EQ(r.exit_code, 1);
  json doc = json::parse(r.out);
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["error"]["description"], "Invoice 99 not found.");
}

TEST_F(InvoiceCommandsTest, DeleteWithYesUndoesThePostingsAndLogsTheDeletion) {
  const double on_hand =
      Number("SELECT SUM(on_hand) FROM Inventory i WHERE EXISTS (SELECT 1 FROM Invoice_Detail d "
             "WHERE d.invoice_no = 3 AND d.item_number = i.item_number AND d.site = i.site)");
  const double invoiced =
      Number("SELECT SUM(quantity_invoiced) FROM Order_Detail WHERE order_key = 1");

  RunResult r = Run({"delete", "3", "--yes", "--user", "O'Neil"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Invoice 3 deleted.")) << r.out;

  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 3"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 2);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Detail WHERE invoice_no = 3"), 0);
  const double returned = 2.0 * lines_of_3_;
  EXPECT_DOUBLE_EQ(
      Number("SELECT SUM(on_hand) FROM Inventory i WHERE EXISTS (SELECT 1 FROM Order_Detail d "
             "WHERE d.order_key = 1 AND d.item_number = i.item_number AND d.site = i.site)"),
      on_hand + returned);
  EXPECT_DOUBLE_EQ(Number("SELECT SUM(quantity) FROM Inventory_Ledger WHERE invoice_no = 3"),
                   returned);
  EXPECT_DOUBLE_EQ(Number("SELECT SUM(quantity_invoiced) FROM Order_Detail WHERE order_key = 1"),
                   invoiced - returned);
  // The log row carries the invoice's own date and the user as typed.
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Delete"), 1);
  EXPECT_EQ(Number("SELECT Invoice_No FROM Invoice_Delete"), 3);
  EXPECT_EQ(Text("SELECT UserID FROM Invoice_Delete"), "O'Neil");
  EXPECT_EQ(Text("SELECT Invoice_Date FROM Invoice_Delete"), "2024-03-07");
}

TEST_F(InvoiceCommandsTest, DeleteWithoutAnAnswerKeepsTheInvoice) {
  // Not a terminal and no --yes: the question takes its default, No.
  RunResult r = Run({"delete", "3"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "Invoice 3 was not deleted: there is no terminal to confirm on; add --yes"))
      << r.err;
  // An explicit No from an answer queue is the same.
  RunResult no = Run({"delete", "3", "--answers", "[7]"});
  EXPECT_EQ(no.exit_code, 1);
  EXPECT_TRUE(Contains(no.err, "Are you sure you want to delete Invoice '3'?")) << no.err;

  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 3"), 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Detail WHERE invoice_no = 3"), lines_of_3_);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Delete"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger WHERE invoice_no = 3"), 0);

  json doc = RunJson({"delete", "1", "--yes"});
  EXPECT_EQ(doc["invoice_no"], 1);
  EXPECT_EQ(doc["deleted"], true);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1"), 0);
}

TEST_F(InvoiceCommandsTest, AFailedOperationEndsWithTheComponentsMessage) {
  // The deletion log refuses every row: the component rolls everything back
  // and leaves the database's description for the host.
  ASSERT_TRUE(Db()->Execute("DELETE FROM Invoice_Delete"));
  testing::InstallRefusingTrigger(db_, "Invoice_Delete", "INSERT", "deletion log is read-only");
  RunResult r = Run({"delete", "3", "--yes"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "deletion log is read-only")) << r.err;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 3"), 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger WHERE invoice_no = 3"), 0);
}

TEST_F(InvoiceCommandsTest, AMissingDatabaseIsNotCreated) {
  const std::string absent = dir().file("absent.db");
  for (const char* command : {"next-number", "list"}) {
    RunResult r = RunCli({command, "--db", absent});
    EXPECT_EQ(r.exit_code, 3) << command;
    EXPECT_TRUE(Contains(r.err, "no database")) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(absent));
}

}  // namespace
}  // namespace tarvik::host_test
