// What the books hold reaches them and comes back as it was meant: UTF-8
// whatever the session asked for, invalid bytes written by another program
// shown replaced, a NUL kept exactly or refused, never cut off.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/host_connection.h"
#include "platform/limits.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;
using namespace line;

class StoredTextTest : public DatabaseTest {
 protected:
  void SetUp() override { db_ = InitDatabase("t.db", false); }
  bool Postgres() const { return db_.rfind("postgresql://", 0) == 0; }
  // Adds header `number` with `bill_to` through the component on `db`.
  json AddHeader(const std::string& db, int number, const std::string& bill_to) const {
    std::vector<std::string> lines = OpenAndConnect(db, {{"i", "TarvikInvoice.Invoice"}});
    lines.insert(lines.end(), {Let("InvoiceNo", std::to_string(number)), Let("BillTo", bill_to), Call("AddHeader")});
    return Script(lines).back();
  }
};

// Under any client encoding the text is stored as the UTF-8 it was given.
TEST_F(StoredTextTest, PostgresSessionsSpeakUtf8WhateverTheUriAsks) {
  if (!Postgres()) GTEST_SKIP() << "a PostgreSQL setting";
  const std::string text = "M\xC3\xBCller \xE2\x82\xAC";
  const std::string latin1 = db_ + (db_.find('?') == std::string::npos ? "?" : "&") + "client_encoding=LATIN1";
  ASSERT_EQ(AddHeader(latin1, 900, text)["ok"], true);
  EXPECT_EQ(Text("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 900"), text);
  RunResult shown = RunCli({"show", "900", "--json", "--db", latin1});
  ASSERT_EQ(shown.exit_code, 0) << shown.err;
  EXPECT_EQ(json::parse(shown.out)["invoice"]["bill_to"], text) << shown.out;
}

// SQLite keeps the bytes another program wrote; every command still shows them.
TEST_F(StoredTextTest, InvalidUtf8InTheBooksIsShownReplaced) {
  if (Postgres()) GTEST_SKIP() << "a UTF8 server database cannot hold invalid UTF-8";
  Db()->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by, bill_to) VALUES (901, 0, CAST(X'4DFC6C6C6572' AS TEXT))");
  const std::string replaced = "M\xEF\xBF\xBDller";
  RunResult info_json = Run({"info", "--json"});
  ASSERT_EQ(info_json.exit_code, 0) << info_json.err;
  EXPECT_NE(json::parse(info_json.out).dump().find(replaced), std::string::npos) << info_json.out;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"info"}, {"list"}, {"show", "901"}}) {
    RunResult r = Run(args);
    EXPECT_EQ(r.exit_code, 0) << args[0] << ": " << r.err;
    EXPECT_NE(r.out.find(replaced), std::string::npos) << args[0] << ": " << r.out;
    EXPECT_EQ(r.out.find('\xFC'), std::string::npos) << args[0];
  }
  auto reply = Script({json{{"op", "open"}, {"db", db_}, {"as", "c"}}.dump(),
                       Sql("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 901")});
  EXPECT_EQ(reply.back()["rows"], json::parse("[[\"" + replaced + "\"]]")) << reply.back().dump();
}

