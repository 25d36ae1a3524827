// The script driver's protocol, through the real program: replies in order,
// bad lines answered with errors without stopping the run, argument types,
// objects passed by name.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/limits.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

class ScriptDriverTest : public ::testing::Test, public TarvikTest {};

TEST_F(ScriptDriverTest, BadLinesGetErrorRepliesAndTheRunGoesOn) {
  struct Case {
    std::string line;
    std::string description_part;
  };
  const std::vector<Case> cases = {
      {"this is not json", "malformed JSON"},
      {"[1,2,3]", "JSON object"},
      {R"({"id":1})", "missing field \"op\""},
      {R"({"op":"frobnicate","id":"x"})", "unknown op \"frobnicate\""},
      {R"({"op":7})", "must be a text"},
      {R"({"op":"get","obj":"ghost","member":"Count"})", "unknown object \"ghost\""},
      {R"({"op":"create","progid":"TarvikInvoice.Invoice"})", "missing field \"as\""},
      {R"({"op":"call","obj":"f","member":"Add","args":"one"})", "must be a list"},
      {R"({"op":"call","obj":"f","member":"Add","args":[[1,2]]})", "no automation value"},
      {R"({"op":"call","obj":"f","member":"Add","args":[{"value":1,"vt":"XYZ"}]})", "unknown"},
      {R"({"op":"call","obj":"f","member":"Add","args":[{"ref":"ghost"}]})", "unknown object"},
      {R"({"op":"call","obj":"f","member":"Add","args":[{"nothing":1}]})", "needs"},
      {R"({"op":"let","obj":"f","member":"Count"})", "missing field \"value\""},
      {R"({"op":"set","obj":"f","member":"Item"})", "missing field \"ref\""},
      {R"({"op":"answers","queue":[{}]})", "answer 1"},
      {R"({"op":"answers","queue":5})", "list"},
      {R"({"op":"sql","conn":"f","query":"SELECT 1"})", "is not a connection"},
      {R"({"op":"release","obj":"ghost"})", "unknown object"},
  };
  std::vector<std::string> lines = {R"({"op":"collection","as":"f"})"};
  for (const auto& c : cases) lines.push_back(c.line);
  lines.push_back(R"({"op":"get","obj":"f","member":"Count","id":"last"})");

  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), cases.size() + 2);
  EXPECT_EQ(replies.front()["ok"], true);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const json& r = replies[i + 1];
    SCOPED_TRACE(cases[i].line);
    EXPECT_EQ(r["ok"], false);
    EXPECT_EQ(r["error"]["number"], 5);
    EXPECT_EQ(r["error"]["hresult"], "0x800A0005");
    EXPECT_NE(r["error"]["description"].get<std::string>().find(cases[i].description_part),
              std::string::npos)
        << r.dump();
  }
  EXPECT_EQ(replies[3]["id"], 1);
  EXPECT_EQ(replies[4]["id"], "x");
  // None of the refused calls added anything.
  EXPECT_EQ(replies.back(), json::parse(R"({"id":"last","ok":true,"vt":"I4","value":0})"));
}

TEST_F(ScriptDriverTest, BlankLinesAreNotRequests) {
  auto replies = Script({"", "   ", R"({"op":"collection","as":"f","id":1})", ""});
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0]["id"], 1);
}

TEST_F(ScriptDriverTest, ArgumentsKeepTheirTypesThroughACollection) {
  struct Case {
    std::string arg;
    std::string vt;
    json value;
  };
  const std::vector<Case> cases = {
      {R"("500")", "BSTR", "500"},
      {"17", "I4", 17},
      {"-2147483648", "I4", -2147483648LL},
      {"3000000000", "R8", 3000000000.0},
      {"2.5", "R8", 2.5},
      {"true", "BOOL", -1},
      {"false", "BOOL", 0},
      {"null", "NULL", nullptr},
      {R"({"value":"200","vt":"UI1"})", "UI1", 200},
      {R"({"value":7,"vt":"I2"})", "I2", 7},
      {R"({"value":"70000","vt":"I4"})", "I4", 70000},
      {R"({"value":"0.1","vt":"R4"})", "R4", 0.1},
      {R"({"value":"1,234.5","vt":"R8"})", "R8", 1234.5},
      {R"({"value":"3/15/2001","vt":"DATE"})", "DATE", "3/15/2001"},
      {R"({"value":12,"vt":"BSTR"})", "BSTR", "12"},
      {R"({"value":1,"vt":"BOOL"})", "BOOL", -1},
      {R"({"value":"x","vt":"EMPTY"})", "EMPTY", nullptr},
      {R"({"value":5,"vt":"NULL"})", "NULL", nullptr},
  };
  std::vector<std::string> lines = {R"({"op":"collection","as":"f"})"};
  for (const auto& c : cases) {
    lines.push_back(R"({"op":"call","obj":"f","member":"Add","args":[)" + c.arg + "]}");
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    lines.push_back(R"({"op":"call","obj":"f","member":"Item","args":[)" + std::to_string(i + 1) +
                    "]}");
  }
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), 1 + 2 * cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].arg);
    EXPECT_EQ(replies[1 + i]["ok"], true) << replies[1 + i].dump();
    const json& item = replies[1 + cases.size() + i];
    EXPECT_EQ(item["ok"], true) << item.dump();
    EXPECT_EQ(item["vt"], cases[i].vt);
    EXPECT_EQ(item["value"], cases[i].value);
  }
}

