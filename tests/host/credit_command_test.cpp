// `tarvik credit` and the refusal to delete an exported invoice, run as the
// real binary on a demo database: the credit note puts the books back as a
// deletion does, keeps the invoice's lines, and exports as a credit note
// referring to the invoice.
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/result_set.h"
#include "data/value.h"
#include "tests/einvoice/writer_xml.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
using einvoice::testing::SchemaPath;
using einvoice::testing::XmlDocument;

// Stock, order and line status of the orders invoiced below, as one text.
constexpr const char* kBooks[] = {
    "SELECT item_number, site, on_hand FROM Inventory ORDER BY item_number, site",
    "SELECT order_key, order_status FROM Order_Header ORDER BY order_key",
    "SELECT order_key, line_no, quantity_packed, quantity_invoiced, line_status FROM Order_Detail "
    "ORDER BY order_key, line_no",
};

class CreditTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    before_ = Books();
    // Invoice 1: order 1004 of the domestic customer C400.
    const RunResult made = Run({"create", "--by", "order", "--from", "1004", "--to", "1004", "--ship-date",
                                "2026-12-01", "--paid", "10", "--answers", "[7]"});
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
    ASSERT_NE(Books(), before_) << "the invoice changed nothing";
  }

  std::string Books() const {
    std::string text;
    auto c = Db();
    for (const char* sql : kBooks) {
      auto rs = c->QueryWith(sql, {});
      for (std::int64_t row = 0; rs->Seek(row); ++row) {
        for (int col = 0; col < rs->ColumnCount(); ++col) text += data::ValueToText(rs->Column(col)) + "|";
        text += "\n";
      }
    }
    return text;
  }

  std::string before_;
};

TEST_F(CreditTest, TheCreditNoteKeepsTheInvoiceAndPutsTheBooksBackAsADeletion) {
  const double lines = Number("SELECT COUNT(*) FROM Invoice_Detail WHERE invoice_no = 1");
  const double amount = Number("SELECT SUM(amount) FROM Invoice_Detail WHERE invoice_no = 1");
  ASSERT_GT(lines, 0);
  const json doc = RunJson({"credit", "1", "--yes", "--user", "clerk"});
  EXPECT_EQ(doc["credit_no"], 1);
  EXPECT_EQ(doc["invoice_no"], 1);

  EXPECT_EQ(Books(), before_);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1"), 0);
  EXPECT_EQ(Text("SELECT UserID FROM Invoice_Delete WHERE Invoice_No = 1"), "clerk");
  EXPECT_EQ(Number("SELECT invoice_no FROM Credit_Note_Header WHERE credit_no = 1"), 1);
  EXPECT_EQ(Number("SELECT paid FROM Credit_Note_Header WHERE credit_no = 1"), 10);
  EXPECT_EQ(Number("SELECT export_flag FROM Credit_Note_Header WHERE credit_no = 1"), 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Credit_Note_Detail WHERE credit_no = 1"), lines);
  EXPECT_DOUBLE_EQ(Number("SELECT SUM(amount) FROM Credit_Note_Detail WHERE credit_no = 1"), amount);

  // The next one takes the next number of the credit notes' own series.
  ASSERT_EQ(Run({"create", "--by", "order", "--from", "1003", "--to", "1003", "--answers", "[7]"}).exit_code, 0);
  const json second = RunJson({"credit", Text("SELECT MAX(invoice_no) FROM Invoice_Header"), "--yes"});
  EXPECT_EQ(second["credit_no"], 2);
}

TEST_F(CreditTest, ADeclinedCreditChangesNothing) {
  const std::string invoiced = Books();
  struct Case {
    std::vector<std::string> args;
    const char* err;
  };
  const Case cases[] = {
      {{"credit", "1"}, "add --yes"},                 // no terminal: the default, No
      {{"credit", "1", "--answers", "[7]"}, "was not credited"},
      {{"credit", "9"}, "Invoice 9 not found."},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.args.back();
    EXPECT_THAT(r.err, HasSubstr(c.err));
  }
  EXPECT_EQ(Books(), invoiced);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Credit_Note_Header"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Credit_Note_Detail"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1"), 1);
}

TEST_F(CreditTest, AFailedDeletionLeavesNoCreditNote) {
  // The books refuse to let the invoice go: the copy must go with the deletion.
  if (tarvik::testing::TestPostgresServer().empty()) {
    Db()->ExecuteWith("CREATE TRIGGER keep_1 BEFORE DELETE ON Invoice_Header "
                      "BEGIN SELECT RAISE(ABORT, 'invoice 1 is kept'); END",
                      {});
  } else {
    Db()->ExecuteWith("CREATE FUNCTION keep_1() RETURNS trigger LANGUAGE plpgsql AS "
                      "'BEGIN RAISE EXCEPTION ''invoice 1 is kept''; END'",
                      {});
    Db()->ExecuteWith("CREATE TRIGGER keep_1 BEFORE DELETE ON Invoice_Header FOR EACH ROW "
                      "EXECUTE FUNCTION keep_1()",
                      {});
  }
  const RunResult r = Run({"credit", "1", "--yes"});
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_THAT(r.err, HasSubstr("No credit note was made"));
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Credit_Note_Header"), 0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1"), 1);
}

