// Literal values of classic statements as parameters: which literals become
// markers, the typed shapes each backend gets, and on a real database that
// every statement does exactly what its literal text did.
#include "data/literal_parameters.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "data/backend.h"
#include "data/field_conversion.h"
#include "data/host_connection.h"
#include "platform/regional.h"
#include "tests/support/counting_backend.h"
#include "tests/support/error_number.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::CountingBackend;
using testing::ErrorNumberOf;
using testing::TempDatabase;

Value I(std::int64_t n) { return n; }
Value R(const char* text) { return std::string(text); }
Value T(const char* text) { return std::string(text); }
Value D(const char* date) { return DateValue{*regional::ParseDate(date)}; }

LiteralType TypeOf(const Value& v, bool real) {
  if (std::holds_alternative<std::int64_t>(v)) return LiteralType::kInteger;
  if (std::holds_alternative<DateValue>(v)) return LiteralType::kDate;
  return real ? LiteralType::kReal : LiteralType::kText;
}

struct SplitCase {
  const char* sql;
  const char* shape;               // nullptr: the text itself
  std::vector<Value> values;
  std::vector<std::size_t> reals;  // positions (0-based) of real literals
};

TEST(SplitLiterals, ShapesAndValues) {
  const SplitCase cases[] = {
      // The header insert as the component builds it.
      {"INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, "
       "invoice_by, extra1, extra2, paid, export_flag ) VALUES (500, #3/15/2001#, Null, 'O''Hara', 12.5, 0, 3, "
       "'a?1$1;--/*\\', Null, 1E+300, 1) ",
       "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, "
       "invoice_by, extra1, extra2, paid, export_flag ) VALUES (?1, ?2, Null, ?3, ?4, ?5, ?6, ?7, Null, ?8, ?9) ",
       {I(500), D("3/15/2001"), T("O'Hara"), R("12.5"), I(0), I(3), T("a?1$1;--/*\\"), R("1E+300"), I(1)},
       {3, 7}},
      {"UPDATE Invoice_Header SET Ship_Date = #5/6/2024#, Bill_To = Null, Freight = 12.5, "
       "Other_Charge = 1.234568E+07, Extra1 = 'e1', Paid = 0.1, Export_Flag = 255, Export_Date = Null "
       "WHERE Invoice_No = 1042",
       "UPDATE Invoice_Header SET Ship_Date = ?1, Bill_To = Null, Freight = ?2, Other_Charge = ?3, Extra1 = ?4, "
       "Paid = ?5, Export_Flag = ?6, Export_Date = Null WHERE Invoice_No = ?7",
       {D("5/6/2024"), R("12.5"), R("1.234568E+07"), T("e1"), R("0.1"), I(255), I(1042)},
       {1, 2, 4}},
      {"DELETE FROM Invoice_Header Where (Export_Flag=1) And (Export_Date Is Null) ",
       "DELETE FROM Invoice_Header Where (Export_Flag=?1) And (Export_Date Is Null) ", {I(1)}, {}},
      {"SELECT * FROM Invoice_Header Where Invoice_No = 7 ORDER BY Invoice_No ",
       "SELECT * FROM Invoice_Header Where Invoice_No = ?1 ORDER BY Invoice_No ", {I(7)}, {}},
      {"SELECT a FROM t WHERE b IN ('x', -2, 3.5) AND c NOT IN (1) AND d BETWEEN #1/1/2001# AND #12/31/2001# "
       "AND e NOT LIKE 'a%' AND f <> -7 AND g >= 3000000000",
       "SELECT a FROM t WHERE b IN (?1, -?2, ?3) AND c NOT IN (?4) AND d BETWEEN ?5 AND ?6 "
       "AND e NOT LIKE ?7 AND f <> -?8 AND g >= ?9",
       {T("x"), I(2), R("3.5"), I(1), D("1/1/2001"), D("12/31/2001"), T("a%"), I(7), I(3000000000)},
       {2}},
      // Select lists, function arguments, arithmetic, ORDER BY and LIMIT stay.
      {"SELECT a, 5, 'x' FROM t WHERE lower(b) = 'y' AND substr(c, 1, 2) = 'ab' AND d = 5 * 2 "
       "AND e = 'a' || 'b' AND 1 = 1 ORDER BY 2 LIMIT 10",
       "SELECT a, 5, 'x' FROM t WHERE lower(b) = ?1 AND substr(c, 1, 2) = ?2 AND d = 5 * 2 "
       "AND e = 'a' || 'b' AND 1 = 1 ORDER BY 2 LIMIT 10",
       {T("y"), T("ab")}, {}},
      {"SELECT * FROM t WHERE a = True AND b = Null AND c = E'x' AND d = CAST('1' AS INTEGER) "
       "AND e LIKE 'a%' ESCAPE '!' AND f IN (SELECT 5) AND g = 0x10 AND h = 99999999999999999999 "
       "AND CASE WHEN i = 5 THEN 1 END = 1 AND j = DATE '2001-01-01'",
       nullptr, {}, {}},
      {"SELECT CAST(x AS VARCHAR(10)), extra1 FROM t", nullptr, {}, {}},
      // Keywords that are functions too: their arguments stay, their result is an operand.
      {"SELECT * FROM t WHERE date(d, '+1 day') = '2001-01-02' AND left(a, 2) = 'ab' AND b = date('now')",
       "SELECT * FROM t WHERE date(d, '+1 day') = ?1 AND left(a, 2) = ?2 AND b = date('now')",
       {T("2001-01-02"), T("ab")}, {}},
      // Several rows take their types together: left.
      {"INSERT INTO t (a) VALUES (1), (2)", nullptr, {}, {}},
      {"INSERT INTO t (a) SELECT 5 FROM u WHERE b = 6", "INSERT INTO t (a) SELECT 5 FROM u WHERE b = ?1", {I(6)}, {}},
      // Markers of its own, a malformed date, unbalanced parentheses, other
      // statements: left whole so that they run or fail as before.
      {"SELECT * FROM t WHERE a = ?1 AND b = 5", nullptr, {}, {}},
      {"SELECT * FROM t WHERE a = $1 AND b = 5", nullptr, {}, {}},
      {"DELETE FROM t WHERE d = #2/30/2001# AND b = 5", nullptr, {}, {}},
      {"DELETE FROM t WHERE d = #2/3/2001 AND b = 5", nullptr, {}, {}},
      {"DELETE FROM t WHERE (b = 5", nullptr, {}, {}},
      {"CREATE TABLE t (a VARCHAR(10) DEFAULT 'x')", nullptr, {}, {}},
      {"SET standard_conforming_strings = off", nullptr, {}, {}},
      // Comments stay as written, markers in them are not markers.
      {"DELETE FROM t /* ?1 */ WHERE a = 'z' -- b = 6\n", "DELETE FROM t /* ?1 */ WHERE a = ?1 -- b = 6\n",
       {T("z")}, {}},
      {"SELECT * FROM t WHERE a='x'AND b=5", "SELECT * FROM t WHERE a=?1 AND b=?2", {T("x"), I(5)}, {}},
      {"UPDATE \"T\" SET \"a b\" = 'v', c = -1.5, d = +2 WHERE \"k\" = 3",
       "UPDATE \"T\" SET \"a b\" = ?1, c = -?2, d = +?3 WHERE \"k\" = ?4", {T("v"), R("1.5"), I(2), I(3)}, {1}},
      {"SELECT * FROM t WHERE a = .5 OR b = 1e5 OR c = 1.", "SELECT * FROM t WHERE a = ?1 OR b = ?2 OR c = ?3",
       {R(".5"), R("1e5"), R("1.")}, {0, 1, 2}},
      {"SELECT * FROM t WHERE a = ''", "SELECT * FROM t WHERE a = ?1", {T("")}, {}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.sql);
    const LiteralSplit split = SplitLiterals(c.sql);
    EXPECT_EQ(split.shape, c.shape ? c.shape : c.sql);
    EXPECT_EQ(split.values, c.values);
    std::vector<LiteralType> types;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      const bool real = std::find(c.reals.begin(), c.reals.end(), i) != c.reals.end();
      types.push_back(TypeOf(c.values[i], real));
    }
    EXPECT_EQ(split.types, types);
  }
}

