// Invoice operations driven the way a suite script drives them: late-bound
// through `tarvik script` on a demo database, effects read back with the
// host's own queries.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/portable_sql.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

using namespace line;

// What an invoice's creation and deletion touch, in one read.
const char* const kState =
    "SELECT (SELECT group_concat(invoice_no) FROM (SELECT invoice_no FROM Invoice_Header ORDER BY 1) AS t), "
    "(SELECT count(*) FROM Invoice_Detail), (SELECT sum(on_hand) FROM Inventory), "
    "(SELECT group_concat(order_status) FROM (SELECT order_status FROM Order_Header ORDER BY order_key) AS t), "
    "(SELECT group_concat(line_status) FROM (SELECT line_status FROM Order_Detail ORDER BY order_key, line_no) AS t), (SELECT count(*) FROM Invoice_Delete)";

class InvoiceScriptTest : public ::testing::Test, public TarvikTest {
 protected:
  void SetUp() override { db_ = InitDatabase("demo.db", true); }

  // Opens, creates and connects, then invoices orders 1001 to 1003 as 1, 2, 3.
  std::vector<std::string> Prelude() const {
    std::vector<std::string> lines = OpenAndConnect(db_, {{"i", "TarvikInvoice.Invoice"}});
    lines.insert(lines.end(), {Let("InvoiceNo", "1"),
            Let("BeginOrder", "1001"),
            Let("EndOrder", "1003"),
            Let("TransactionMode", 1),
            Call("Save")});
    return lines;
  }
  // The replies of the lines after the prelude (which must succeed).
  std::vector<json> Run(const std::vector<std::string>& lines) {
    return ScriptAfter(Prelude(), lines, &events_);
  }

  std::string db_;
  std::vector<json> events_;
};

TEST_F(InvoiceScriptTest, BrowsingAsAHostSeesIt) {
  auto r = Run({
      Let("Filter", ""), Call("OpenRecordset"), Get("InvoiceNo"), Get("RecordCount"),
      Call("MoveNext"), Get("InvoiceNo"),
      // Mark invoice 2 for export through an edit.
      Let("Filter", "INVOICE_NUMBER"), Let("InvoiceNo", "2"), Call("OpenRecordset"),
      json{{"op", "let"}, {"obj", "i"}, {"member", "Export_Flag"}, {"value", 1}, {"vt", "UI1"}}
          .dump(),
      Let("TransactionMode", 2), Call("Save"),
      Let("Filter", "export"), Call("OpenRecordset"), Get("InvoiceNo"), Get("RecordCount"),
      Let("Filter", "EXPORT"), Call("Find"), Get("InvoiceNo"), Get("RecordCount"), Get("Filter"),
      // Invoice number 0 exists once a header was added without a number.
      Let("InvoiceNo", "abc"), Call("AddHeader"), Let("Filter", ""), Call("OpenRecordset"),
      Call("SeekRecord", json::array({"12abc"})), Get("InvoiceNo"),
      Call("SeekRecord", json::array({17})), Get("InvoiceNo"),
      Call("SeekRecord", json::array({"3"})), Get("InvoiceNo")});
  ASSERT_EQ(r.size(), 31u);
  EXPECT_EQ(r[1]["value"], -1);
  EXPECT_EQ(r[2]["value"], "3");  // the last header after open
  EXPECT_EQ(r[3]["value"], 3);
  EXPECT_EQ(r[4]["value"], 0);
  EXPECT_EQ(r[5]["value"], "3");
  EXPECT_EQ(r[11]["value"], -1) << r[11].dump();
  EXPECT_EQ(r[13]["value"], -1);  // "export" selects like "EXPORT"
  EXPECT_EQ(r[14]["value"], "2");
  EXPECT_EQ(r[15]["value"], 1);
  EXPECT_EQ(r[18]["value"], "2");
  EXPECT_EQ(r[19]["value"], 1);
  EXPECT_EQ(r[20]["value"], "EXPORT");  // Find keeps Filter
  EXPECT_EQ(r[22]["value"], -1);
  EXPECT_EQ(r[25]["value"], -1);  // 12abc looks for invoice 0
  EXPECT_EQ(r[26]["value"], "0");
  EXPECT_EQ(r[27]["value"], 0);
  EXPECT_EQ(r[28]["value"], "0");
  EXPECT_EQ(r[29]["value"], -1);
  EXPECT_EQ(r[30]["value"], "3");
}

