// `tarvik demo` run as the real program on a fresh clone's terms (its own
// registry, no terminal, no answers), its database checked afterwards; and
// the progress line the long jobs draw, in process.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ScalarNumber;
using testing::ScalarText;

class DemoCommandTest : public ::testing::Test, public TarvikTest {
 protected:
  // The registry named by the test environment does not exist.
  json RunDemo(const std::string& folder) const {
    RunResult r = RunCli({"demo", "--dir", folder, "--json"});
    EXPECT_EQ(r.exit_code, 0) << r.err << r.out;
    return json::parse(r.out);
  }
  double Number(const std::string& db, const std::string& sql) const {
    return ScalarNumber(*data::OpenConnection(db), sql);
  }
};

TEST_F(DemoCommandTest, TheMainJobInvoicesEveryPackedOrderAndBackOrdersTheRest) {
  const std::string folder = dir().file("run");
  json doc = RunDemo(folder);
  ASSERT_EQ(doc["ok"], true) << doc.dump(2);
  const std::string db = folder + "/demo.db";
  ASSERT_TRUE(fs::exists(db));

  // Every packed line is invoiced; every invoice has its lines.
  EXPECT_EQ(Number(db, "SELECT SUM(quantity_packed) FROM Order_Detail"), 0);
  const double headers = Number(db, "SELECT COUNT(*) FROM Invoice_Header");
  EXPECT_EQ(doc["summary"]["invoices_made"], headers);
  EXPECT_EQ(headers, 13);
  EXPECT_EQ(Number(db, "SELECT COUNT(*) FROM Invoice_Header h WHERE NOT EXISTS (SELECT 1 FROM "
                       "Invoice_Detail d WHERE d.invoice_no = h.invoice_no)"),
            0);
  // Each grouping was used.
  for (int by : {0, 1, 2, 3}) {
    EXPECT_GT(Number(db, "SELECT COUNT(*) FROM Invoice_Header WHERE invoice_by = " +
                             std::to_string(by)),
              0)
        << by;
  }

  // Stock relieved equals the ledger equals the invoiced quantity.
  const double invoiced = Number(db, "SELECT SUM(quantity) FROM Invoice_Detail");
  EXPECT_GT(invoiced, 0);
  EXPECT_DOUBLE_EQ(Number(db, "SELECT SUM(opening_on_hand - on_hand) FROM Inventory"), invoiced);
  EXPECT_DOUBLE_EQ(-Number(db, "SELECT SUM(quantity) FROM Inventory_Ledger"), invoiced);
  EXPECT_DOUBLE_EQ(doc["summary"]["stock_relieved_by_ledger"].get<double>(), invoiced);
  EXPECT_DOUBLE_EQ(doc["summary"]["on_hand_drop"].get<double>(), invoiced);

  // No open line is left without a back order, and each back order is linked.
  EXPECT_EQ(Number(db, "SELECT COUNT(*) FROM Order_Detail d WHERE d.order_key IN (SELECT "
                       "order_key FROM Invoice_Detail) AND d.quantity_invoiced < "
                       "d.quantity_ordered AND d.line_status <> 5"),
            0);
  const double back_orders = Number(
      db, "SELECT COUNT(*) FROM Order_Header WHERE order_comment LIKE 'System Generated Backorder.%'");
  EXPECT_EQ(back_orders, 8);
  EXPECT_EQ(doc["summary"]["back_orders_created"], back_orders);
  EXPECT_EQ(Number(db, "SELECT COUNT(*) FROM Order_Header o WHERE o.order_comment LIKE 'System%' "
                       "AND NOT EXISTS (SELECT 1 FROM Order_Detail d WHERE d.backorder_key = "
                       "o.order_key)"),
            0);
  EXPECT_DOUBLE_EQ(
      Number(db, "SELECT SUM(d.quantity_ordered) FROM Order_Detail d JOIN Order_Header o ON "
                 "o.order_key = d.order_key WHERE o.order_comment LIKE 'System%'"),
      Number(db, "SELECT SUM(quantity_ordered - quantity_invoiced) FROM Order_Detail WHERE "
                 "line_status = 5"));

  // The partial-picking run was refused and wrote nothing; the option is off again.
  bool refused_seen = false;
  for (const auto& step : doc["steps"]) {
    if (!step["expected_refusal"].get<bool>()) continue;
    refused_seen = true;
    EXPECT_EQ(step["saved"], false);
    EXPECT_EQ(step["message"], "Items are partially picked.");
    EXPECT_TRUE(step["invoices"].empty());
  }
  EXPECT_TRUE(refused_seen);
  EXPECT_EQ(ScalarText(*data::OpenConnection(db), "SELECT option_value FROM System WHERE "
                                                  "option_name = 'Invoice No Partial Picking'"),
            "0");

  // With no usable registration the classes were registered in the folder.
  EXPECT_EQ(doc["registered_in_folder"], true);
  const std::string registry = ReadFile(folder + "/classes.json");
  EXPECT_TRUE(Contains(registry, "TarvikInvoice.BackOrder")) << registry;
  EXPECT_TRUE(Contains(registry, "libtarvikinvoice.so")) << registry;
  EXPECT_FALSE(fs::exists(this->registry())) << "the test's own registry was left alone";

  // PDFs only when this build has the print command; then one per invoice.
  if (doc["summary"]["print_available"].get<bool>()) {
    ASSERT_EQ(doc["summary"]["pdfs_written"].size(), 13u);
    for (const auto& name : doc["summary"]["pdfs_written"]) {
      EXPECT_EQ(ReadFile(folder + "/" + name.get<std::string>()).substr(0, 5), "%PDF-") << name;
    }
  } else {
    EXPECT_TRUE(doc["summary"]["pdfs_written"].empty());
  }

  // Every invoice in every e-invoice format, each format in a folder of its own.
  const std::vector<std::pair<std::string, std::string>> formats = {
      {"ubl", ".xml"}, {"cii", ".xml"}, {"xrechnung", ".xml"}, {"facturx", ".pdf"}};
  ASSERT_EQ(doc["summary"]["einvoices"].size(), formats.size()) << doc["summary"].dump();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    const json& e = doc["summary"]["einvoices"][i];
    EXPECT_EQ(e["format"], formats[i].first);
    EXPECT_EQ(e["ok"], true) << doc["problems"].dump();
    ASSERT_EQ(e["files"].size(), 13u) << e.dump();
    EXPECT_EQ(e["files"][0], "invoice-1" + formats[i].second);
    EXPECT_TRUE(fs::exists(folder + "/" + formats[i].first + "/invoice-13" + formats[i].second));
  }
}

