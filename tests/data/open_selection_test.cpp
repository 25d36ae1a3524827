// A record set left open part way through its rows while another host
// commits: the connection's next queries and writes see that commit, and
// the rest of the rows follow the last one read, none skipped or repeated.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "data/data_recordset.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::TempDatabase;

constexpr int kHeaders = 600;

struct Selection {
  const char* name;
  std::string sql;
  // Sorts header numbers as the query does.
  std::function<bool(int, int)> before;
};
// By name: gtest would otherwise print the bytes, padding included.
void PrintTo(const Selection& s, std::ostream* os) { *os << s.name; }

std::vector<Selection> Selections() {
  return {
      {"PlainOrder", "SELECT * FROM Invoice_Header ORDER BY Invoice_No", [](int a, int b) { return a < b; }},
      {"Descending", "SELECT invoice_no, bill_to FROM Invoice_Header ORDER BY invoice_no DESC",
       [](int a, int b) { return a > b; }},
      // Ties on the first term, Null included, broken by the second.
      {"TiesAndNulls", "SELECT invoice_no, invoice_by FROM Invoice_Header ORDER BY invoice_by, invoice_no",
       [](int a, int b) {
         auto by = [](int n) { return n % 50 == 0 ? -1 : n % 4; };  // -1: Null, sorted first
         return by(a) != by(b) ? by(a) < by(b) : a < b;
       }},
      // An order of expressions: resumed by position.
      {"ExpressionOrder", "SELECT * FROM Invoice_Header ORDER BY invoice_no % 7, invoice_no",
       [](int a, int b) { return a % 7 != b % 7 ? a % 7 < b % 7 : a < b; }},
  };
}

class OpenSelection : public ::testing::TestWithParam<Selection> {
 protected:
  OpenSelection() : db_(true, false), a_(db_.Connect()), b_(db_.Connect()), rs_(NewDataRecordset()) {
    a_->BeginTrans();
    for (int n = 1; n <= kHeaders; ++n) Insert(*a_, n);
    a_->CommitTrans();
    rs_->SetConnection(a_);
  }
  static void Insert(HostConnection& c, int n) {
    c.ExecuteWith("INSERT INTO Invoice_Header (invoice_no, bill_to, invoice_by) VALUES (?1, 'B', ?2)",
                  {Variant::Long(n), n % 50 == 0 ? Variant::Null() : Variant::Long(n % 4)});
  }
  std::vector<int> Sorted(std::vector<int> numbers) const {
    std::sort(numbers.begin(), numbers.end(), GetParam().before);
    return numbers;
  }
  // Reads on from the current row to the end.
  std::vector<int> Rest() {
    std::vector<int> out;
    while (rs_->MoveNext()) out.push_back(rs_->ReadLong(0));
    return out;
  }

  TempDatabase db_;
  ComPtr<HostConnection> a_, b_;
  ComPtr<DataRecordset> rs_;
};

TEST_P(OpenSelection, AnotherHostsCommitIsSeenAndTheRestFollowsTheLastRowRead) {
  std::vector<int> all;
  for (int n = 1; n <= kHeaders; ++n) all.push_back(n);
  const std::vector<int> before = Sorted(all);

  ASSERT_TRUE(rs_->OpenRecordset(GetParam().sql));
  std::vector<int> seen{rs_->ReadLong(0)};
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(rs_->MoveNext());
    seen.push_back(rs_->ReadLong(0));
  }
  ASSERT_EQ(seen, std::vector<int>(before.begin(), before.begin() + 41));

  // The other host removes rows on both sides of the position and adds one.
  b_->Execute("DELETE FROM Invoice_Header WHERE invoice_no IN (" + std::to_string(seen[3]) + ", " +
              std::to_string(seen[30]) + ", " + std::to_string(before[45]) + ", " +
              std::to_string(before[300]) + ")");
  Insert(*b_, 5000);

  // This host's next statements see that commit, and it can write at once.
  EXPECT_EQ(ScalarNumber(*a_, "SELECT max(invoice_no) FROM Invoice_Header"), 5000);
  a_->BeginTrans();
  Insert(*a_, 5001);
  a_->CommitTrans();
  if (!db_.postgres()) {
    // Nobody reads an old snapshot any more: the log can be emptied at once.
    EXPECT_EQ(ScalarNumber(*b_, "PRAGMA wal_checkpoint(TRUNCATE)"), 0);
  }

  std::vector<int> now;
  for (int n : all) {
    if (n != seen[3] && n != seen[30] && n != before[45] && n != before[300]) now.push_back(n);
  }
  now.push_back(5000);
  now.push_back(5001);
  now = Sorted(now);
  const std::vector<int> rest = Rest();
  // Every row there is now after the last one read, in order, once; rows
  // read ahead before the commit may still include the one deleted right
  // ahead of the position, never the one far ahead.
  const std::vector<int> expected(std::upper_bound(now.begin(), now.end(), seen.back(), GetParam().before),
                                  now.end());
  EXPECT_EQ(std::adjacent_find(rest.begin(), rest.end(), [&](int a, int b) { return !GetParam().before(a, b); }),
            rest.end());
  EXPECT_TRUE(std::includes(rest.begin(), rest.end(), expected.begin(), expected.end(), GetParam().before));
  std::vector<int> extra;
  std::set_difference(rest.begin(), rest.end(), expected.begin(), expected.end(), std::back_inserter(extra),
                      GetParam().before);
  EXPECT_TRUE(extra.empty() || extra == std::vector<int>{before[45]}) << extra.size() << " rows too many";
}

// The keys of an invoicing run: opened before the transaction, read inside
// it, each row leaving the selection once it is worked.
TEST_P(OpenSelection, RowsReadBeforeATransactionAreNeitherSkippedNorRepeatedInsideIt) {
  ASSERT_TRUE(rs_->OpenRecordset(GetParam().sql));
  a_->BeginTrans();
  std::vector<int> worked;
  bool more = true;
  while (more) {
    const int n = rs_->ReadLong(0);
    more = rs_->MoveNext();
    worked.push_back(n);
    a_->Execute("DELETE FROM Invoice_Header WHERE invoice_no = " + std::to_string(n));
  }
  a_->CommitTrans();
  std::vector<int> all;
  for (int n = 1; n <= kHeaders; ++n) all.push_back(n);
  EXPECT_EQ(worked, Sorted(all));
  EXPECT_EQ(ScalarNumber(*a_, "SELECT count(*) FROM Invoice_Header"), 0);
}

// A scan inside a transaction goes on after the commit without the
// statement it was reading by.
TEST_P(OpenSelection, AScanGoesOnAfterTheTransactionItStartedInEnds) {
  ASSERT_TRUE(rs_->OpenRecordset(GetParam().sql));
  a_->BeginTrans();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(rs_->MoveNext());
  a_->CommitTrans();
  Insert(*b_, 5000);
  EXPECT_EQ(ScalarNumber(*a_, "SELECT count(*) FROM Invoice_Header"), kHeaders + 1);
  std::vector<int> all;
  for (int n = 1; n <= kHeaders; ++n) all.push_back(n);
  all.push_back(5000);
  const std::vector<int> order = Sorted(all);
  const int at = rs_->ReadLong(0);
  auto from = std::upper_bound(order.begin(), order.end(), at, GetParam().before);
  EXPECT_EQ(Rest(), std::vector<int>(from, order.end()));
}

INSTANTIATE_TEST_SUITE_P(Orders, OpenSelection, ::testing::ValuesIn(Selections()),
                         [](const ::testing::TestParamInfo<Selection>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::data