// A server database in SQL_ASCII keeps whatever bytes another program wrote
// and checks what it sends against the client's encoding: read as UTF-8, one
// such byte would fail the whole statement. Every command still shows it.
TEST_F(StoredTextTest, InvalidUtf8InAnSqlAsciiServerDatabaseIsShownReplaced) {
  if (!Postgres()) GTEST_SKIP() << "a PostgreSQL server encoding";
  const std::string name = testing::PostgresDatabaseName(db_);
  std::string ascii = db_;
  ascii.replace(ascii.find("/" + name) + 1, name.size(), name + "_ascii");
  data::OpenBackend(testing::TestPostgresServer())
      ->ExecuteScript("CREATE DATABASE \"" + name + "_ascii\" TEMPLATE template0 ENCODING 'SQL_ASCII' "
                      "LC_COLLATE 'C' LC_CTYPE 'C'");
  struct Dropped {
    std::string name;
    ~Dropped() {
      data::OpenBackend(testing::TestPostgresServer())
          ->ExecuteScript("DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)");
    }
  } dropped{name + "_ascii"};
  ASSERT_EQ(RunCli({"init", ascii}).exit_code, 0);
  data::OpenConnection(ascii)->ExecuteWith(
      "INSERT INTO Invoice_Header (invoice_no, invoice_by, bill_to) VALUES (901, 0, E'M\\xFCller')", {});
  const std::string replaced = "M\xEF\xBF\xBDller";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"info", "--json"}, {"info"}, {"list"},
                                                {"show", "901"}}) {
    std::vector<std::string> command = {"--db", ascii};
    command.insert(command.end(), args.begin(), args.end());
    const RunResult r = RunCli(command);
    EXPECT_EQ(r.exit_code, 0) << args[0] << ": " << r.err;
    EXPECT_NE(r.out.find(replaced), std::string::npos) << args[0] << ": " << r.out;
    EXPECT_EQ(r.out.find('\xFC'), std::string::npos) << args[0];
  }
  const std::string pdf = dir().file("901.pdf");
  RunResult printed = RunCli({"--db", ascii, "print", "901", "--out", pdf});
  EXPECT_EQ(printed.exit_code, 0) << printed.err;
  EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
  auto reply = Script({json{{"op", "open"}, {"db", ascii}, {"as", "c"}}.dump(),
                       Sql("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 901")});
  EXPECT_EQ(reply.back()["rows"], json::parse("[[\"" + replaced + "\"]]")) << reply.back().dump();
}

// SQLite stores a NUL and gives the whole text back; PostgreSQL text cannot
// hold one, and the statement is refused rather than cut short.
TEST_F(StoredTextTest, ATextWithNulIsKeptWholeOrRefused) {
  const std::string text("before\0after", 12);
  const json reply = AddHeader(db_, 902, text);
  if (Postgres()) {
    EXPECT_EQ(reply["ok"], false) << reply.dump();
    EXPECT_NE(reply.dump().find("NUL"), std::string::npos) << reply.dump();
    EXPECT_EQ(Number("SELECT count(*) FROM Invoice_Header WHERE invoice_no = 902"), 0);
    return;
  }
  ASSERT_EQ(reply["ok"], true) << reply.dump();
  EXPECT_EQ(Number("SELECT length(CAST(bill_to AS BLOB)) FROM Invoice_Header WHERE invoice_no = 902"), 12);
  RunResult shown = Run({"show", "902"});
  EXPECT_EQ(shown.exit_code, 0) << shown.err;
  EXPECT_NE(shown.out.find("before\\u0000after"), std::string::npos) << shown.out;
}

// A value past the text limit is refused with the command line, before the
// database is opened; one at the limit is taken.
TEST_F(StoredTextTest, CommandLineTextsLongerThanTheLimitAreRefused) {
  const std::string too_long(kMaxTextBytes + 1, 'x');
  for (const char* option : {"--bill-to", "--extra1", "--extra2"}) {
    for (const char* command : {"edit", "create"}) {
      std::vector<std::string> args = {command};
      if (std::string(command) == "edit") args.push_back("1");
      args.insert(args.end(), {option, too_long});
      RunResult r = Run(args);
      EXPECT_EQ(r.exit_code, 2) << command << " " << option << ": " << r.err.substr(0, 300);
      EXPECT_NE(r.err.find("at most 65536 bytes"), std::string::npos) << r.err.substr(0, 300);
      EXPECT_LT(r.err.size(), 2000u) << "the value was quoted back";
    }
  }
  ASSERT_EQ(AddHeader(db_, 903, "before")["ok"], true);
  RunResult at_limit = Run({"edit", "903", "--bill-to", std::string(kMaxTextBytes, 'y')});
  EXPECT_EQ(at_limit.exit_code, 0) << at_limit.err.substr(0, 300);
  EXPECT_EQ(Number("SELECT length(bill_to) FROM Invoice_Header WHERE invoice_no = 903"), kMaxTextBytes);
}

}  // namespace
}  // namespace tarvik::host_test
