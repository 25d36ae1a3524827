// Statement splitting around trigger bodies, and the whole-table SELECT a
// result set may count from the books' kept numbers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "data/sql_text.h"

namespace tarvik::data {
namespace {

TEST(SplitStatements, ATriggerBodyStaysOneStatement) {
  struct Case {
    const char* name;
    std::string sql;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"body of two statements",
       "CREATE TABLE t (a INTEGER);\n"
       "CREATE TRIGGER t_in AFTER INSERT ON t BEGIN\n  UPDATE c SET n = n + 1;\n  DELETE FROM d;\nEND;\n"
       "INSERT INTO t VALUES (1);",
       {"CREATE TABLE t (a INTEGER)",
        "CREATE TRIGGER t_in AFTER INSERT ON t BEGIN\n  UPDATE c SET n = n + 1;\n  DELETE FROM d;\nEND",
        "INSERT INTO t VALUES (1)"}},
      {"temporary, lower case, END inside a string",
       "create temp trigger x after delete on t begin select 'end;'; end; select 2",
       {"create temp trigger x after delete on t begin select 'end;'; end", "select 2"}},
      {"a trigger that runs a function has no body",
       "CREATE TRIGGER k BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION f(); SELECT 1;",
       {"CREATE TRIGGER k BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION f()", "SELECT 1"}},
      {"BEGIN alone is a transaction", "BEGIN; UPDATE t SET a = 1; END;",
       {"BEGIN", "UPDATE t SET a = 1", "END"}},
      {"a column named end_date", "CREATE TRIGGER y AFTER UPDATE ON t BEGIN UPDATE u SET end_date = 1; END; SELECT 3",
       {"CREATE TRIGGER y AFTER UPDATE ON t BEGIN UPDATE u SET end_date = 1; END", "SELECT 3"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitStatements(c.sql), c.statements) << c.name;
}

TEST(WholeTableName, OnlyAPlainSelectOfEveryColumnOfOneTable) {
  struct Case {
    const char* sql;
    std::optional<std::string> table;
  };
  const Case cases[] = {
      {"SELECT * FROM Invoice_Header", "invoice_header"},
      {"  select *\n from   INVOICE_HEADER  ", "invoice_header"},
      {"SELECT * FROM Invoice_Header -- all of them", "invoice_header"},
      {"SELECT * FROM Invoice_Header Where Invoice_No = 3", std::nullopt},
      {"SELECT * FROM Invoice_Header h", std::nullopt},
      {"SELECT * FROM main.Invoice_Header", std::nullopt},
      {"SELECT * FROM \"Invoice_Header\"", std::nullopt},
      {"SELECT invoice_no FROM Invoice_Header", std::nullopt},
      {"SELECT * FROM a, b", std::nullopt},
      {"SELECT * FROM 1t", std::nullopt},
      {"SELECT * FROM", std::nullopt},
      {"SELECT *FROM t", "t"},
      {"SELECT * FROM t LIMIT 5", std::nullopt},
      {"SELECT * FROM t WHERE a = 'x'", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(WholeTableName(c.sql), c.table) << c.sql;
}

}  // namespace
}  // namespace tarvik::data
