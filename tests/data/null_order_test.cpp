// Sort keys sent to PostgreSQL get SQLite's Null placement.
#include <gtest/gtest.h>

#include "data/backends/postgres/null_order.h"

namespace tarvik::data {
namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(NullOrder, EverySortKeyGetsSqlitePlacement) {
  const Case kCases[] = {
      {"SELECT * FROM t ORDER BY a", "SELECT * FROM t ORDER BY a NULLS FIRST"},
      {"SELECT * FROM t ORDER BY a DESC", "SELECT * FROM t ORDER BY a DESC NULLS LAST"},
      {"select * from t order by a desc, b", "select * from t order by a desc NULLS LAST, b NULLS FIRST"},
      {"SELECT * FROM t ORDER BY a ASC LIMIT 5", "SELECT * FROM t ORDER BY a ASC NULLS FIRST LIMIT 5"},
      {"SELECT * FROM t ORDER BY coalesce(a, b) DESC , c ",
       "SELECT * FROM t ORDER BY coalesce(a, b) DESC NULLS LAST , c NULLS FIRST "},
      {"SELECT * FROM (SELECT a FROM t ORDER BY a) s ORDER BY a",
       "SELECT * FROM (SELECT a FROM t ORDER BY a NULLS FIRST) s ORDER BY a NULLS FIRST"},
      {"SELECT string_agg(x, ',' ORDER BY y DESC) FROM t",
       "SELECT string_agg(x, ',' ORDER BY y DESC NULLS LAST) FROM t"},
      {"SELECT row_number() OVER (ORDER BY a ROWS UNBOUNDED PRECEDING) FROM t",
       "SELECT row_number() OVER (ORDER BY a NULLS FIRST ROWS UNBOUNDED PRECEDING) FROM t"},
      {"SELECT * FROM t ORDER BY a NULLS LAST", "SELECT * FROM t ORDER BY a NULLS LAST"},
      {"SELECT * FROM t ORDER BY a % 7, b;", "SELECT * FROM t ORDER BY a % 7 NULLS FIRST, b NULLS FIRST;"},
      {"SELECT * FROM t ORDER\n BY\ta", "SELECT * FROM t ORDER\n BY\ta NULLS FIRST"},
  };
  for (const Case& c : kCases) EXPECT_EQ(WithSqliteNullOrder(c.in), c.out) << c.in;
}

TEST(NullOrder, QuotedTextAndStatementsWithoutOrderPassUnchanged) {
  const char* const kSame[] = {
      "SELECT 'ORDER BY a' FROM t",
      "SELECT \"order by\" FROM t WHERE x = 'it''s ORDER BY'",
      "UPDATE t SET a = 1 WHERE b IN (SELECT b FROM u GROUP BY b)",
      "SELECT a FROM t -- ORDER BY a\n",
      "SELECT a /* ORDER BY a */ FROM t",
      "SELECT border, byline FROM t",
      "",
  };
  for (const char* sql : kSame) EXPECT_EQ(WithSqliteNullOrder(sql), sql) << sql;
}

}  // namespace
}  // namespace tarvik::data