// A statement built with its literals marked splits exactly as its text
// does, whatever the converters wrote: signs, exponents, quotes, markers in
// text, dates, Null, a number past 64 bits.
TEST(LiteralSql, SplitsAsItsTextDoes) {
  const char* pieces[] = {
      "500",   "-5",         "+3",          "-1.5E-07",           "1E+300",   "12.5", "0",
      "Null",  "'O''Hara'",  "'a?1$1;--/*\\'", "'#1/1/2001#'", "''",    "#3/15/2001#",
      "#5/6/2024 10:30:00#", "9223372036854775808", "-9223372036854775808",
      // Forms the converters do not write: the text decides.
      "1.",    ".5",         "-.5",         "1e5",  "1E",    "00012", "-0",  "1.5e+3", "+-5", "NULL", "null",
      "'a'||'b'", "#  #",    "#32/13/2001#", "#1/1/2001# ", "x'00'", "'open",
  };
  auto check = [](const LiteralSql& sql) {
    SCOPED_TRACE(sql.text());
    const LiteralSplit built = sql.Split();
    const LiteralSplit read = SplitLiterals(sql.text());
    EXPECT_EQ(built.shape, read.shape);
    EXPECT_EQ(built.types, read.types);
    EXPECT_EQ(built.values, read.values);
  };
  constexpr std::size_t kWritten = 16;  // the converters' own forms come first
  LiteralSql written, all;
  written.Code("INSERT INTO Invoice_Header (c) VALUES (");
  all.Code("INSERT INTO Invoice_Header (c) VALUES (");
  for (std::size_t i = 0; i < std::size(pieces); ++i) {
    LiteralSql one;
    one.Code("INSERT INTO Invoice_Header (c) VALUES (").Literal(pieces[i]).Code(") ");
    check(one);
    LiteralSql set;
    set.Code("UPDATE Invoice_Header SET Bill_To = ").Literal(pieces[i]).Code(", Extra1 = ").Literal(pieces[i]);
    set.Code(" WHERE Invoice_No = ").Literal("7");
    check(set);
    if (i < kWritten) (i ? written.Code(", ") : written).Literal(pieces[i]);
    (i ? all.Code(", ") : all).Literal(pieces[i]);
  }
  written.Code(")");
  all.Code(")");
  check(written);
  check(all);
  // Null and both numbers past 64 bits (the sign is no part of the number)
  // stay as written; forms read only in their context leave the whole text
  // as written, as reading it back does.
  EXPECT_EQ(written.Split().values.size(), kWritten - 3);
  EXPECT_TRUE(all.Split().values.empty());
}

