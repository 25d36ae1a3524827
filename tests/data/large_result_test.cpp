// Record sets over results larger than what a caller visits: the end, keyed
// searches and steps from them must land on the same rows as a full read.
#include <gtest/gtest.h>

#include "data/data_recordset.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

constexpr int kHeaders = 3000;

class LargeResult : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new TempDatabase(true, false);
    auto c = db_->Connect();
    c->BeginTrans();
    for (int n = 1; n <= kHeaders; ++n) {
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
  EXPECT_EQ(rs_->RecordCount(), kHeaders);
  EXPECT_EQ(Key(), 1);
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_EQ(Key(), kHeaders);
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(Key(), kHeaders - 1);
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_FALSE(rs_->MoveNext());
  ASSERT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(Key(), kHeaders);

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
  EXPECT_EQ(rows, kHeaders);
  for (int i = 0; i < kHeaders; ++i) ASSERT_TRUE(rs_->MovePrevious());  // from past the end
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

}  // namespace
}  // namespace tarvik::data
