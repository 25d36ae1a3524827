// The PostgreSQL result set reads windows, never a whole result: what it
// asks the server for, counted through its row fetcher and the process's
// count of rows read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/backends/postgres/postgres_result_set.h"
#include "data/data_recordset.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::TempDatabase;

// A fetcher that answers every SELECT with the same rows and notes what
// it was asked.
struct FakeServer {
  std::vector<std::vector<Value>> rows;
  std::vector<std::string> asked;
  bool refuse_union = false;  // as the server does when an order term is no result column

  RowFetcher Fetcher() {
    return [this](const std::string& sql, const std::vector<Value>&) {
      asked.push_back(sql);
      if (refuse_union && sql.find("UNION ALL") != std::string::npos) {
        RaiseError(kErrDatabase, "Database error: column \"k\" does not exist");
      }
      RowBlock block{{"k", "v"}, rows};
      if (sql.find("count(*) OVER ()") != std::string::npos) {  // the count rides along
        block.columns.push_back("tarvik_rows");
        const std::int64_t count = static_cast<std::int64_t>(rows.size());
        for (auto& row : block.rows) row.emplace_back(std::in_place_type<std::int64_t>, count);
      }
      return block;
    };
  }
};

FakeServer Rows(int n) {
  FakeServer server;
  for (int i = 0; i < n; ++i) server.rows.push_back({Value{std::int64_t{i}}, Value{"v" + std::to_string(i)}});
  return server;
}

TEST(PostgresResultSet, AShortResultIsWholeInOneRoundTripWithoutACount) {
  FakeServer server = Rows(5);
  auto rs = NewPostgresResultSet(server.Fetcher(), "SELECT k, v FROM t ORDER BY k", {});
  EXPECT_EQ(rs->RowCount(), 5);
  ASSERT_TRUE(rs->Seek(4));
  EXPECT_EQ(rs->Column(1), Value{"v4"});
  EXPECT_FALSE(rs->Seek(5));
  ASSERT_TRUE(rs->Seek(1));
  ASSERT_TRUE(rs->SeekFirst("K", Value{3.0}));
  EXPECT_EQ(rs->SoughtRow(), 3);
  EXPECT_EQ(rs->FindFirst("v", Value{"v2"}, 1), 2);
  EXPECT_EQ(rs->FindFirst("v", Value{"v2"}, 3), std::nullopt);
  EXPECT_FALSE(rs->SeekFirst("k", Value{7.0}));
  EXPECT_EQ(server.asked.size(), 1u);
  EXPECT_NE(server.asked.front().find("LIMIT 16"), std::string::npos) << server.asked.front();
}

TEST(PostgresResultSet, AnythingButASelectIsReadWholeOnceAsWritten) {
  for (const char* sql : {"EXPLAIN SELECT * FROM t", "SHOW work_mem",
                          "WITH gone AS (DELETE FROM t RETURNING k) SELECT k FROM gone"}) {
    FakeServer server = Rows(40);
    auto rs = NewPostgresResultSet(server.Fetcher(), sql, {});
    EXPECT_EQ(rs->RowCount(), 40) << sql;
    ASSERT_TRUE(rs->Seek(39));
    ASSERT_TRUE(rs->Seek(0));
    ASSERT_EQ(server.asked, std::vector<std::string>{sql});
  }
}

TEST(PostgresResultSet, AnOrderOfOtherThanResultColumnsIsReadByPosition) {
  FakeServer server = Rows(3);
  server.refuse_union = true;
  auto rs = NewPostgresResultSet(server.Fetcher(), "SELECT k, v FROM t ORDER BY t.other", {});
  EXPECT_EQ(rs->RowCount(), 3);
  ASSERT_EQ(server.asked.size(), 2u);
  EXPECT_EQ(server.asked.back().find("UNION ALL"), std::string::npos);
  ASSERT_EQ(rs->ColumnCount(), 2);
  ASSERT_TRUE(rs->Seek(2));
  EXPECT_EQ(rs->Column(1), Value{"v2"});
}