TEST(BackendShape, MarkersTypedAsTheLiteralsWere) {
  const char* sql =
      "UPDATE h SET a = 5, b = 3000000000, c = 1.5, d = #3/15/2001#, e = 'x', f = Null WHERE g = #1/1/2001#";
  const LiteralSplit split = SplitLiterals(sql);
  EXPECT_EQ(BackendShape(split, Dialect::kSqlite),
            "UPDATE h SET a = ?1, b = ?2, c = +CAST(?3 AS REAL), d = ?4, e = ?5, f = Null WHERE g = ?6");
  EXPECT_EQ(BackendShape(split, Dialect::kPostgres),
            "UPDATE h SET a = CAST($1 AS integer), b = CAST($2 AS bigint), c = CAST($3 AS numeric), "
            "d = CAST($4 AS timestamp), e = $5, f = Null WHERE g = CAST($6 AS timestamp)");
  // Literals left as written are translated as before.
  EXPECT_EQ(BackendShape(SplitLiterals("SELECT f(#3/15/2001#) FROM t"), Dialect::kPostgres),
            "SELECT f(TIMESTAMP '2001-03-15') FROM t");
}

TEST(LiteralStatements, OneTranslatedTextPerShape) {
  LiteralStatements statements(Dialect::kPostgres);
  const std::string first = statements.Prepare("DELETE FROM t WHERE a = 1 AND b = 'x'").sql;
  const LiteralStatements::Statement second = statements.Prepare("DELETE FROM t WHERE a = 2 AND b = 'it''s'");
  EXPECT_EQ(second.sql, first);
  EXPECT_EQ(second.values, (std::vector<Value>{I(2), T("it's")}));
  // Another type of literal is another shape.
  EXPECT_NE(statements.Prepare("DELETE FROM t WHERE a = 2.5 AND b = 'x'").sql, first);
  // A malformed date fails as the translation always did, and is not kept.
  EXPECT_EQ(ErrorNumberOf([&] { statements.Prepare("DELETE FROM t WHERE d = #13/45/2001#"); }), kErrDatabase);
}

// --- On a real database: literal text and parameters do the same ---------

