// `tarvik export` run as the real binary on a demo database with invoices 1
// to 4 (orders 1001 to 1004: an export, an intra-EU, an Estonian and a
// domestic customer), all marked for export: every format validates, a
// document lacking data refuses the run with the business term named and
// writes and marks nothing, --mark is all or nothing.
#include <stdio.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

constexpr const char* kUblInvoiceSchema = "ubl-2.1/xsdrt/maindoc/UBL-Invoice-2.1.xsd";
constexpr const char* kCiiSchema = "cii-d16b/uncefact/data/standard/CrossIndustryInvoice_100pD16B.xsd";

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a command writes on standard output; empty when it cannot run.
std::string OutputOf(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return {};
  std::string text;
  std::array<char, 4096> buffer;
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) text.append(buffer.data(), n);
  return text;
}

class ExportTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    const RunResult made = Run({"create", "--by", "order", "--from", "1001", "--to", "1004", "--ship-date",
                                "2026-12-01", "--freight", "7.5", "--answers", "[7,7,7,7]"});
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
    Exec("UPDATE Invoice_Header SET export_flag = 1");
    // XRechnung asks every buyer for a reference.
    Exec("UPDATE Customer SET buyer_reference = cust_id WHERE buyer_reference = ''");
    out_ = dir().path() / "out";
    fs::create_directory(out_);
  }

  void Exec(const std::string& sql) const { Db()->ExecuteWith(sql, {}); }

  RunResult Export(std::vector<std::string> args) const {
    args.insert(args.begin(), {"export", "--out", out_.string()});
    return Run(args);
  }

  double Marked() const {
    return Number("SELECT COUNT(*) FROM Invoice_Header WHERE export_date IS NOT NULL OR export_flag <> 1");
  }

  fs::path out_;
};

