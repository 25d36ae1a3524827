// Record sets over results larger than what a caller visits: the end, keyed
// searches and steps from them must land on the same rows as a full read.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/data_recordset.h"
#include "platform/ascii.h"
#include "tests/support/temp_database.h"
#ifndef _WIN32
// The backends' read counters are test hooks of the Linux build only.
#include "data/backends/postgres/postgres_result_set.h"
#include "data/backends/sqlite/sqlite_result_set.h"
#endif

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

constexpr int kManyHeaders = 3000;

class LargeResult : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new TempDatabase(true, false);
    auto c = db_->Connect();
    c->BeginTrans();
    for (int n = 1; n <= kManyHeaders; ++n) {
      c->ExecuteWith("INSERT INTO Invoice_Header (invoice_no, bill_to, invoice_by) VALUES (?1, ?2, ?3)",
                     {Variant::Long(n), n % 300 == 0 ? Variant::Null() : Variant::String("B" + std::to_string(n)),
                      Variant::Long(n % 4)});
    }
    c->CommitTrans();
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }
  LargeResult() : c_(db_->Connect()), rs_(NewDataRecordset()) { rs_->SetConnection(c_); }
  std::int32_t Key() { return rs_->ReadLong(0); }
  bool Find(const std::string& criteria) { return rs_->FindFirst(Variant::String(criteria)); }

  static TempDatabase* db_;
  ComPtr<HostConnection> c_;
  ComPtr<DataRecordset> rs_;
};
TempDatabase* LargeResult::db_ = nullptr;

TEST_F(LargeResult, EndAndKeyedSearchUnderAPlainOrder) {
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY Invoice_No "));
  EXPECT_EQ(rs_->RecordCount(), kManyHeaders);
  EXPECT_EQ(Key(), 1);
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_EQ(Key(), kManyHeaders);
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(Key(), kManyHeaders - 1);
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_FALSE(rs_->MoveNext());
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(Key(), kManyHeaders);

  ASSERT_TRUE(Find("invoice_no = 1500"));
  EXPECT_EQ(Key(), 1500);
  EXPECT_EQ(rs_->ReadString(1), "");  // invoice_date is Null
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), 1501);
  ASSERT_TRUE(rs_->MovePrevious());
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(Key(), 1499);
  EXPECT_FALSE(Find("invoice_no = 99999"));
  EXPECT_EQ(Key(), 1499);  // a miss keeps the position
  ASSERT_TRUE(rs_->MoveFirst());
  EXPECT_EQ(Key(), 1);
}

TEST_F(LargeResult, DescendingOrderAndTextKeysWithNulls) {
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY invoice_no DESC"));
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_EQ(Key(), 1);
  ASSERT_TRUE(Find("invoice_no = 10"));
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), 9);

  // Text order, Nulls first: B10 stands right before B100.
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY bill_to, invoice_no"));
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY bill_to"));
  ASSERT_TRUE(Find("bill_to = 'B100'"));
  EXPECT_EQ(Key(), 100);
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(rs_->ReadString(3), "B10");
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_EQ(rs_->ReadString(3),
            ScalarText(*c_, "SELECT max(bill_to) FROM Invoice_Header"));
}

TEST_F(LargeResult, AnyOtherOrderStillLandsOnTheRowsOfAFullRead) {
  const std::string order = " ORDER BY invoice_no % 7, invoice_no";
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header" + order));
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_EQ(Key(), ScalarNumber(*c_, "SELECT invoice_no FROM Invoice_Header ORDER BY invoice_no % 7 "
                                     "DESC, invoice_no DESC LIMIT 1"));
  ASSERT_TRUE(Find("invoice_no = 2000"));
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), ScalarNumber(*c_, "SELECT invoice_no FROM Invoice_Header WHERE invoice_no % 7 = "
                                     "2000 % 7 AND invoice_no > 2000 ORDER BY invoice_no LIMIT 1"));
}

// A forward scan keeps only a stretch of rows; going back past it reads
// them again by window.
TEST_F(LargeResult, ScanToTheEndThenWalkBack) {
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY invoice_no % 5, invoice_no"));
  int rows = 1;
  while (rs_->MoveNext()) ++rows;
  EXPECT_EQ(rows, kManyHeaders);
  for (int i = 0; i < kManyHeaders; ++i) ASSERT_TRUE(rs_->MovePrevious());  // from past the end
  EXPECT_EQ(Key(), 5);  // first in the order: remainder 0, smallest number
  EXPECT_FALSE(rs_->MovePrevious());
  ASSERT_TRUE(Find("invoice_no = 7"));
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), 12);
}

TEST_F(LargeResult, AnOpenResultSurvivesARollbackOnItsConnection) {
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY Invoice_No "));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), 6);
  c_->BeginTrans();
  c_->Execute("DELETE FROM Invoice_Detail");
  c_->Rollback();
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(Key(), 1006);
}

