// The commands of the program: init, info, register / unregister, and the
// top-level options.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

class CliTest : public ::testing::Test, public TarvikTest {};

TEST_F(CliTest, InitOnACurrentDatabaseChangesNothing) {
  if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "compares an SQLite file on disk byte for byte";
  std::string db = InitDatabase("shop.db", false);
  ASSERT_TRUE(std::filesystem::exists(db));
  const std::string before = ReadFile(db);

  for (const std::vector<std::string>& args : {std::vector<std::string>{"init", db}, {"--db", db, "init"}}) {
    RunResult again = RunCli(args);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_NE(again.out.find("nothing to do"), std::string::npos) << again.out;
  }
  RunResult demo = RunCli({"init", "--demo", db});
  EXPECT_EQ(demo.exit_code, 1);
  EXPECT_NE(demo.err.find("already exists"), std::string::npos) << demo.err;
  EXPECT_EQ(ReadFile(db), before);

  // Not even a file that is no database at all is taken over.
  std::string notes = dir().file("notes.db");
  std::ofstream(notes) << "keep me";
  EXPECT_EQ(RunCli({"init", notes}).exit_code, 3) << "a file that is no database of ours is unavailable";
  EXPECT_EQ(ReadFile(notes), "keep me");
}

TEST_F(CliTest, SettingsAreListedShownSetAndCheckedBeforeTheyAreStored) {
  const std::string db = InitDatabase("shop.db", false);
  RunResult set = RunCli({"--db", db, "settings", "currency", "EUR"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  RunResult bad = RunCli({"--db", db, "settings", "currency", "euro"});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("ISO 4217"), std::string::npos) << bad.err;
  RunResult unknown = RunCli({"--db", db, "settings", "colour"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.err.find("no setting 'colour'"), std::string::npos) << unknown.err;
  RunResult shown = RunCli({"--db", db, "settings", "currency"});
  EXPECT_EQ(shown.out, "EUR\n");
  RunResult all = RunCli({"--db", db, "settings"});
  EXPECT_EQ(all.exit_code, 0) << all.err;
  for (const char* name : {"seller_legal_name", "seller_vat_id", "bank_iban", "payment_due_days", "date_format"}) {
    EXPECT_NE(all.out.find(name), std::string::npos) << name;
  }
  // init carried the options' company name over.
  EXPECT_EQ(RunCli({"--db", db, "settings", "seller_legal_name"}).out, "Tarvik Supply Co.\n");
  RunResult removed = RunCli({"--db", db, "settings", "currency", ""});
  EXPECT_EQ(removed.exit_code, 0) << removed.err;
  EXPECT_EQ(RunCli({"--db", db, "settings", "currency"}).out, "");
}

TEST_F(CliTest, InitTakesTheDatabaseFromDbWhenNoArgumentIsGiven) {
  RunResult r = RunCli({"--db", "via-option.db", "init"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir().file("via-option.db")));
  // The default name, in the working folder.
  RunResult d = RunCli({"init"});
  EXPECT_EQ(d.exit_code, 0) << d.err;
  EXPECT_TRUE(std::filesystem::exists(dir().file("tarvik.db")));
}

TEST_F(CliTest, InfoOnAMissingDatabaseFailsWithoutCreatingIt) {
  std::string db = dir().file("absent.db");
  RunResult r = RunCli({"info", "--db", db});
  EXPECT_EQ(r.exit_code, 3) << "database unavailable";
  EXPECT_NE(r.err.find("no database"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(db));
}

TEST_F(CliTest, InfoAgreesWithTheDatabase) {
  std::string db = InitDatabase("demo.db", true);
  RunResult r = RunCli({"info", "--db", db, "--json"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  json info = json::parse(r.out);
  ASSERT_TRUE(info["tables"].is_object());
  EXPECT_FALSE(info.contains("errors")) << info["errors"].dump();

  std::vector<std::string> lines = {R"({"op":"open","db":")" + db + R"(","as":"c"})"};
  std::vector<std::string> tables;
  for (auto& [name, count] : info["tables"].items()) {
    tables.push_back(name);
    lines.push_back(R"({"op":"sql","conn":"c","query":"SELECT COUNT(*) FROM )" + name + R"("})");
  }
  for (const char* t : {"Order_Header", "Order_Detail", "Inventory", "Customer", "System",
                        "QueryDefs", "Invoice_Header"}) {
    EXPECT_TRUE(info["tables"].contains(t)) << t;
  }
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), tables.size() + 1);
  for (std::size_t i = 0; i < tables.size(); ++i) {
    EXPECT_EQ(info["tables"][tables[i]], replies[1 + i]["rows"][0][0]) << tables[i];
  }
  EXPECT_GT(info["tables"]["Order_Header"].get<int>(), 0) << "the demo data has orders";
  EXPECT_EQ(info["orders"].size(), info["tables"]["Order_Header"].get<std::size_t>());
  EXPECT_EQ(info["stock"].size(), info["tables"]["Inventory"].get<std::size_t>());
  EXPECT_EQ(info["options"].size(), info["tables"]["System"].get<std::size_t>());
  ASSERT_FALSE(info["orders"].empty());
  EXPECT_TRUE(info["orders"][0].contains("order_status")) << info["orders"][0].dump();

  // The readable form names the same sections.
  RunResult text = RunCli({"--db", db, "info"});
  ASSERT_EQ(text.exit_code, 0) << text.err;
  for (const char* heading : {"Tables", "Orders", "Invoices", "Stock", "Options"}) {
    EXPECT_NE(text.out.find(std::string("\n") + heading + "\n"), std::string::npos) << heading;
  }
}

TEST_F(CliTest, RegisterAndUnregisterEditTheClassRegistry) {
  RunResult reg = RunCli({"register"});
  ASSERT_EQ(reg.exit_code, 0) << reg.err;
  EXPECT_NE(ReadFile(registry()).find("TarvikInvoice.Invoice"), std::string::npos);
  EXPECT_NE(ReadFile(registry()).find("libtarvikinvoice.so"), std::string::npos);

  RunResult unreg = RunCli({"unregister"});
  ASSERT_EQ(unreg.exit_code, 0) << unreg.err;
  EXPECT_EQ(ReadFile(registry()).find("TarvikInvoice.Invoice"), std::string::npos);

  // Creating an object registers the library again, without a word.
  RunResult create = RunCli({"script"}, R"({"op":"create","progid":"TarvikInvoice.Invoice","as":"i"})"
                                     "\n");
  ASSERT_EQ(create.exit_code, 0);
  EXPECT_EQ(JsonLines(create.out).at(0)["ok"], true) << create.out;
  EXPECT_EQ(create.err, "");
  EXPECT_NE(ReadFile(registry()).find("TarvikInvoice.Invoice"), std::string::npos);
}

TEST_F(CliTest, RegistrationNamingAVanishedLibraryIsRepaired) {
  ASSERT_EQ(RunCli({"register"}).exit_code, 0);
  std::string text = ReadFile(registry());
  const std::string lib = "libtarvikinvoice.so";
  auto at = text.find(lib);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, lib.size(), "libgone.so");
  std::ofstream(registry()) << text;

  RunResult create = RunCli({"script"}, R"({"op":"create","progid":"TarvikInvoice.Invoice","as":"i"})"
                                     "\n");
  EXPECT_EQ(JsonLines(create.out).at(0)["ok"], true) << create.out;
  EXPECT_NE(ReadFile(registry()).find(lib), std::string::npos);
}

// A registry others could write is not used, and the command says why
// rather than only that the class is not registered.
TEST_F(CliTest, ARegistryInAFolderOthersCanWriteIsRefusedWithTheReason) {
  const std::string db = InitDatabase("books.db", true);
  const std::string shared = dir().file("shared");
  std::filesystem::create_directory(shared);
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  const RunResult r = RunTarvik({"--db", db, "list"}, "", shared + "/classes.json",
                                dir().path().string());
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_NE(r.err.find("folder " + shared + " is writable by group or others"), std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(shared + "/classes.json"));
}

TEST_F(CliTest, BadAnswersAreRefusedBeforeAnythingRuns) {
  for (const char* answers : {"[6,", "{\"a\":1}", "[1.5]"}) {
    RunResult r = RunCli({"--answers", answers, "script"},
                      R"({"op":"collection","as":"f"})" "\n");
    EXPECT_EQ(r.exit_code, 1) << answers;
    EXPECT_NE(r.err.find("answer"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliTest, UnknownCommandsAndOptionsAreUsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"frobnicate"}, {"info", "--no-such-option"}}) {
    RunResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err.rfind("tarvik: ", 0), 0u) << r.err;
  }
}

}  // namespace
}  // namespace tarvik::host_test