// A sort of expressions reads the whole result on the server for its first
// rows: the count comes in the same round trip, not after.
TEST(PostgresResultSet, AnExpressionOrderCountsWithItsFirstBatch) {
  FakeServer server = Rows(16);
  auto rs = NewPostgresResultSet(server.Fetcher(), "SELECT k, v FROM t ORDER BY k % 7, k", {});
  EXPECT_EQ(rs->ColumnCount(), 2);
  EXPECT_EQ(rs->RowCount(), 16);
  ASSERT_TRUE(rs->Seek(15));
  EXPECT_EQ(rs->Column(0), Value{std::int64_t{15}});
  EXPECT_EQ(server.asked.size(), 1u);
}

TEST(PostgresResultSet, ErrorsOfTheSelectTravel) {
  RowFetcher failing = [](const std::string&, const std::vector<Value>&) -> RowBlock {
    RaiseError(kErrDatabase, "Database error: relation \"t\" does not exist");
  };
  for (const char* sql : {"SELECT k FROM t", "SELECT k FROM t ORDER BY k", "SHOW nothing"}) {
    try {
      NewPostgresResultSet(failing, sql, {});
      ADD_FAILURE() << sql << " answered";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kErrDatabase) << sql;
    }
  }
}

constexpr int kManyHeaders = 100000;

// A browse of a large selection reads a few windows of it: the end, a keyed
// search, steps either way from it; and a transaction in between.
TEST(PostgresResultSetOnServer, ABrowseOfManyRowsReadsAFewWindows) {
  TempDatabase db(true, false);
  if (!db.postgres()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
  ComPtr<HostConnection> c = db.Connect();
  c->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, invoice_by) SELECT n, 'B', n % 4 "
             "FROM generate_series(1, " + std::to_string(kManyHeaders) + ") AS n");
  ComPtr<DataRecordset> rs = NewDataRecordset();
  rs->SetConnection(c);

  const std::uint64_t before = PostgresRowsFetched();
  ASSERT_TRUE(rs->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY Invoice_No "));
  EXPECT_EQ(rs->RecordCount(), kManyHeaders);
  ASSERT_TRUE(rs->MoveLast());
  EXPECT_EQ(rs->ReadLong(0), kManyHeaders);
  ASSERT_TRUE(rs->FindFirst(Variant::String("invoice_no = 50000")));
  ASSERT_TRUE(rs->MoveNext());
  EXPECT_EQ(rs->ReadLong(0), 50001);
  c->BeginTrans();
  for (int n = 50000; n >= 49000; --n) {
    ASSERT_TRUE(rs->MovePrevious());
    ASSERT_EQ(rs->ReadLong(0), n);
  }
  c->CommitTrans();
  // Every row visited and the windows around them, no more.
  EXPECT_LE(PostgresRowsFetched() - before, 1002u + 4 * 256u);
}

// The keys of an invoicing run: a sort of expressions, opened before the
// transaction and read to its end inside it, past every batch size, while
// the rows read leave it.
TEST(PostgresResultSetOnServer, ASortOfExpressionsReadsToItsEndAcrossATransaction) {
  TempDatabase db(true, false);
  if (!db.postgres()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
  ComPtr<HostConnection> c = db.Connect();
  constexpr int kRows = 9000;  // past the largest batch
  c->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, invoice_by) SELECT n, 'B', n % 4 "
             "FROM generate_series(1, " + std::to_string(kRows) + ") AS n");
  ComPtr<DataRecordset> rs = NewDataRecordset();
  rs->SetConnection(c);
  ASSERT_TRUE(rs->OpenRecordset("SELECT invoice_no FROM Invoice_Header WHERE invoice_by <> 9 ORDER BY invoice_no + 0"));
  c->BeginTrans();
  // As the invoicing does: a key is read, the next one asked for, then the
  // order of the key read is invoiced and leaves the selection.
  int read = 0;
  bool more = true;
  while (more) {
    const int key = rs->ReadLong(0);
    ASSERT_EQ(key, read + 1);
    ++read;
    more = rs->MoveNext();
    c->Execute("UPDATE Invoice_Header SET invoice_by = 9 WHERE invoice_no = " + std::to_string(key));
  }
  c->CommitTrans();
  EXPECT_EQ(read, kRows);
}

}  // namespace
}  // namespace tarvik::data