TEST_F(ScriptDriverTest, ForcedTypesThatCannotHoldTheValueAreRefused) {
  struct Case {
    std::string arg;
    int number;
  };
  const std::vector<Case> cases = {
      {R"({"value":"300","vt":"UI1"})", 6},
      {R"({"value":40000,"vt":"I2"})", 6},
      {R"({"value":"abc","vt":"I4"})", 13},
      {R"({"value":"not a date","vt":"DATE"})", 13},
      {R"({"value":null,"vt":"I4"})", 94},
  };
  std::vector<std::string> lines = {R"({"op":"collection","as":"f"})"};
  for (const auto& c : cases) {
    lines.push_back(R"({"op":"call","obj":"f","member":"Add","args":[)" + c.arg + "]}");
  }
  lines.push_back(R"({"op":"get","obj":"f","member":"Count"})");
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), cases.size() + 2);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].arg);
    EXPECT_EQ(replies[1 + i]["ok"], false);
    EXPECT_EQ(replies[1 + i]["error"]["number"], cases[i].number) << replies[1 + i].dump();
  }
  EXPECT_EQ(replies.back()["value"], 0);
}

TEST_F(ScriptDriverTest, ServerErrorsCarryNumberAndDescription) {
  auto replies = Script({
      R"({"op":"collection","as":"f"})",
      R"({"op":"call","obj":"f","member":"Add","args":["a","k"]})",
      R"({"op":"call","obj":"f","member":"Add","args":["b","K"]})",
      R"({"op":"call","obj":"f","member":"Item","args":[5]})",
      R"({"op":"call","obj":"f","member":"Remove","args":["nokey"]})",
      R"({"op":"get","obj":"f","member":"NoSuchMember"})",
      R"({"op":"call","obj":"f","member":"Item","args":["k"]})",
  });
  ASSERT_EQ(replies.size(), 7u);
  EXPECT_EQ(replies[1]["ok"], true);
  EXPECT_EQ(replies[2]["error"]["number"], 457);
  EXPECT_EQ(replies[2]["error"]["hresult"], "0x800A01C9");
  EXPECT_EQ(replies[3]["error"]["number"], 5);
  EXPECT_EQ(replies[4]["error"]["number"], 5);
  EXPECT_EQ(replies[5]["error"]["number"], 438);
  for (int i = 2; i <= 5; ++i) {
    EXPECT_FALSE(replies[i]["error"]["description"].get<std::string>().empty());
  }
  EXPECT_EQ(replies[6]["value"], "a");
}

TEST_F(ScriptDriverTest, ObjectsTravelByNameAndResultsCanBeKept) {
  auto replies = Script({
      R"({"op":"collection","as":"outer"})",
      R"({"op":"collection","as":"inner"})",
      R"({"op":"call","obj":"outer","member":"Add","args":[{"ref":"inner"}]})",
      R"({"op":"call","obj":"outer","member":"Item","args":[1],"as":"same"})",
      R"({"op":"call","obj":"same","member":"Add","args":["x"]})",
      R"({"op":"get","obj":"inner","member":"Count"})",
      R"({"op":"release","obj":"same"})",
      R"({"op":"get","obj":"same","member":"Count"})",
      R"({"op":"get","obj":"inner","member":"Count"})",
  });
  ASSERT_EQ(replies.size(), 9u);
  EXPECT_EQ(replies[3]["vt"], "DISPATCH");
  EXPECT_EQ(replies[3]["value"], nullptr);
  EXPECT_EQ(replies[5]["value"], 1) << "the kept result is the very object passed in";
  EXPECT_EQ(replies[6]["ok"], true);
  EXPECT_EQ(replies[7]["ok"], false);
  EXPECT_EQ(replies[8]["value"], 1) << "releasing one name leaves the object to the others";
}