TEST_F(ExportTest, EveryFormatOfEveryInvoiceIsValid) {
  struct Case {
    const char* format;
    const char* schema;
    const char* number_path;  // the document's number
    const char* type_path;
  };
  const Case cases[] = {
      {"ubl", kUblInvoiceSchema, "/*/cbc:ID", "/*/cbc:InvoiceTypeCode"},
      {"xrechnung", kUblInvoiceSchema, "/*/cbc:ID", "/*/cbc:InvoiceTypeCode"},
      {"cii", kCiiSchema, "/*/rsm:ExchangedDocument/ram:ID", "/*/rsm:ExchangedDocument/ram:TypeCode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const fs::path folder = out_ / c.format;
    fs::create_directory(folder);
    const RunResult r = Run({"export", "--format", c.format, "--out", folder.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(FilesIn(folder),
              (std::vector<std::string>{"invoice-1.xml", "invoice-2.xml", "invoice-3.xml", "invoice-4.xml"}));
    for (int n = 1; n <= 4; ++n) {
      const XmlDocument doc = XmlDocument::FromFile((folder / ("invoice-" + std::to_string(n) + ".xml")).string());
      EXPECT_THAT(doc.SchemaErrors(SchemaPath(c.schema)), ::testing::IsEmpty()) << n;
      EXPECT_EQ(doc.Values(c.number_path), std::vector<std::string>{std::to_string(n)});
      EXPECT_EQ(doc.Values(c.type_path), std::vector<std::string>{"380"});
    }
  }
  // XRechnung's own identifiers, not plain UBL's.
  const XmlDocument x = XmlDocument::FromFile((out_ / "xrechnung" / "invoice-4.xml").string());
  EXPECT_THAT(x.Values("/*/cbc:CustomizationID")[0], HasSubstr("xrechnung"));
  EXPECT_EQ(x.Values("/*/cbc:BuyerReference"),
            std::vector<std::string>{Text("SELECT buyer_reference FROM Customer WHERE cust_id = 'C400'")});
}

TEST_F(ExportTest, FacturXCarriesTheCiiOfTheSameInvoice) {
  const RunResult r = Export({"--format", "facturx", "--json", "2", "4"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const json doc = json::parse(r.out);
  ASSERT_EQ(doc["files"].size(), 2u) << r.out;
  EXPECT_EQ(doc["format"], "facturx");
  for (const json& f : doc["files"]) {
    const std::string pdf = f["file"];
    EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-") << pdf;
    const std::string cii = OutputOf("qpdf --show-attachment=factur-x.xml '" + pdf + "' 2>/dev/null");
    if (cii.empty()) GTEST_SKIP() << "qpdf is not installed";
    const XmlDocument attached(cii);
    EXPECT_THAT(attached.SchemaErrors(SchemaPath(kCiiSchema)), ::testing::IsEmpty());
    EXPECT_EQ(attached.Values("/*/rsm:ExchangedDocument/ram:ID"),
              std::vector<std::string>{std::to_string(f["invoice_no"].get<int>())});
  }
  // The scratch PDFs the printing left stay out of the folder.
  EXPECT_EQ(FilesIn(out_), (std::vector<std::string>{"invoice-2.pdf", "invoice-4.pdf"}));
}

// A credit note has no print of its own: its pages are drawn from the same
// document its attachment carries.
TEST_F(ExportTest, FacturXOfACreditNoteDrawsItAndCarriesItsCii) {
  const RunResult credited = Run({"credit", "--yes", "3"});
  ASSERT_EQ(credited.exit_code, 0) << credited.err;
  const RunResult r = Export({"--credit", "--format", "facturx", "--json", "1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const json doc = json::parse(r.out);
  ASSERT_EQ(doc["files"].size(), 1u) << r.out;
  const std::string pdf = doc["files"][0]["file"];
  EXPECT_EQ(fs::path(pdf).filename(), "credit-note-1.pdf");
  const std::string cii = OutputOf("qpdf --show-attachment=factur-x.xml '" + pdf + "' 2>/dev/null");
  if (cii.empty()) GTEST_SKIP() << "qpdf is not installed";
  const XmlDocument attached(cii);
  EXPECT_THAT(attached.SchemaErrors(SchemaPath(kCiiSchema)), ::testing::IsEmpty());
  EXPECT_EQ(attached.Values("/*/rsm:ExchangedDocument/ram:TypeCode"), std::vector<std::string>{"381"});
  EXPECT_EQ(attached.Values("//ram:InvoiceReferencedDocument/ram:IssuerAssignedID"), std::vector<std::string>{"3"});
  const std::string text = OutputOf("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  if (text.empty()) GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_THAT(text, HasSubstr("Credit note 1"));
  EXPECT_THAT(text, HasSubstr("Cancels invoice 3"));
  // The refund the pages state is the amount the XML makes due.
  const std::string due = attached.Values("//ram:DuePayableAmount").at(0);
  EXPECT_THAT(text, ::testing::ContainsRegex("Refund due +" + due + " "));
  EXPECT_EQ(FilesIn(out_), (std::vector<std::string>{"credit-note-1.pdf"}));
}

// Each refusal: the data broken, the invoice it concerns, and what the
// message must name (the business term and our field).
struct Refusal {
  const char* name;
  const char* sql;
  const char* term;
  const char* field;
};

class ExportRefusal : public ExportTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ExportRefusal, NamesTheTermAndWritesAndMarksNothing) {
  const Refusal& c = GetParam();
  Exec(c.sql);
  const RunResult r = Export({"--mark", "--json"});
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr(c.term));
  EXPECT_THAT(r.err, HasSubstr(c.field));
  const json doc = json::parse(r.out);
  EXPECT_EQ(doc["ok"], false);
  bool named = false;
  for (const json& b : doc["breaches"]) {
    named |= Contains(b["terms"].get<std::string>(), c.term) && Contains(b["field"].get<std::string>(), c.field);
  }
  EXPECT_TRUE(named) << r.out;
  EXPECT_THAT(FilesIn(out_), ::testing::IsEmpty()) << "the valid invoices are not written either";
  EXPECT_EQ(Marked(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    MissingData, ExportRefusal,
    ::testing::Values(
        Refusal{"SellerVatId", "UPDATE Company_Settings SET setting_value = '' WHERE setting_name = 'seller_vat_id'",
                "BT-31", "seller_vat_id"},
        Refusal{"BuyerCountry", "UPDATE Customer SET country = '' WHERE cust_id = 'C400'", "BT-55", "country"},
        Refusal{"ItemUnit", "UPDATE Item SET unit_code = ''", "BT-130", "unit_code"},
        Refusal{"ExemptCategoryWithoutReason", "UPDATE Customer SET vat_category = 'E' WHERE cust_id = 'C400'",
                "BT-120", "vat_exemption_reason"},
        Refusal{"IntraCommunityCategoryWithoutBuyerVatId", "UPDATE Customer SET vat_id = '' WHERE cust_id = 'C200'",
                "BT-48", "vat_id"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExportTest, MarkMarksEveryInvoiceAndEmptiesTheSelection) {
  const RunResult r = Export({"--mark"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("4 invoices exported as ubl, marked exported on "));
  EXPECT_EQ(FilesIn(out_).size(), 4u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE export_flag = 0 AND export_date IS NOT NULL"), 4);
  // The day reads as list's Exported column reads it; ISO only in JSON.
  std::smatch day;
  ASSERT_TRUE(std::regex_search(r.out, day, std::regex(R"(marked exported on (\S+)\.\n)"))) << r.out;
  EXPECT_TRUE(std::regex_match(day[1].str(), std::regex(R"(\d{1,2}/\d{1,2}/\d{4})"))) << day[1];
  EXPECT_THAT(Run({"list"}).out, HasSubstr("  " + day[1].str() + "\n"));
  EXPECT_EQ(RunJson({"list", "--export"})["count"], 0);
  const RunResult again = Export({});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.out, "No invoices to export.\n");
}

TEST_F(ExportTest, OneFailingMarkLeavesNothingMarkedAndNoFile) {
  // The books refuse the header update of invoice 3, after 1 and 2 were marked.
  if (tarvik::testing::TestPostgresServer().empty()) {
    Exec("CREATE TRIGGER hold_3 BEFORE UPDATE ON Invoice_Header WHEN OLD.invoice_no = 3 "
         "BEGIN SELECT RAISE(ABORT, 'invoice 3 is held'); END");
  } else {
    Exec("CREATE FUNCTION hold_3() RETURNS trigger LANGUAGE plpgsql AS "
         "'BEGIN RAISE EXCEPTION ''invoice 3 is held''; END'");
    Exec("CREATE TRIGGER hold_3 BEFORE UPDATE ON Invoice_Header FOR EACH ROW "
         "WHEN (OLD.invoice_no = 3) EXECUTE FUNCTION hold_3()");
  }
  const RunResult r = Export({"--mark", "--format", "cii"});
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr("invoice 3 is held"));
  EXPECT_THAT(FilesIn(out_), ::testing::IsEmpty());
  EXPECT_EQ(Marked(), 0);
  EXPECT_EQ(RunJson({"list", "--export"})["count"], 4);
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWithForce) {
  std::ofstream(out_ / "invoice-2.xml") << "earlier";
  const RunResult refused = Export({"--mark", "1", "2"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_THAT(refused.err, HasSubstr("already exists"));
  EXPECT_EQ(FilesIn(out_), std::vector<std::string>{"invoice-2.xml"}) << "nothing of the run stays";
  EXPECT_EQ(ReadFile((out_ / "invoice-2.xml").string()), "earlier");
  EXPECT_EQ(Marked(), 0);

  const RunResult forced = Export({"--force", "1", "2"});
  ASSERT_EQ(forced.exit_code, 0) << forced.err;
  EXPECT_EQ(FilesIn(out_), (std::vector<std::string>{"invoice-1.xml", "invoice-2.xml"}));
  EXPECT_THAT(ReadFile((out_ / "invoice-2.xml").string()), HasSubstr("<cbc:ID>2</cbc:ID>"));
}

TEST_F(ExportTest, TheCommandLineIsCheckedBeforeAnythingIsOpened) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* err;
  };
  const Case cases[] = {
      {{"--format", "pdf"}, 2, "pdf"},
      {{"abc"}, 2, "invoice number"},
      {{"99"}, 1, "99"},
  };
  for (const Case& c : cases) {
    const RunResult r = Export(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[0] << "\n" << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.err)) << c.args[0];
  }
  EXPECT_THAT(FilesIn(out_), ::testing::IsEmpty());
  const RunResult missing = Run({"export", "--out", dir().file("no-such-folder"), "1"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("no such folder"));
}

}  // namespace
}  // namespace tarvik::host_test
