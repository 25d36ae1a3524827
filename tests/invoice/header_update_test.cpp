// Header update: the one UPDATE statement, its transaction, and Save's
// edit path around it.
#include <gtest/gtest.h>

#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/error_number.h"

namespace tarvik::testing {
namespace {

using invoice::InvoiceTestPeer;

class HeaderUpdate : public InvoiceTest {
 protected:
  void Load(std::int32_t number) {
    Let("Filter", "INVOICE_NUMBER");
    Let("InvoiceNo", std::to_string(number));
    ASSERT_TRUE(Call("OpenRecordset"));
    recorder_->ClearLog();
  }
};

TEST_F(HeaderUpdate, StatementWritesAllNineColumnsInTheirForms) {
  const std::string all_empty =
      "UPDATE Invoice_Header SET Ship_Date = Null, Bill_To = Null, Freight = 0, "
      "Other_Charge = 0, Extra1 = Null, Extra2 = Null, Paid = 0, Export_Flag = 0, "
      "Export_Date = Null WHERE Invoice_No = 1042";
  struct Case {
    std::vector<std::pair<std::string, std::string>> texts;
    std::uint8_t export_flag;
    std::string sql;
  };
  const Case cases[] = {
      {{{"InvoiceNo", "1042"}}, 0, all_empty},
      {{{"InvoiceNo", "1042"}, {"BillTo", "O'Hara Supply"}}, 0,
       "UPDATE Invoice_Header SET Ship_Date = Null, Bill_To = 'O''Hara Supply', Freight = 0, "
       "Other_Charge = 0, Extra1 = Null, Extra2 = Null, Paid = 0, Export_Flag = 0, "
       "Export_Date = Null WHERE Invoice_No = 1042"},
      {{{"InvoiceNo", "x"}, {"ShipDate", "5/6/2024"}, {"FreightAmount", "12.50"},
        {"OtherCharge", "1234567.89"}, {"Extra1", "e1"}, {"Extra2", "it's"},
        {"Paid", "0.1"}, {"Export_Date", "not a date"}},
       255,
       "UPDATE Invoice_Header SET Ship_Date = #5/6/2024#, Bill_To = Null, Freight = 12.5, "
       "Other_Charge = 1234568, Extra1 = 'e1', Extra2 = 'it''s', Paid = 0.1, "
       "Export_Flag = 255, Export_Date = Null WHERE Invoice_No = 0"},
      {{{"InvoiceNo", "1042"}, {"ShipDate", "13/45/2024"}, {"FreightAmount", "abc"},
        {"OtherCharge", "12345678"}, {"Paid", "1e300"}, {"Export_Date", "4/1/2024 2:30 PM"}},
       1,
       "UPDATE Invoice_Header SET Ship_Date = Null, Bill_To = Null, Freight = 0, "
       "Other_Charge = 1.234568E+07, Extra1 = Null, Extra2 = Null, Paid = 1E+300, "
       "Export_Flag = 1, Export_Date = #4/1/2024 2:30:00 PM# WHERE Invoice_No = 1042"},
  };
  InsertHeader(1042);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    for (const auto& [name, value] : c.texts) Let(name, value);
    InvokeByName(raw(), "Export_Flag", CallKind::kLet, {Variant::Byte(c.export_flag)});
    recorder_->ClearLog();
    const bool updated = InvoiceTestPeer::UpdateHeader(inv());
    EXPECT_EQ(updated, c.sql.ends_with("1042"));
    const std::vector<std::string> expected = {"BeginTrans", "Execute: " + c.sql,
                                               "RecordsAffected",
                                               updated ? "CommitTrans" : "Rollback"};
    EXPECT_EQ(Calls(), expected);
    for (const auto& [name, value] : c.texts) Let(name, "");
  }
  // The last update stands in the row.
  EXPECT_EQ(Scalar("SELECT other_charge FROM Invoice_Header WHERE invoice_no = 1042"), 12345680);
  EXPECT_EQ(ScalarString("SELECT export_date FROM Invoice_Header WHERE invoice_no = 1042"),
            "2024-04-01 14:30:00");
  EXPECT_EQ(real_->TransactionDepth(), 0);
}

TEST_F(HeaderUpdate, SaveInEditModeWritesAndReloadsTheHeader) {
  InsertHeader(1);
  InsertHeader(2);
  InsertHeader(3);
  Load(2);
  Let("Filter", "");
  Let("BillTo", "New Name");
  Let("FreightAmount", "7.25");
  LetNumber("TransactionMode", 2);
  EXPECT_TRUE(Save());
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "New Name");
  EXPECT_EQ(ScalarString("SELECT invoice_date FROM Invoice_Header WHERE invoice_no = 2"),
            "2024-03-15");  // creation's column, never edited
  // Find opened the whole selection (its last header is 3), then the saved
  // invoice was sought and loaded.
  EXPECT_EQ(Text("InvoiceNo"), "2");
  EXPECT_EQ(Text("FreightAmount"), "7.25");
  EXPECT_EQ(Number("RecordCount"), 3);
  const auto browse = recordsets_.CallsOf(1);
  EXPECT_NE(std::find(browse.begin(), browse.end(), "FindFirst: invoice_no = 2"), browse.end());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(HeaderUpdate, EditOfAMissingInvoiceAnswersFalseAndChangesNothing) {
  InsertHeader(1);
  Load(1);
  real_->Execute("DELETE FROM Invoice_Header WHERE invoice_no = 1");  // deleted meanwhile
  const std::string before = Snapshot();
  LetNumber("TransactionMode", 2);
  Let("BillTo", "ghost");
  EXPECT_FALSE(Save());
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Text("InfoMsg"), "");
  EXPECT_EQ(Calls().back(), "Rollback");
}