TEST_F(ScriptDriverTest, AnswerQueuesAreAccepted) {
  auto replies = Script({
      R"({"op":"answers","queue":[6,"5001",null]})",
      R"({"op":"answers","queue":[]})",
      R"({"op":"answers","queue":[-1]})",
      R"({"op":"answers","queue":[true]})",
      R"({"op":"answers"})",
  });
  ASSERT_EQ(replies.size(), 5u);
  EXPECT_EQ(replies[0]["ok"], true);
  EXPECT_EQ(replies[1]["ok"], true);
  EXPECT_EQ(replies[2]["ok"], false);
  EXPECT_EQ(replies[3]["ok"], false);
  EXPECT_EQ(replies[4]["ok"], false);
}

TEST_F(ScriptDriverTest, UnknownClassIsRefusedAndNothingIsKept) {
  auto replies = Script({
      R"({"op":"create","progid":"TarvikInvoice.Nothing","as":"n"})",
      R"({"op":"get","obj":"n","member":"InvoiceNo"})",
  });
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["ok"], false);
  EXPECT_EQ(replies[0]["error"]["hresult"], "0x800A01AD");
  EXPECT_EQ(replies[0]["error"]["number"], 429);
  EXPECT_NE(replies[0]["error"]["description"].get<std::string>().find("TarvikInvoice.Nothing"),
            std::string::npos);
  EXPECT_EQ(replies[1]["ok"], false);
}