TEST_F(InvoiceScriptTest, NumberingAndHeaderInsertQuoteWhatTheyWrite) {
  auto r = Run({Call("Get_Next_Invoice_No"), Let("InvoiceNo", "1042"), Let("BillTo", "O'Brien"),
                Let("FreightAmount", "12.50"), Let("Extra1", "x'); DROP TABLE Invoice_Header; --"),
                Let("ShipDate", "2/30/2024"), Call("AddHeader"), Call("Get_Next_Invoice_No"),
                Sql("SELECT bill_to, freight, extra1, ship_date FROM Invoice_Header "
                    "WHERE invoice_no = 1042")});
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[0]["value"], "4");
  EXPECT_EQ(r[6]["value"], -1);
  EXPECT_EQ(r[7]["value"], "1043");
  EXPECT_EQ(r[8]["rows"], json::parse(R"([["O'Brien", 12.5, "x'); DROP TABLE Invoice_Header; --", null]])"));
}

TEST_F(InvoiceScriptTest, EditOfADeletedInvoiceAnswersFalse) {
  auto r = Run({Let("Filter", "INVOICE_NUMBER"), Let("InvoiceNo", "2"), Call("OpenRecordset"),
                R"({"op":"answers","queue":[6]})", Call("Delete"),
                Let("InvoiceNo", "2"), Let("BillTo", "too late"), Let("TransactionMode", 2),
                Call("Save"), Sql("SELECT count(*) FROM Invoice_Header WHERE bill_to = 'too late'")});
  ASSERT_EQ(r.size(), 10u);
  EXPECT_EQ(r[4]["value"], -1);
  EXPECT_EQ(r[8]["value"], 0);
  EXPECT_EQ(r[9]["rows"], json::parse("[[0]]"));
}

TEST_F(InvoiceScriptTest, DeleteAnsweredNoChangesNothing) {
  auto r = Run({Sql(kState), Let("InvoiceNo", "2"), R"({"op":"answers","queue":[7]})",
                Call("Delete"), Sql(kState), Get("InvoiceNo")});
  ASSERT_EQ(r.size(), 6u);
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0]["text"], "Are you sure you want to delete Invoice '2'?");
  EXPECT_EQ(events_[0]["answer"], 7);
  EXPECT_EQ(r[3]["value"], 0);
  EXPECT_EQ(r[4]["rows"], r[0]["rows"]);
  EXPECT_EQ(r[5]["value"], "2");
}

TEST_F(InvoiceScriptTest, DeleteWhoseLogInsertFailsLeavesEverythingAsItWas) {
  // Sets up the prelude's invoices first, then makes the log refuse rows.
  Run({});
  testing::InstallRefusingTrigger(db_, "Invoice_Delete", "INSERT", "deletion log is read-only");
  std::vector<std::string> lines = {json{{"op", "open"}, {"db", db_}, {"as", "c"}}.dump(),
                                    R"({"op":"create","progid":"TarvikInvoice.Invoice","as":"i"})",
                                    R"({"op":"set","obj":"i","member":"Connect","ref":"c"})",
                                    Sql(kState),
                                    Let("ShowMessageBox", false),
                                    Let("InvoiceNo", "2"),
                                    R"({"op":"answers","queue":[6]})",
                                    Call("Delete"),
                                    Get("InfoMsg"),
                                    Sql(kState)};
  auto out = Replies(Script(lines));
  ASSERT_EQ(out.size(), lines.size());
  EXPECT_EQ(out[7]["value"], 0);
  EXPECT_NE(out[8]["value"].get<std::string>().find("deletion log is read-only"),
            std::string::npos);
  EXPECT_EQ(out[9]["rows"], out[3]["rows"]);
  EXPECT_EQ(out[3]["rows"][0][0], "1,2,3");
}

