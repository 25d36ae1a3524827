// `tarvik print` and printing through `tarvik script`, on a demo database
// with invoice 1 made from order 1001.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

using namespace line;

class PrintCommandTest : public ::testing::Test, public TarvikTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("demo.db", true);
    const RunResult made = RunCli({"--db", db_, "create", "--by", "order", "--from", "1001",
                                   "--to", "1001", "--invoice-no", "1"});
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
  }

  // Opens, creates, connects, hands a formula collection naming `pdf` and
  // the shipped layout; the lines that follow run after these.
  std::vector<std::string> Prelude(const std::string& pdf) const {
    std::vector<std::string> lines = OpenAndConnect(db_, {{"i", "TarvikInvoice.Invoice"}});
    lines.insert(lines.end(), {
            R"({"op":"collection","as":"f"})",
            Call("Add", {pdf, "OutputFile"}, "f"),
            R"({"op":"set","obj":"i","member":"ReportFormula","ref":"f"})",
            Let("InvoiceNo", "1"),
            Let("InvoiceReport", "invoice.layout"),
            Let("ReportPath", TARVIK_BUILD_DIR_DEFAULT "/reports"),
            Let("ShowMessageBox", false)});
    return lines;
  }

  // Replies (events left out) of the lines after the prelude; the prelude must succeed.
  std::vector<json> Run(const std::string& pdf, const std::vector<std::string>& lines) const {
    return ScriptAfter(Prelude(pdf), lines);
  }

  std::string db_;
};

TEST_F(PrintCommandTest, PrintWritesTheNamedPdfAndSaysWhere) {
  const std::string pdf = dir().file("one.pdf");
  const RunResult r = RunCli({"--db", db_, "print", "1", "--out", pdf});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, pdf + "\n");
  EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
}

TEST_F(PrintCommandTest, PrintDefaultsToInvoiceNumberInTheCurrentFolder) {
  const RunResult r = RunCli({"--db", db_, "print", "0001"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(fs::path(r.out.substr(0, r.out.size() - 1)).filename(), "invoice-1.pdf");
  EXPECT_TRUE(fs::exists(dir().file("invoice-1.pdf")));
}

TEST_F(PrintCommandTest, GenerateOnlyWritesNoFile) {
  const std::string pdf = dir().file("none.pdf");
  const RunResult r = RunCli({"--db", db_, "print", "1", "--out", pdf, "--generate-only"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(PrintCommandTest, AnUnknownInvoiceFailsWithTheMessage) {
  const std::string pdf = dir().file("x.pdf");
  const RunResult r = RunCli({"--db", db_, "print", "77", "--out", pdf});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_THAT(r.err, HasSubstr("tarvik: "));
  EXPECT_GT(r.err.size(), std::string("tarvik: \n").size());
  EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(PrintCommandTest, ABadNumberIsRefusedBeforeTheDatabaseIsOpened) {
  const RunResult r = RunCli({"--db", dir().file("absent.db"), "print", "abc"});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_FALSE(fs::exists(dir().file("absent.db")));
}

TEST_F(PrintCommandTest, ASecondPrintWithTheSameFormulasHitsTheDuplicateTitle) {
  const std::string pdf = dir().file("twice.pdf");
  auto r = Run(pdf, {Call("PrintInvoice"), Call("PrintInvoice"),
                     json{{"op", "get"}, {"obj", "i"}, {"member", "InfoMsg"}}.dump()});
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0]["value"], -1) << r[0].dump();
  EXPECT_TRUE(fs::exists(pdf));
  EXPECT_EQ(r[1]["value"], 0) << r[1].dump();
  EXPECT_THAT(r[2]["value"].get<std::string>(),
              HasSubstr("This key is already associated with an element of this collection"));
}

TEST_F(PrintCommandTest, GenerateOnlyThroughAScriptFillsTheReportTables) {
  const std::string pdf = dir().file("tables.pdf");
  auto r = Run(pdf, {Let("Generate_Only", true), Call("PrintInvoice"),
                     json{{"op", "sql"}, {"conn", "c"},
                          {"query", "SELECT (SELECT count(*) FROM RPT_Invoice_Hdr), "
                                    "(SELECT count(*) FROM RPT_Invoice_Det), "
                                    "(SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 1)"}}
                         .dump()});
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[1]["value"], -1) << r[1].dump();
  const json row = r[2]["rows"][0];
  EXPECT_EQ(row[0], 1) << r[2].dump();
  EXPECT_GT(row[2].get<int>(), 0);
  EXPECT_EQ(row[1], row[2]);
  EXPECT_FALSE(fs::exists(pdf));
}

// --out names what the PDF replaces: nothing unless --force, and never the
// database being printed from, whatever name it goes by.
struct OutCase {
  const char* name;
  const char* out;  // in the test folder; "<db>" is the database
  bool force;
  bool written;
  const char* reason;
};

class PrintOut : public PrintCommandTest, public ::testing::WithParamInterface<OutCase> {};

TEST_P(PrintOut, ReplacesOnlyWhatItMay) {
  if (!tarvik::testing::TestPostgresServer().empty()) GTEST_SKIP() << "the database is an SQLite file here";
  const OutCase& c = GetParam();
  std::ofstream(dir().file("earlier.pdf")) << "earlier";
  const std::string out = std::string(c.out) == "<db>" ? db_ : dir().file(c.out);
  const std::string before = out == db_ ? std::string() : ReadFile(out);
  std::vector<std::string> args = {"--db", db_, "print", "1", "--out", out};
  if (c.force) args.push_back("--force");
  const RunResult r = RunCli(args);
  if (c.written) {
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(ReadFile(out).substr(0, 5), "%PDF-");
    return;
  }
  EXPECT_NE(r.exit_code, 0) << r.out;
  EXPECT_THAT(r.err, HasSubstr(c.reason));
  if (out == db_) {
    // Printing fills the report tables, so the books change, but stay books.
    EXPECT_EQ(ReadFile(out).rfind("SQLite format 3", 0), 0u);
  } else {
    EXPECT_EQ(ReadFile(out), before);
  }
  const RunResult info = RunCli({"--db", db_, "info"});
  EXPECT_EQ(info.exit_code, 0) << info.err;
}

INSTANTIATE_TEST_SUITE_P(
    Targets, PrintOut,
    ::testing::Values(OutCase{"New", "new.pdf", false, true, ""},
                      OutCase{"Existing", "earlier.pdf", false, false, "already exists"},
                      OutCase{"ExistingForced", "earlier.pdf", true, true, ""},
                      OutCase{"Database", "<db>", false, false, "already exists"},
                      OutCase{"DatabaseForced", "<db>", true, false, "database"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::host_test