TEST_F(DemoCommandTest, TheNarrationEndsWithTheSummary) {
  RunResult r = RunCli({"demo", "--dir", "narrated"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  for (const char* part : {"One invoice per order", "Items are partially picked.",
                           "Backorder Incomplete Line Items", "Summary", "Invoices made:",
                           "13 (1 to 13)", "Back orders created:", "5001"}) {
    EXPECT_TRUE(Contains(r.out, part)) << part << "\n" << r.out;
  }
  EXPECT_LT(r.out.find("One invoice per order"), r.out.find("Summary"));
}

// The user's registry may name another build's library; the demo registers
// its own in its folder after the command started, and its boxes must still
// reach the component it drives.
TEST_F(DemoCommandTest, AUserRegistryNamingAnotherLibraryLeavesTheBoxesToTheDemo) {
  ASSERT_EQ(RunCli({"register"}).exit_code, 0);
  const fs::path build_library = fs::path(TarvikPath()).parent_path() / "libtarvikinvoice.so";
  const fs::path other = fs::path(dir().file("other-build")) / "libtarvikinvoice.so";
  fs::create_directories(other.parent_path());
  fs::copy_file(build_library, other);
  std::string text = ReadFile(registry());
  const std::string from = fs::weakly_canonical(build_library).string();
  ASSERT_TRUE(Contains(text, from)) << text;
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
    text.replace(at, from.size(), other.string());
  }
  std::ofstream(registry(), std::ios::trunc) << text;

  RunResult r = RunCli({"demo", "--dir", "beside-another-build"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Backorder Incomplete Line Items")) << r.out;
  EXPECT_TRUE(Contains(r.out, "5001")) << r.out;
}

TEST_F(DemoCommandTest, AnUsedFolderIsRefusedAndLeftAsItWas) {
  const std::string folder = dir().file("used");
  RunDemo(folder);
  const std::string before = ReadFile(folder + "/demo.db");
  RunResult again = RunCli({"demo", "--dir", folder});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_TRUE(Contains(again.err, "refusing to overwrite")) << again.err;
  EXPECT_EQ(ReadFile(folder + "/demo.db"), before);

  fs::create_directories(dir().file("other"));
  std::ofstream(dir().file("other/notes.txt")) << "keep";
  EXPECT_EQ(RunCli({"demo", "--dir", dir().file("other")}).exit_code, 1);
  EXPECT_EQ(ReadFile(dir().file("other/notes.txt")), "keep");
  EXPECT_FALSE(fs::exists(dir().file("other/demo.db")));
}

TEST_F(DemoCommandTest, WithoutAFolderEachRunGetsANewOneUnderDemoOutput) {
  for (int run = 0; run < 2; ++run) {
    RunResult r = RunCli({"demo", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  std::vector<fs::path> runs;
  for (const auto& e : fs::directory_iterator(dir().path() / "demo-output")) runs.push_back(e.path());
  ASSERT_EQ(runs.size(), 2u);
  for (const auto& p : runs) EXPECT_TRUE(fs::exists(p / "demo.db")) << p;
}

// A folder others may write to cannot hold the registry the demo loads its
// classes from: another user could put their own library in it.
TEST_F(DemoCommandTest, AFolderOthersCanWriteIsRefusedBeforeAnythingIsLoaded) {
  const std::string folder = dir().file("shared");
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::all);
  const RunResult r = RunCli({"demo", "--dir", folder});
  EXPECT_NE(r.exit_code, 0) << r.out;
  EXPECT_NE(r.err.find("writable by group or others"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(folder), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(folder + "/classes.json"));
}

TEST_F(DemoCommandTest, WhatItCreatesIsClosedToOthersWhateverTheUmask) {
  const std::string folder = dir().file("modes/run");
  const mode_t old = ::umask(0);
  const RunResult r = RunCli({"demo", "--dir", folder, "--json"});
  ::umask(old);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto mode = [](const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
  };
  EXPECT_EQ(mode(dir().file("modes")), 0755u);
  EXPECT_EQ(mode(folder), 0755u);
  EXPECT_EQ(mode(folder + "/demo.db"), 0600u);
  EXPECT_EQ(mode(folder + "/classes.json"), 0644u);
  int pdfs = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".pdf") continue;
    ++pdfs;
    EXPECT_EQ(mode(entry.path().string()), 0644u) << entry.path();
  }
  EXPECT_GT(pdfs, 0);
}

}  // namespace
}  // namespace tarvik::host_test