// A window's reach and more, walked back from the end one row at a time:
// each step lands on the row before, never skipping or repeating one.
TEST_F(LargeResult, WalkBackFromTheEndAcrossWindows) {
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY Invoice_No "));
  ASSERT_TRUE(rs_->MoveLast());
  for (int n = kManyHeaders - 1; n >= kManyHeaders - 900; --n) {
    ASSERT_TRUE(rs_->MovePrevious());
    ASSERT_EQ(Key(), n);
  }
  ASSERT_TRUE(Find("invoice_no = 1200"));
  for (int n = 1199; n >= 700; --n) {
    ASSERT_TRUE(rs_->MovePrevious());
    ASSERT_EQ(Key(), n);
  }
  for (int n = 701; n <= 1300; ++n) {
    ASSERT_TRUE(rs_->MoveNext());
    ASSERT_EQ(Key(), n);
  }
}

#ifndef _WIN32
// Rows the result sets of the fixture's backend have read so far.
std::uint64_t RowsFetchedSoFar(const TempDatabase& db) {
  return db.postgres() ? PostgresRowsFetched() : SqliteRowsRead();
}

// Opening a selection and moving to its last row (what a browse does after
// every Save) reads the first rows, a count and the last rows: as many for
// a few dozen rows as for thousands. Walking back from there to the first
// row lands on every row in turn.
TEST_F(LargeResult, TheLastRowCostsTheSameWhateverTheSizeOfTheSelection) {
  for (int size : {20, 40, 100, 300, 700, kManyHeaders}) {
    SCOPED_TRACE(size);
    const std::string sql =
        "SELECT * FROM Invoice_Header WHERE invoice_no <= " + std::to_string(size) + " ORDER BY Invoice_No ";
    const std::uint64_t before = RowsFetchedSoFar(*db_);
    ASSERT_TRUE(rs_->OpenRecordset(sql));
    EXPECT_EQ(rs_->RecordCount(), size);
    ASSERT_TRUE(rs_->MoveLast());
    EXPECT_EQ(Key(), size);
    EXPECT_LE(RowsFetchedSoFar(*db_) - before, 40u);

    const int walk = std::min(size, 800);
    for (int n = size - 1; n > size - walk; --n) {
      ASSERT_TRUE(rs_->MovePrevious());
      ASSERT_EQ(Key(), n);
    }
    if (walk == size) {
      EXPECT_FALSE(rs_->MovePrevious());
    }
    ASSERT_TRUE(rs_->MoveLast());
    EXPECT_EQ(Key(), size);
    EXPECT_FALSE(rs_->MoveNext());
  }
}
#endif

// The rows of the fixture in the order a query sorts them.
struct Ordering {
  const char* name;
  std::string sql;
  int number_column;                     // where invoice_no is
  std::function<bool(int, int)> before;  // on header numbers
  bool ties = false;                     // rows of equal keys
};
// By name: gtest would otherwise print the bytes, padding included.
void PrintTo(const Ordering& o, std::ostream* os) { *os << o.name; }

int InvoiceBy(int n) { return n % 4; }
// bill_to: Null every 300th, else "B<n>"; Null sorts first.
std::optional<std::string> BillTo(int n) {
  if (n % 300 == 0) return std::nullopt;
  return "B" + std::to_string(n);
}

std::vector<Ordering> Orderings() {
  return {
      {"Unique", "SELECT invoice_no, invoice_by FROM Invoice_Header ORDER BY invoice_by, invoice_no", 0,
       [](int a, int b) { return InvoiceBy(a) != InvoiceBy(b) ? InvoiceBy(a) < InvoiceBy(b) : a < b; }},
      {"NullsFirst", "SELECT invoice_no, bill_to FROM Invoice_Header ORDER BY bill_to", 0,
       [](int a, int b) { return BillTo(a) < BillTo(b); }, true},  // nullopt sorts first, as Null does
      {"NullsLastDescending", "SELECT invoice_no, bill_to FROM Invoice_Header ORDER BY bill_to DESC", 0,
       [](int a, int b) { return BillTo(b) < BillTo(a); }, true},
      // A quarter of the rows per key: which of equal rows comes first is
      // the database's choice, the key order is not.
      {"DuplicateKeys", "SELECT invoice_no, invoice_by FROM Invoice_Header ORDER BY invoice_by", 0,
       [](int a, int b) { return InvoiceBy(a) < InvoiceBy(b); }, true},
      {"DuplicateKeysDescending", "SELECT invoice_by, invoice_no FROM Invoice_Header ORDER BY invoice_by DESC", 1,
       [](int a, int b) { return InvoiceBy(a) > InvoiceBy(b); }, true},
  };
}