TEST_F(InvoiceScriptTest, ConfirmedDeletePutsStockAndStatusBack) {
  auto r = Run({Sql(kState), Let("InvoiceNo", "3"), Let("UserID", "clerk"),
                R"({"op":"answers","queue":[6]})", Call("Delete"), Sql(kState),
                Sql("SELECT invoice_no, userid FROM Invoice_Delete"),
                Let("Filter", ""), Call("DeleteByFilter")});
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[4]["value"], -1);
  EXPECT_EQ(r[5]["rows"][0][0], "1,2");
  EXPECT_LT(r[5]["rows"][0][1].get<int>(), r[0]["rows"][0][1].get<int>());
  EXPECT_GT(r[5]["rows"][0][2].get<double>(), r[0]["rows"][0][2].get<double>());
  EXPECT_EQ(r[6]["rows"], json::parse(R"([[3, "clerk"]])"));
  // An empty Filter would reach every header: refused with a clear error.
  EXPECT_EQ(r[8]["ok"], false);
  EXPECT_EQ(r[8]["error"]["number"], 5);
}

// The component reads an InvoiceNo that is no number as invoice 0; a script
// gets a refusal instead of a question about 'INV-7' and the loss of invoice 0.
// Texts the regional conversion reads as a number still select by it.
TEST_F(InvoiceScriptTest, AnInvoiceNoThatIsNoNumberNeverReachesADeleteOrAnEdit) {
  const char* const kHeaders = "SELECT invoice_no, bill_to FROM Invoice_Header ORDER BY invoice_no";
  std::vector<std::string> lines = {Let("InvoiceNo", "abc"), Let("BillTo", "zero"), Call("AddHeader"),
                                    Sql(kState), Sql(kHeaders), Answers(json::array({6, 6, 6, 6, 6, 6}))};
  const std::vector<std::string> not_numbers = {"INV-7", "7x", "", " "};
  for (const std::string& text : not_numbers) {
    lines.insert(lines.end(), {Let("InvoiceNo", text), Call("Delete"),
                               Let("Filter", "invoice_number"), Call("DeleteByFilter"),
                               Let("TransactionMode", 2), Let("BillTo", "changed"), Call("Save"),
                               R"({"op":"get","obj":"i","member":"Delete"})"});
  }
  const std::size_t refusals_end = lines.size();
  lines.insert(lines.end(), {Sql(kState), Sql(kHeaders),
                             // Whole numbers by the regional conversion still work.
                             Let("TransactionMode", 2), Let("InvoiceNo", "&H2"), Let("BillTo", "edited"),
                             Call("Save"), Let("InvoiceNo", "0003"), Call("Delete"), Sql(kHeaders)});
  auto r = Run(lines);
  ASSERT_EQ(r.size(), lines.size());
  EXPECT_EQ(r[2]["value"], -1) << "invoice 0 added";
  for (std::size_t i = 6; i < refusals_end; i += 8) {
    SCOPED_TRACE(lines[i]);
    for (std::size_t refused : {i + 1, i + 3, i + 6, i + 7}) {
      EXPECT_EQ(r[refused]["ok"], false) << lines[refused] << " " << r[refused].dump();
      EXPECT_EQ(r[refused]["error"]["number"], 5);
      EXPECT_NE(r[refused].dump().find("is not an invoice number"), std::string::npos) << r[refused].dump();
    }
  }
  EXPECT_EQ(r[refusals_end]["rows"], r[3]["rows"]) << "nothing was deleted, reset or logged";
  EXPECT_EQ(r[refusals_end + 1]["rows"], r[4]["rows"]) << "no header was rewritten";
  // The refused calls asked nothing: the only question is the last delete's.
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0]["text"], "Are you sure you want to delete Invoice '0003'?");
  EXPECT_EQ(r[refusals_end + 5]["value"], -1);
  EXPECT_EQ(r[refusals_end + 7]["value"], -1);
  EXPECT_EQ(r.back()["rows"], json::parse(R"([[0, "zero"], [1, null], [2, "edited"]])")) << r.back().dump();
}

}  // namespace
}  // namespace tarvik::host_test