std::vector<std::vector<Value>> Rows(ResultSet& rs) {
  std::vector<std::vector<Value>> rows;
  for (std::int64_t r = 0; rs.Seek(r); ++r) {
    std::vector<Value> row;
    for (int c = 0; c < rs.ColumnCount(); ++c) row.push_back(rs.Column(c));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string On(std::string sql, const std::string& table) {
  for (std::size_t at = sql.find("{T}"); at != std::string::npos; at = sql.find("{T}")) sql.replace(at, 3, table);
  return sql;
}

class LiteralEquivalence : public ::testing::Test {
 protected:
  LiteralEquivalence() : db_(false, false), c_(db_.Connect()) {
    for (const char* table : {"lit_a", "lit_b"}) {
      c_->ExecuteWith(On("CREATE TABLE {T} (k INTEGER, n BIGINT, r DOUBLE PRECISION, t TEXT, d TIMESTAMP)", table),
                      {});
      for (const char* row :
           {"(1, 5, 1.5, '500', #3/15/2001#)", "(2, 3000000000, 56478.1535184114, '1.5', #3/15/2001 2:30:00 PM#)",
            "(3, Null, Null, Null, Null)", "(4, 7, 0.1, 'abc', Null)", "(5, -2, 1E+300, '2001-03-15', #1/1/1990#)",
            "(6, 12, 857391556.449763, 'it''s', #12/31/1999#)", "(7, 0, 0, 'a\\', Null)"}) {
        c_->ExecuteWith(On("INSERT INTO {T} (k, n, r, t, d) VALUES ", table) + row, {});
      }
    }
  }
  std::vector<std::vector<Value>> Dump(const char* table) {
    auto rs = c_->QueryWith(On("SELECT * FROM {T} ORDER BY k", table), {});
    return Rows(*rs);
  }

  TempDatabase db_;
  ComPtr<HostConnection> c_;
};

// Each select runs as literal text (as the connection ran it before) and
// through OpenQuery; rows and errors must agree.
TEST_F(LiteralEquivalence, SelectsFindTheSameRows) {
  const char* selects[] = {
      "SELECT * FROM {T} WHERE t = 500 ORDER BY k",
      "SELECT * FROM {T} WHERE t = 1.5 ORDER BY k",
      "SELECT * FROM {T} WHERE t = '500' ORDER BY k",
      "SELECT * FROM {T} WHERE n = '5' ORDER BY k",
      "SELECT * FROM {T} WHERE n = 3000000000 ORDER BY k",
      "SELECT * FROM {T} WHERE n = 5.0 ORDER BY k",
      "SELECT * FROM {T} WHERE r = 1.5 ORDER BY k",
      "SELECT * FROM {T} WHERE r = 56478.1535184114 ORDER BY k",
      "SELECT * FROM {T} WHERE r = 857391556.449763 ORDER BY k",
      "SELECT * FROM {T} WHERE r = 1E+300 ORDER BY k",
      "SELECT * FROM {T} WHERE r > 0.10000000000000000555 ORDER BY k",
      "SELECT * FROM {T} WHERE r = '1.5' ORDER BY k",
      "SELECT * FROM {T} WHERE d = #3/15/2001# ORDER BY k",
      "SELECT * FROM {T} WHERE d >= #3/15/2001 2:00:00 PM# ORDER BY k",
      "SELECT * FROM {T} WHERE d = '2001-03-15' ORDER BY k",
      "SELECT * FROM {T} WHERE t = #3/15/2001# ORDER BY k",
      "SELECT * FROM {T} WHERE n IN (5, '7', 3000000000) ORDER BY k",
      "SELECT * FROM {T} WHERE t NOT IN ('abc', 'it''s') ORDER BY k",
      "SELECT * FROM {T} WHERE n BETWEEN -3 AND 6 ORDER BY k",
      "SELECT * FROM {T} WHERE d BETWEEN #1/1/1999# AND #3/15/2001# ORDER BY k",
      "SELECT * FROM {T} WHERE t LIKE '5%' ORDER BY k",
      "SELECT * FROM {T} WHERE t NOT LIKE 'a%' ORDER BY k",
      "SELECT * FROM {T} WHERE n LIKE '5%' ORDER BY k",
      "SELECT * FROM {T} WHERE t = 'a\\' OR (k = 4) ORDER BY k",
      "SELECT * FROM {T} WHERE k = 'x' ORDER BY k",
      "SELECT * FROM {T} WHERE k = 2 ORDER BY 1 LIMIT 5",
      "SELECT * FROM {T} WHERE k = = 2",
  };
  for (const char* sql : selects) {
    SCOPED_TRACE(sql);
    std::vector<std::vector<Value>> literal, parameters;
    const int literal_error = ErrorNumberOf([&] {
      auto rs = c_->QueryWith(On(sql, "lit_a"), {});
      literal = Rows(*rs);
    });
    const int parameters_error = ErrorNumberOf([&] {
      auto rs = c_->OpenQuery(On(sql, "lit_a"));
      parameters = Rows(*rs);
    });
    EXPECT_EQ(parameters_error, literal_error);
    EXPECT_EQ(parameters, literal);
  }
}

// Each change runs as literal text on one table and through Execute on its
// twin; the tables must stay equal, row for row and type for type.
TEST_F(LiteralEquivalence, ChangesLeaveTheSameRows) {
  const char* changes[] = {
      "INSERT INTO {T} (k, n, r, t, d) VALUES (10, '12', 12.50, 500, #1/2/2003 4:05:06 AM#)",
      "INSERT INTO {T} (k, n, r, t, d) VALUES (11, 2.5, '3', 1.50, '2003-01-02')",
      "INSERT INTO {T} (k, n, r, t, d) VALUES (12, 1, 1.7976931348623157E+308, 'x', Null)",
      "INSERT INTO {T} (k, n, r, t, d) VALUES (13, -9, 56478.1535184114, 'abc''def\\', #12/30/1899#)",
      "INSERT INTO {T} (k, n) VALUES (14, 'abc')",
      "INSERT INTO {T} (k, d) VALUES (15, #2/30/2001#)",
      "INSERT INTO {T} (k, d) VALUES (16, 'not a date')",
      "INSERT INTO {T} (k, t VALUES (17, 'x')",
      "INSERT INTO {T} (k, r) VALUES (18, 0.1000000000000000055511151231257827)",
      "UPDATE {T} SET t = 'new', r = -0.5, d = #12/31/1999# WHERE n = 5",
      "UPDATE {T} SET n = n + 1 WHERE t IN ('abc', '1.5')",
      "UPDATE {T} SET t = 'x' WHERE k = 'x'",
      "UPDATE {T} SET t = 7, r = 8 WHERE r >= 0.1 AND r < 2",
      "DELETE FROM {T} WHERE k BETWEEN 2 AND 3",
      "DELETE FROM {T} WHERE (t = 'abc') OR (r < 1)",
      "DELETE FROM {T} WHERE d < #1/1/2000#",
  };
  for (const char* sql : changes) {
    SCOPED_TRACE(sql);
    std::int64_t literal_rows = -1, parameter_rows = -2;
    const int literal_error = ErrorNumberOf([&] { literal_rows = c_->ExecuteWith(On(sql, "lit_a"), {}); });
    const int parameters_error = ErrorNumberOf([&] {
      c_->Execute(On(sql, "lit_b"));
      parameter_rows = c_->RecordsAffected();
    });
    EXPECT_EQ(parameters_error, literal_error);
    if (literal_error == 0) {
      EXPECT_EQ(parameter_rows, literal_rows);
    }
    EXPECT_EQ(Dump("lit_b"), Dump("lit_a"));
  }
}

// --- What reaches the backend ----------------------------------------------

class CountedConnection : public ::testing::Test {
 protected:
  CountedConnection() {
    auto backend = std::make_unique<CountingBackend>(OpenBackend(db_.path()));
    backend_ = backend.get();
    c_ = NewConnection(std::move(backend));
  }
  TempDatabase db_{true, false};
  CountingBackend* backend_ = nullptr;
  ComPtr<HostConnection> c_;
};

// Header inserts written with the component's own literal forms, a hundred
// different values: one text reaches the backend, prepared once.
TEST_F(CountedConnection, HundredHeaderInsertsAreOneText) {
  for (int i = 0; i < 100; ++i) {
    const std::string bill_to = "Customer " + std::to_string(i) + (i % 7 == 0 ? " O'Hara \\ ?1 $1 ;--" : "");
    std::string sql =
        "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, "
        "invoice_by, extra1, extra2, paid, export_flag ) VALUES (";
    sql += std::to_string(1000 + i) + ", ";
    sql += Field2SqlDate(Variant::Date(regional::Today() - i)) + ", ";
    sql += Field2SqlDate(Variant::Date(regional::Today() + i + 0.5)) + ", ";
    sql += Field2SqlText(Variant::String(bill_to)) + ", ";
    sql += NumberText(static_cast<float>(i) + 0.25f) + ", ";
    sql += NumberText(static_cast<float>(i) / 3.0f + 0.125f) + ", ";
    sql += std::to_string(i % 5 + 1) + ", ";
    sql += Field2SqlText(Variant::String("e" + std::to_string(i))) + ", Null, ";
    sql += NumberText(i * 1.1 + 0.01) + ", " + std::to_string(i % 2) + ") ";
    ASSERT_TRUE(c_->Execute(sql));
    ASSERT_EQ(c_->RecordsAffected(), 1);
  }
  ASSERT_EQ(backend_->texts().size(), 1u);
  EXPECT_EQ(backend_->texts().begin()->second, 100u);
  EXPECT_EQ(testing::ScalarNumber(*c_, "SELECT count(*) FROM Invoice_Header WHERE invoice_no >= 1000"), 100);
  EXPECT_EQ(testing::ScalarText(*c_, "SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1007"),
            "Customer 7 O'Hara \\ ?1 $1 ;--");
  EXPECT_EQ(testing::ScalarNumber(*c_, "SELECT freight FROM Invoice_Header WHERE invoice_no = 1042"), 42.25);
  EXPECT_EQ(testing::ScalarNumber(*c_, "SELECT invoice_by FROM Invoice_Header WHERE invoice_no = 1042"), 3);

  // Selections and deletes by key go the same way.
  backend_->Clear();
  for (int i = 0; i < 100; ++i) {
    auto rs = c_->OpenQuery("SELECT * FROM Invoice_Header Where Invoice_No = " + std::to_string(1000 + i) +
                            " ORDER BY Invoice_No ");
    ASSERT_EQ(rs->RowCount(), 1);
  }
  for (int i = 0; i < 100; i += 2) {
    ASSERT_TRUE(c_->Execute("DELETE FROM Invoice_Header Where Invoice_No = " + std::to_string(1000 + i)));
    ASSERT_EQ(c_->RecordsAffected(), 1);
  }
  ASSERT_EQ(backend_->texts().size(), 2u);
  for (const auto& [text, count] : backend_->texts()) {
    SCOPED_TRACE(text);
    EXPECT_EQ(count, text.starts_with("DELETE") ? 50u : 100u);
  }
}

// Values that look like SQL, markers, escapes or comments stay one value each
// and change only the row they are for.
TEST_F(CountedConnection, CraftedValuesStayOneValue) {
  const char* crafted[] = {
      "x' WHERE 1 = 1 --",  "a\\",      "a\\' OR invoice_no = 2 --", "?1",   "$1",
      "'; DELETE FROM Invoice_Header; --", "/* open", "*/ close",   "#1/1/2001#", "-- comment",
      "\\'\\'",             "''",       "a\\\\' , extra1 = 'owned",
  };
  ASSERT_TRUE(c_->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, extra1) VALUES (2, 'other', 'keep')"));
  int number = 100;
  for (const char* value : crafted) {
    SCOPED_TRACE(value);
    ++number;
    const std::string quoted = Field2SqlText(Variant::String(value));
    ASSERT_TRUE(c_->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, extra1) VALUES (" +
                            std::to_string(number) + ", " + quoted + ", " + quoted + ")"));
    ASSERT_TRUE(c_->Execute("UPDATE Invoice_Header SET Bill_To = " + quoted + ", Extra1 = " + quoted +
                            ", Extra2 = " + quoted + " WHERE Invoice_No = " + std::to_string(number)));
    EXPECT_EQ(c_->RecordsAffected(), 1);
    auto rs = c_->OpenQuery("SELECT bill_to, extra1, extra2 FROM Invoice_Header WHERE bill_to = " + quoted +
                            " AND invoice_no = " + std::to_string(number));
    ASSERT_TRUE(rs->Seek(0));
    for (int col = 0; col < 3; ++col) EXPECT_EQ(rs->Column(col), Value{std::string(value)});
    EXPECT_FALSE(rs->Seek(1));
  }
  EXPECT_EQ(testing::ScalarText(*c_, "SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "other");
  EXPECT_EQ(testing::ScalarText(*c_, "SELECT extra1 FROM Invoice_Header WHERE invoice_no = 2"), "keep");
  EXPECT_EQ(testing::ScalarNumber(*c_, "SELECT count(*) FROM Invoice_Header"), 1 + std::size(crafted));
}

}  // namespace
}  // namespace tarvik::data
