// The books keep the number of invoice headers (Table_Rows, by triggers):
// a browse of all headers takes its RecordCount from there, and the kept
// number must match the table through every kind of change.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "data/backend.h"
#include "data/data_recordset.h"
#include "data/dialect.h"
#include "db/books_recovery.h"
#include "db/initialize.h"
#include "tests/support/old_schema.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using data::HostConnection;
using testing::ScalarNumber;
using testing::TempDatabase;

const std::string kBrowse = "SELECT * FROM Invoice_Header ORDER BY Invoice_No ";

// RecordCount of a browse opened on `sql`.
std::int32_t BrowseCount(const ComPtr<HostConnection>& c, const std::string& sql = kBrowse) {
  ComPtr<data::DataRecordset> rs = data::NewDataRecordset();
  rs->SetConnection(c);
  rs->OpenRecordset(sql);
  return rs->RecordCount();
}

double TableCount(HostConnection& c) { return ScalarNumber(c, "SELECT count(*) FROM Invoice_Header"); }
// The kept number; on PostgreSQL with the changes not folded into it yet.
double KeptCount(HostConnection& c) {
  const double kept = ScalarNumber(c, "SELECT row_count FROM Table_Rows WHERE table_name = 'invoice_header'");
  if (c.SqlDialect() != data::Dialect::kPostgres) return kept;
  return kept + ScalarNumber(c, "SELECT sum(change) FROM Table_Row_Changes WHERE table_name = 'invoice_header'");
}

// Headers numbered from..to, made by the database in one statement.
std::string AddHeaders(int from, int to) {
  return "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT i + 1 FROM n WHERE i < " +
         std::to_string(to) + ") INSERT INTO Invoice_Header (invoice_no, bill_to, export_flag) "
         "SELECT i, 'B', i % 2 FROM n";
}

TEST(KeptRowCount, FollowsEveryChangeOfTheHeaders) {
  TempDatabase db(true, false);
  ComPtr<HostConnection> c = db.Connect();
  struct Step {
    const char* what;
    std::function<void()> change;
    double headers;  // after the change
  };
  const Step steps[] = {
      {"empty books", [] {}, 0},
      {"one header", [&] { c->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to) VALUES (1, 'B')"); }, 1},
      {"200 in one statement", [&] { c->Execute(AddHeaders(2, 201)); }, 201},
      {"a filtered delete", [&] { c->Execute("DELETE FROM Invoice_Header WHERE invoice_no > 150"); }, 150},
      {"a delete that hits nothing", [&] { c->Execute("DELETE FROM Invoice_Header WHERE invoice_no > 999"); }, 150},
      {"a failed insert", [&] {
         EXPECT_THROW(c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)"), AutomationError);
       }, 150},
      {"changes rolled back, counted inside their transaction", [&] {
         c->BeginTrans();
         c->Execute(AddHeaders(500, 509));
         c->Execute("DELETE FROM Invoice_Header WHERE invoice_no <= 5");
         EXPECT_EQ(BrowseCount(c), 155);
         c->Rollback();
       }, 150},
      {"changes committed in a nested level", [&] {
         c->BeginTrans();
         c->BeginTrans();
         c->Execute(AddHeaders(600, 604));
         c->CommitTrans();
         c->CommitTrans();
       }, 155},
      {"100 one at a time", [&] {
         for (int n = 1000; n < 1100; ++n) {
           c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (" + std::to_string(n) + ")");
         }
       }, 255},
      {"every header deleted", [&] { c->Execute("DELETE FROM Invoice_Header"); }, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change();
    EXPECT_EQ(TableCount(*c), s.headers);
    EXPECT_EQ(KeptCount(*c), s.headers);
    EXPECT_EQ(BrowseCount(c), s.headers);
    // Another connection sees what was committed.
    EXPECT_EQ(BrowseCount(db.Connect()), s.headers);
    // Changes are folded into the kept number as they come: a few stay apart.
    if (db.postgres()) {
      EXPECT_LT(ScalarNumber(*c, "SELECT count(*) FROM Table_Row_Changes"), 32);
    }
  }
}

// Only a browse of the whole table reads the kept number; a selection
// counts its rows. (The kept number is put off on purpose to tell them apart.)
TEST(KeptRowCount, OnlyAWholeTableIsCountedFromTheKeptNumber) {
  TempDatabase db(true, false);
  ComPtr<HostConnection> c = db.Connect();
  c->Execute(AddHeaders(1, 40));
  c->Execute("UPDATE Table_Rows SET row_count = row_count + 1000 WHERE table_name = 'invoice_header'");
  struct Case {
    std::string sql;
    std::int32_t count;
  };
  const Case cases[] = {
      {kBrowse, 1040},
      {"select *  from invoice_header", 1040},
      {"SELECT * FROM Invoice_Header Where (Export_Flag=1) And (Export_Date Is Null)  ORDER BY Invoice_No ", 20},
      {"SELECT invoice_no FROM Invoice_Header ORDER BY invoice_no", 40},
      {"SELECT * FROM Invoice_Header AS h ORDER BY h.invoice_no", 40},
      {"SELECT * FROM Invoice_Detail", 0},
  };
  for (const Case& k : cases) EXPECT_EQ(BrowseCount(c, k.sql), k.count) << k.sql;
}

// Books without the kept numbers (opened as they are, not upgraded) count
// the table.
TEST(KeptRowCount, BooksWithoutTheKeptNumbersCountTheTable) {
  TempDatabase db(true, false);
  {
    ComPtr<HostConnection> c = db.Connect();
    c->Execute(AddHeaders(1, 30));
    c->Execute("DROP TABLE Table_Rows");
  }
  ComPtr<HostConnection> c = db.Connect();
  EXPECT_EQ(BrowseCount(c), 30);
  c->BeginTrans();
  EXPECT_EQ(BrowseCount(c), 30);
  c->Rollback();
}

// Books of version 4 with headers: the upgrade starts the kept number at
// what the table holds, and the triggers go on from there.
TEST(KeptRowCount, AnUpgradeStartsFromTheHeadersThere) {
  TempDatabase db(false, false);
  {
    auto backend = data::OpenBackend(db.path());
    testing::CreateSchemaOfVersion(*backend, 4);
    auto exec = [&](const std::string& sql) { backend->Execute(data::TranslateClassic(sql, backend->dialect()), {}); };
    for (const auto& s : CatalogStatements(backend->dialect())) {
      backend->Execute(data::TranslateClassic(s.sql, backend->dialect()), s.values);
    }
    exec(AddHeaders(1, 7));
  }
  ComPtr<HostConnection> c = db.Connect();
  EXPECT_EQ(BrowseCount(c), 7);  // counted from the table before the upgrade
  EXPECT_TRUE(PrepareForWriting(*c).upgraded);
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);
  EXPECT_EQ(KeptCount(*c), 7);
  c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (100)");
  EXPECT_EQ(KeptCount(*c), 8);
  EXPECT_EQ(BrowseCount(db.Connect()), 8);
}

}  // namespace
}  // namespace tarvik::db