TEST_F(HeaderUpdate, OtherModesSaveNothing) {
  InsertHeader(1);
  Load(1);
  for (std::int32_t mode : {0, 3, 9, -1}) {
    SCOPED_TRACE(mode);
    LetNumber("TransactionMode", mode);
    EXPECT_FALSE(Save());
    EXPECT_TRUE(Calls().empty());
  }
}

TEST_F(HeaderUpdate, StatementThatFailsOrRaisesEndsItsTransaction) {
  InsertHeader(1);
  Load(1);
  const std::string before = Snapshot();
  Let("BillTo", "changed");
  recorder_->SetFault([](const std::string& c) { return c.rfind("Execute:", 0) == 0; });
  EXPECT_FALSE(InvoiceTestPeer::UpdateHeader(inv()));
  EXPECT_EQ(Calls().back(), "Rollback");

  recorder_->SetFault(nullptr);
  recorder_->SetRaise([](const std::string& c) { return c == "RecordsAffected"; });
  LetNumber("TransactionMode", 2);
  EXPECT_EQ(ErrorNumberOf([&] { Save(); }), kErrDatabase);
  EXPECT_EQ(real_->TransactionDepth(), 0);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(Boxes().empty());  // the error reaches the host, not a box
}

// A session that reads backslashes in quoted text as escapes (PostgreSQL
// with standard_conforming_strings off) sees a Bill To ending in a backslash
// swallow the quote after it; as literal text, an Extra1 made for it would
// then retarget the update to another invoice. The values go as parameters:
// the update changes its own invoice, word for word.
TEST_F(HeaderUpdate, BackslashesCannotRetargetTheUpdate) {
  if (real_->SqlDialect() != data::Dialect::kPostgres) GTEST_SKIP() << "PostgreSQL only";
  InsertHeader(1, "first");
  InsertHeader(2, "second");
  Load(2);
  real_->ExecuteWith("SET standard_conforming_strings = off", {});
  const std::string extra1 = ", Extra2 = 1 WHERE Invoice_No = 1 --";
  Let("BillTo", "x\\");
  Let("Extra1", extra1);
  ASSERT_TRUE(InvoiceTestPeer::UpdateHeader(inv()));
  const std::string sql = Calls().at(1).substr(std::string("Execute: ").size());
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "x\\");
  EXPECT_EQ(ScalarString("SELECT extra1 FROM Invoice_Header WHERE invoice_no = 2"), extra1);
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1"), "first");
  EXPECT_EQ(ScalarString("SELECT extra2 FROM Invoice_Header WHERE invoice_no = 1"), "x2");

  // The same statement sent as literal text, as a host might send it on
  // this session, still changes invoice 2 and only invoice 2: the backend
  // puts standard strings back before any text with a backslash.
  real_->BeginTrans();
  real_->ExecuteWith("SET standard_conforming_strings = off", {});
  EXPECT_EQ(real_->ExecuteWith(sql, {}), 1);
  EXPECT_EQ(ScalarString("SELECT extra2 FROM Invoice_Header WHERE invoice_no = 1"), "x2");
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), "x\\");
  real_->Rollback();
  real_->ExecuteWith("SET standard_conforming_strings = on", {});
}

}  // namespace
}  // namespace tarvik::testing
