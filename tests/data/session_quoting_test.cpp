// Texts of the classic dialect mean what they say whatever the session was
// told: a host that sets standard_conforming_strings off on the connection it
// hands over makes PostgreSQL read a backslash in quoted text as an escape,
// so a text ending in one would swallow its closing quote and the rest of
// the statement would run as code.
#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "data/read_only_query.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

class SessionQuoting : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.postgres()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
    c_ = db_.Connect();
    c_->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, paid) VALUES (1, 'first', 0)");
    c_->Execute("INSERT INTO Invoice_Header (invoice_no, bill_to, paid) VALUES (2, 'second', 0)");
    c_->ExecuteWith("SET standard_conforming_strings = off", {});
  }
  void TearDown() override {
    if (c_) c_->ExecuteWith("SET standard_conforming_strings = on", {});
  }

  TempDatabase db_{true, false};
  ComPtr<HostConnection> c_;
};

// Literals that stay in the text (an operand of ||, a function argument)
// are read as the classic dialect reads them: invoice 2 is changed, word
// for word, and invoice 1 is not reached.
TEST_F(SessionQuoting, ABackslashCannotEndAQuoteEarly) {
  const std::string tail = ", Paid = 99 WHERE Invoice_No = 1 --";
  ASSERT_TRUE(c_->Execute("UPDATE Invoice_Header SET Bill_To = 'x\\' || lower('" + tail + "') WHERE 2 = Invoice_No"));
  EXPECT_EQ(c_->RecordsAffected(), 1);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT paid FROM Invoice_Header WHERE invoice_no = 1"), 0);
  EXPECT_EQ(ScalarText(*c_, "SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1"), "first");
  EXPECT_EQ(ScalarText(*c_, "SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"),
            "x\\, paid = 99 where invoice_no = 1 --");
}

// The same through the other ways a text reaches the server: a marked
// statement with values, a read, and a checking read.
TEST_F(SessionQuoting, EveryWayInReadsTheTextAsWritten) {
  c_->ExecuteWith("UPDATE Invoice_Header SET Extra1 = 'a\\' || ?1 WHERE Invoice_No = 2", {Variant::String("b")});
  EXPECT_EQ(ScalarText(*c_, "SELECT extra1 FROM Invoice_Header WHERE invoice_no = 2"), "a\\b");
  EXPECT_EQ(ScalarText(*c_, "SELECT 'c\\' || 'd' AS t"), "c\\d");
  ReadLimits limits;
  const RowsRead read = c_->ReadOnlyRows("SELECT 'e\\' || 'f' AS t", limits);
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows.front().front(), Value{std::string("e\\f")});
}

// What a checking read allows is decided on the text as the classic dialect
// reads it; the server must read it the same way, or a function hidden in
// a quote to the check would run.
TEST_F(SessionQuoting, ACheckingReadRunsOnlyWhatWasChecked) {
  ReadLimits limits;
  const std::string sql = "SELECT 'a\\'' , pg_backend_pid() AS p /*' AS t -- */";
  RowsRead read;
  try {
    read = c_->ReadOnlyRows(sql, limits);
  } catch (const AutomationError&) {
    return;  // refused: nothing ran
  }
  ASSERT_EQ(read.columns.size(), 1u) << "the server ran code the check saw as text";
}

}  // namespace
}  // namespace tarvik::data