TEST_F(CreditTest, AnExportedInvoiceIsCreditedNotDeleted) {
  ASSERT_EQ(Run({"edit", "1", "--export-date", "2026-12-02"}).exit_code, 0);
  const RunResult r = Run({"delete", "1", "--yes"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("tarvik credit 1"));
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1"), 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Delete"), 0);
  EXPECT_EQ(Run({"credit", "1", "--yes"}).exit_code, 0);
  EXPECT_EQ(Books(), before_);
}

TEST_F(CreditTest, TheCreditNoteExportsReferringToItsInvoice) {
  ASSERT_EQ(Run({"credit", "1", "--yes"}).exit_code, 0);
  struct Case {
    const char* format;
    const char* schema;
    const char* type_path;
    const char* reference_path;
  };
  const Case cases[] = {
      {"ubl", "ubl-2.1/xsdrt/maindoc/UBL-CreditNote-2.1.xsd", "/*/cbc:CreditNoteTypeCode",
       "/*/cac:BillingReference/cac:InvoiceDocumentReference/cbc:ID"},
      {"xrechnung", "ubl-2.1/xsdrt/maindoc/UBL-CreditNote-2.1.xsd", "/*/cbc:CreditNoteTypeCode",
       "/*/cac:BillingReference/cac:InvoiceDocumentReference/cbc:ID"},
      {"cii", "cii-d16b/uncefact/data/standard/CrossIndustryInvoice_100pD16B.xsd",
       "/*/rsm:ExchangedDocument/ram:TypeCode", "//ram:InvoiceReferencedDocument/ram:IssuerAssignedID"},
  };
  Db()->ExecuteWith("UPDATE Customer SET buyer_reference = cust_id WHERE buyer_reference = ''", {});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const fs::path folder = dir().path() / c.format;
    fs::create_directory(folder);
    const RunResult r = Run({"export", "--credit", "--format", c.format, "--out", folder.string(), "1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const XmlDocument doc = XmlDocument::FromFile((folder / "credit-note-1.xml").string());
    EXPECT_THAT(doc.SchemaErrors(SchemaPath(c.schema)), ::testing::IsEmpty());
    EXPECT_EQ(doc.Values(c.type_path), std::vector<std::string>{"381"});
    EXPECT_EQ(doc.Values(c.reference_path), std::vector<std::string>{"1"});
  }
  // Marked for export from the start, so the selection takes it; --mark ends that.
  const fs::path marked = dir().path() / "marked";
  fs::create_directory(marked);
  const RunResult r = Run({"export", "--credit", "--mark", "--json", "--out", marked.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(json::parse(r.out)["files"][0]["credit_no"], 1);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Credit_Note_Header WHERE export_flag = 0 AND export_date IS NOT NULL"), 1);
  const RunResult again = Run({"export", "--credit", "--out", marked.string()});
  EXPECT_EQ(again.out, "No credit notes to export.\n");
}

}  // namespace
}  // namespace tarvik::host_test