class LargeResultOrders : public LargeResult, public ::testing::WithParamInterface<Ordering> {
 protected:
  int Number() { return rs_->ReadLong(GetParam().number_column); }
  // SQLite's result set places rows of equal keys by the statement that
  // reads them: the tail read backwards and a keyed search's count do not
  // agree with the forward stream there.
  bool TiesUnplaced() const { return GetParam().ties && !db_->postgres(); }
  // Each row once, in an order that agrees with the model's on keys.
  void ExpectSameRows(const std::vector<int>& seen) const {
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kManyHeaders));
    for (std::size_t i = 1; i < seen.size(); ++i) {
      ASSERT_FALSE(GetParam().before(seen[i], seen[i - 1])) << "row " << i << " out of order";
    }
    std::vector<int> sorted = seen;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a row seen twice";
  }
};

// Forwards through many batches and backwards through many windows, the
// rows are the same and in the same places.
TEST_P(LargeResultOrders, ForwardsAndBackwardsAgreeOnEveryPosition) {
  if (TiesUnplaced()) GTEST_SKIP() << "equal keys have no fixed places on SQLite";
  ASSERT_TRUE(rs_->OpenRecordset(GetParam().sql));
  EXPECT_EQ(rs_->RecordCount(), kManyHeaders);
  std::vector<int> forwards{Number()};
  while (rs_->MoveNext()) forwards.push_back(Number());
  ExpectSameRows(forwards);

  ASSERT_TRUE(rs_->OpenRecordset(GetParam().sql));
  ASSERT_TRUE(rs_->MoveLast());
  std::vector<int> backwards{Number()};
  while (rs_->MovePrevious()) backwards.push_back(Number());
  std::reverse(backwards.begin(), backwards.end());
  EXPECT_EQ(backwards, forwards);
}

// Searches by key from positions through the result, as the result set's
// own interface takes them; positions counted after a keyed search.
TEST_P(LargeResultOrders, FindFirstFromPositionsAndTheSoughtRowsPosition) {
  if (TiesUnplaced()) GTEST_SKIP() << "equal keys have no fixed places on SQLite";
  std::unique_ptr<ResultSet> probe = c_->OpenQuery(GetParam().sql);
  std::vector<int> order;
  const int column = GetParam().number_column;
  for (std::int64_t r = 0; probe->Seek(r); ++r) {
    order.push_back(static_cast<int>(std::get<std::int64_t>(probe->Column(column))));
  }
  ExpectSameRows(order);
  auto position = [&](int n) { return std::find(order.begin(), order.end(), n) - order.begin(); };

  for (int n : {1, 2, 299, 300, 1500, 2999, 3000}) {
    const std::int64_t at = position(n);
    struct Case {
      std::int64_t from;
      std::optional<std::int64_t> found;
    };
    const Case cases[] = {{0, at}, {at, at}, {at + 1, std::nullopt}, {std::max<std::int64_t>(at - 700, 0), at}};
    for (const Case& c : cases) {
      std::unique_ptr<ResultSet> rs = c_->OpenQuery(GetParam().sql);
      EXPECT_EQ(rs->FindFirst("Invoice_No", Value{std::int64_t{n}}, c.from), c.found) << n << " from " << c.from;
    }
    std::unique_ptr<ResultSet> rs = c_->OpenQuery(GetParam().sql);
    ASSERT_TRUE(rs->SeekFirst("invoice_no", Value{double(n)})) << n;
    EXPECT_EQ(rs->SoughtRow(), at) << n;
    if (at + 1 < kManyHeaders) {
      ASSERT_TRUE(rs->Seek(at + 1));
      EXPECT_EQ(rs->Column(column), Value{std::int64_t{order[static_cast<std::size_t>(at + 1)]}});
    }
    EXPECT_FALSE(rs->SeekFirst("invoice_no", Value{n + 0.5}));
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, LargeResultOrders, ::testing::ValuesIn(Orderings()),
                         [](const ::testing::TestParamInfo<Ordering>& info) { return std::string(info.param.name); });

TEST_F(LargeResult, AnEmptyResult) {
  const std::string sql = "SELECT * FROM Invoice_Header WHERE invoice_no < 0 ORDER BY invoice_no";
  EXPECT_FALSE(rs_->OpenRecordset(sql));
  EXPECT_EQ(rs_->RecordCount(), 0);
  EXPECT_FALSE(rs_->MoveLast());
  EXPECT_FALSE(rs_->MoveFirst());
  EXPECT_FALSE(Find("invoice_no = 1"));
  std::unique_ptr<ResultSet> rs = c_->OpenQuery(sql);
  EXPECT_EQ(rs->RowCount(), 0);
  ASSERT_GT(rs->ColumnCount(), 3);
  EXPECT_EQ(AsciiLower(rs->ColumnName(0)), "invoice_no");
  EXPECT_FALSE(rs->Seek(0));
  EXPECT_EQ(rs->FindFirst("invoice_no", Value{std::int64_t{1}}, 0), std::nullopt);
  EXPECT_FALSE(rs->SeekFirst("invoice_no", Value{std::int64_t{1}}));
}

}  // namespace
}  // namespace tarvik::data