TEST_F(ScriptDriverTest, SqlReadsRowsOnTheHostsConnection) {
  std::string db = InitDatabase("t.db", false);
  auto replies = Script({
      R"({"op":"open","db":")" + db + R"(","as":"c"})",
      R"({"op":"sql","conn":"c","query":"SELECT option_name, option_value FROM System WHERE option_name = 'Auto Backorder'"})",
      R"({"op":"sql","conn":"c","query":"SELECT COUNT(*) FROM Invoice_Header"})",
      R"({"op":"sql","conn":"c","query":"SELECT * FROM No_Such_Table"})",
      R"({"op":"sql","conn":"c","query":"SELECT 1, 'it''s', 2.5, Null"})",
      R"({"op":"open","db":")" + dir().file("missing/dir/x.db") + R"(","as":"bad"})",
  });
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_EQ(replies[0]["ok"], true);
  ASSERT_EQ(replies[1]["rows"].size(), 1u) << replies[1].dump();
  EXPECT_EQ(replies[1]["rows"][0][0], "Auto Backorder");
  EXPECT_EQ(replies[2]["rows"], json::parse("[[0]]"));
  EXPECT_EQ(replies[3]["ok"], false);
  EXPECT_FALSE(replies[3]["error"]["description"].get<std::string>().empty());
  EXPECT_EQ(replies[4]["rows"], json::parse(R"([[1,"it's",2.5,null]])"));
  EXPECT_EQ(replies[5]["ok"], false);
}

// open names a database; a path where none is, in a folder that exists, is
// refused as every command refuses it, and no empty database is left there.
TEST_F(ScriptDriverTest, OpenOfAMissingFileCreatesNothing) {
  const std::string missing = dir().file("missing.db");
  auto replies = Script({
      R"({"op":"open","db":")" + missing + R"(","as":"c"})",
      R"({"op":"open","db":")" + missing + R"(","as":"r","read_only":true})",
      R"({"op":"sql","conn":"c","query":"SELECT 1"})",
  });
  ASSERT_EQ(replies.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(replies[i]["ok"], false) << replies[i].dump();
    EXPECT_NE(replies[i].dump().find("no database at"), std::string::npos) << replies[i].dump();
  }
  EXPECT_EQ(replies[2]["ok"], false) << "nothing was kept as c";
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(missing + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(missing + "-journal"));
}

// The sql op is for checking: whatever a query tries, the books, the
// server's files and the folder stay as they were.
TEST_F(ScriptDriverTest, SqlOnlyReads) {
  const std::string db = InitDatabase("t.db", true);
  const bool postgres = db.rfind("postgresql://", 0) == 0;
  const std::string attached = dir().file("attached.db");
  const std::string copy = dir().file("copy.db");
  struct Case {
    std::string query;
    std::string description_part;
    bool postgres_only;
  };
  const std::vector<Case> cases = {
      {"DELETE FROM Customer", "must be a SELECT", false},
      {"UPDATE Inventory SET on_hand = 0", "must be a SELECT", false},
      {"DROP TABLE Invoice_Detail", "must be a SELECT", false},
      {"ATTACH '" + attached + "' AS x", "must be a SELECT", false},
      {"VACUUM INTO '" + copy + "'", "must be a SELECT", false},
      {"PRAGMA journal_mode = DELETE", "must be a SELECT", false},
      {"SELECT 1; DELETE FROM Customer", "one statement", false},
      {"  -- why\n  ", "no statement", false},
      {"WITH x AS (SELECT 1) DELETE FROM Customer", "", false},
      {"WITH d AS (DELETE FROM Customer RETURNING 1) SELECT * FROM d", "", true},
      {"SELECT pg_read_file('/etc/passwd')", "pg_read_file", true},
      {"SELECT pg_catalog.pg_read_file ('/etc/passwd')", "pg_read_file", true},
      {"SELECT \"pg_ls_dir\"('.')", "pg_ls_dir", true},
      {"SELECT set_config('default_transaction_read_only', 'off', false)", "set_config", true},
      {"SELECT nextval('order_header_order_key_seq')", "nextval", true},
  };
  std::vector<std::string> lines = {R"({"op":"open","db":")" + db + R"(","as":"c"})"};
  std::vector<const Case*> sent;
  for (const auto& c : cases) {
    if (c.postgres_only && !postgres) continue;
    lines.push_back(json{{"op", "sql"}, {"conn", "c"}, {"query", c.query}}.dump());
    sent.push_back(&c);
  }
  lines.push_back(R"({"op":"sql","conn":"c","query":"SELECT COUNT(*) FROM Customer;"})");
  lines.push_back(R"({"op":"sql","conn":"c","query":"WITH n AS (SELECT 2 AS k) SELECT k FROM n"})");
  auto replies = Script(lines);
  ASSERT_EQ(replies.size(), sent.size() + 3);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const json& r = replies[i + 1];
    SCOPED_TRACE(sent[i]->query);
    EXPECT_EQ(r["ok"], false) << r.dump();
    EXPECT_NE(r.dump().find(sent[i]->description_part), std::string::npos) << r.dump();
  }
  EXPECT_GT(replies[sent.size() + 1]["rows"][0][0].get<double>(), 0) << replies[sent.size() + 1].dump();
  EXPECT_EQ(replies[sent.size() + 2]["rows"], json::parse("[[2]]"));
  EXPECT_FALSE(std::filesystem::exists(attached));
  EXPECT_FALSE(std::filesystem::exists(copy));
  auto c = data::OpenConnection(db);
  EXPECT_GT(testing::ScalarNumber(*c, "SELECT COUNT(*) FROM Invoice_Detail") + 1, 0) << "the table is still there";
  EXPECT_GT(testing::ScalarNumber(*c, "SELECT COUNT(*) FROM Customer"), 0);
  if (!postgres) {
    EXPECT_EQ(testing::ScalarText(*c, "PRAGMA journal_mode"), "wal");
  }
}

// Past the row limit the reply is a clear refusal, not gigabytes: a query
// that never ends (a recursive one without a stop) is cut off as well.
TEST_F(ScriptDriverTest, SqlRefusesMoreRowsThanItsLimit) {
  const std::string db = InitDatabase("t.db", false);
  auto replies = Script({
      R"({"op":"open","db":")" + db + R"(","as":"c"})",
      R"({"op":"sql","conn":"c","query":"WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n) SELECT k FROM n"})",
      R"({"op":"sql","conn":"c","query":"WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 100000) SELECT k FROM n"})",
  });
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[1]["ok"], false);
  EXPECT_NE(replies[1].dump().find("more than 100000 rows"), std::string::npos) << replies[1].dump();
  EXPECT_EQ(replies[2]["rows"].size(), 100000u);
}

// A line at the limit is read; one past it is refused without being read
// whole or quoted back, and the run goes on with the next line.
TEST_F(ScriptDriverTest, LinesLongerThanTheLimitAreSkippedNotEchoed) {
  auto padded = [](std::size_t size) {
    std::string line = R"({"op":"collection","as":"f","pad":")";
    const std::string end = R"("})";
    line.append(size - line.size() - end.size(), 'p');
    return line + end;
  };
  const std::string at_limit = padded(kMaxScriptLineBytes);
  const std::string over_limit = padded(kMaxScriptLineBytes + 1);
  const std::string huge(8 * kMaxScriptLineBytes, 'z');  // no line feed until its end
  const std::string input = at_limit + "\n" + over_limit + "\n" + huge + "\n" +
                            R"({"op":"get","obj":"f","member":"Count","id":"after"})" + "\n" + huge;
  RunResult run = RunCli({"script"}, input);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_LT(run.out.size(), 2000u) << "a refused line was quoted back";
  auto replies = JsonLines(run.out);
  ASSERT_EQ(replies.size(), 5u) << run.out;
  EXPECT_EQ(replies[0]["ok"], true);
  for (std::size_t i : {1u, 2u, 4u}) {
    EXPECT_EQ(replies[i]["ok"], false);
    EXPECT_EQ(replies[i]["error"]["number"], 5);
    EXPECT_NE(replies[i]["error"]["description"].get<std::string>().find("longer than 1048576 bytes"),
              std::string::npos)
        << replies[i].dump();
  }
  EXPECT_EQ(replies[3], json::parse(R"({"id":"after","ok":true,"vt":"I4","value":0})"));
}

// Nesting is measured before the line is parsed; a deep one is refused, and a
// bracket inside a text does not count.
TEST_F(ScriptDriverTest, JsonNestedPastTheLimitIsRefused) {
  auto nested = [](int depth) {
    return R"({"op":"call","obj":"f","member":"Add","args":)" + std::string(depth - 1, '[') +
           std::string(depth - 1, ']') + "}";
  };
  const std::string brackets_in_text(200, '[');
  auto replies = Script({
      R"({"op":"collection","as":"f"})",
      nested(kMaxJsonDepth),      // deep enough to be parsed; no Variant form
      nested(kMaxJsonDepth + 1),  // refused before parsing
      nested(100000),
      R"({"op":"call","obj":"f","member":"Add","args":[")" + brackets_in_text + R"("]})",
      R"({"op":"get","obj":"f","member":"Item","args":[1]})",
  });
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_NE(replies[1].dump().find("no automation value"), std::string::npos) << replies[1].dump();
  for (std::size_t i : {2u, 3u}) {
    EXPECT_EQ(replies[i]["ok"], false);
    EXPECT_NE(replies[i].dump().find("more than 64 deep"), std::string::npos) << replies[i].dump();
  }
  EXPECT_EQ(replies[4]["ok"], true) << replies[4].dump();
  EXPECT_EQ(replies[5]["value"], brackets_in_text);

  RunResult answers = RunCli({"script", "--answers", std::string(1000, '[') + std::string(1000, ']')}, "");
  EXPECT_NE(answers.exit_code, 0);
  EXPECT_NE(answers.err.find("more than 64 deep"), std::string::npos) << answers.err;
}

// A text value larger than the limit never reaches the component.
TEST_F(ScriptDriverTest, TextValuesLongerThanTheLimitAreRefused) {
  const std::string at_limit(kMaxTextBytes, 't');
  auto replies = Script({
      R"({"op":"collection","as":"f"})",
      json{{"op", "call"}, {"obj", "f"}, {"member", "Add"}, {"args", {at_limit}}}.dump(),
      json{{"op", "call"}, {"obj", "f"}, {"member", "Add"}, {"args", {at_limit + "t"}}}.dump(),
      json{{"op", "let"}, {"obj", "f"}, {"member", "Item"}, {"value", at_limit + "t"}}.dump(),
      R"({"op":"get","obj":"f","member":"Count"})",
  });
  ASSERT_EQ(replies.size(), 5u);
  EXPECT_EQ(replies[1]["ok"], true);
  for (std::size_t i : {2u, 3u}) {
    EXPECT_EQ(replies[i]["error"]["number"], 5);
    EXPECT_NE(replies[i].dump().find("at most 65536 bytes"), std::string::npos) << replies[i].dump();
  }
  EXPECT_EQ(replies[4]["value"], 1);
}

TEST_F(ScriptDriverTest, ScriptFromAFileMatchesStandardInput) {
  const std::string script = R"({"op":"collection","as":"f"})" "\n"
                             R"({"op":"call","obj":"f","member":"Add","args":["a"]})" "\n"
                             R"({"op":"get","obj":"f","member":"Count"})" "\n";
  std::ofstream(dir().file("s.jsonl")) << script;
  RunResult from_file = RunCli({"script", dir().file("s.jsonl")});
  RunResult from_stdin = RunCli({"script"}, script);
  EXPECT_EQ(from_file.exit_code, 0) << from_file.err;
  EXPECT_EQ(from_file.out, from_stdin.out);
  EXPECT_EQ(JsonLines(from_file.out).back()["value"], 1);

  RunResult missing = RunCli({"script", dir().file("nope.jsonl")});
  EXPECT_NE(missing.exit_code, 0);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::host_test
