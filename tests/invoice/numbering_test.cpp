// Numbering and the header insert: the exact statement, the value forms,
// and what reaches the table.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/late_bound.h"
#include "platform/limits.h"
#include "tests/invoice/invoice_fixture.h"
#include "data/backend.h"
#include "tests/support/counting_backend.h"
#include "tests/support/error_number.h"

namespace tarvik::testing {
namespace {

std::string TodayLiteral() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return "#" + std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday) + "/" +
         std::to_string(local.tm_year + 1900) + "#";
}

class Numbering : public InvoiceTest {
 protected:
  std::string Next() {
    return InvokeByName(raw(), "Get_Next_Invoice_No", CallKind::kMethod).ToString();
  }
  bool AddHeader() {
    return InvokeByName(raw(), "AddHeader", CallKind::kMethod).ToBoolean();
  }
};

TEST_F(Numbering, NextNumberIsTheHighestPlusOne) {
  EXPECT_EQ(Next(), "1");  // Max over no rows is Null, read as 0
  real_->BeginTrans();
  for (int n = 1; n <= 1041; ++n) InsertHeader(n);
  real_->CommitTrans();
  Let("InvoiceNo", "untouched");
  recordsets_.ClearLog();
  EXPECT_EQ(Next(), "1042");
  EXPECT_EQ(Text("InvoiceNo"), "untouched");
  // A record set of its own, made for the one query and closed.
  const std::vector<std::string> expected = {
      "Connection", "OpenRecordset: Select Max(invoice_no) From Invoice_Header [-1, -1, -1]",
      "ReadLong(0)", "CloseRecordset"};
  EXPECT_EQ(recordsets_.CallsOf(4), expected);  // rs3 served the first call
}

TEST_F(Numbering, NextNumberAfterTheLargestLongOverflows) {
  InsertHeader(2147483647);
  EXPECT_EQ(ErrorNumberOf([&] { Next(); }), kErrOverflow);
}

TEST_F(Numbering, InsertStatementTakesEveryValueInItsForm) {
  const std::string d = TodayLiteral();
  const std::string head =
      "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
      "other_charge, invoice_by, extra1, extra2, paid, export_flag ) VALUES (";
  struct Case {
    std::vector<std::pair<std::string, std::string>> texts;
    std::int32_t invoice_by;
    std::uint8_t export_flag;
    std::string values;
  };
  const Case cases[] = {
      {{{"InvoiceNo", "1042"}, {"BillTo", "O'Brien"}, {"FreightAmount", "12.50"}},
       0, 0, "1042, " + d + ", Null, 'O''Brien', 12.5, 0, 0, Null, Null, 0, 0) "},
      {{{"InvoiceNo", "abc"}, {"ShipDate", "3/16/2024"}, {"FreightAmount", "abc"},
        {"OtherCharge", "1234567.89"}, {"Extra1", "a'b"}, {"Paid", "12345678.125"}},
       3, 255, "0, " + d + ", #3/16/2024#, Null, 0, 1234568, 3, 'a''b', Null, 12345678.125, 255) "},
      {{{"InvoiceNo", "7.5"}, {"ShipDate", "2/30/2024"}, {"FreightAmount", "12345678"},
        {"Extra2", "x"}, {"Paid", "-0.5"}, {"InvoiceDate", "1/1/1999"}, {"Export_Date", "1/1/1999"}},
       1, 1, "8, " + d + ", Null, Null, 1.234568E+07, 0, 1, Null, 'x', -0.5, 1) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values);
    for (const auto& [name, value] : c.texts) Let(name, value);
    LetNumber("PrintInvoiceBy", c.invoice_by);
    InvokeByName(raw(), "Export_Flag", CallKind::kLet, {Variant::Byte(c.export_flag)});
    recorder_->ClearLog();
    EXPECT_TRUE(AddHeader());
    const std::vector<std::string> expected = {"Execute: " + head + c.values, "RecordsAffected"};
    EXPECT_EQ(Calls(), expected);
    for (const auto& [name, value] : c.texts) Let(name, "");
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header"), 3);
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 1042"), "O'Brien");
  EXPECT_EQ(Scalar("SELECT freight FROM Invoice_Header WHERE invoice_no = 8"), 12345680);
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header WHERE export_date IS NOT NULL"), 0);
}

TEST_F(Numbering, HostileTextStaysOneQuotedValue) {
  const std::string hostile = "x'); DELETE FROM Invoice_Header; --";
  InsertHeader(1);
  Let("InvoiceNo", "2");
  Let("BillTo", hostile);
  Let("Extra1", std::string(5000, 'q') + "'");
  ASSERT_TRUE(AddHeader());
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header"), 2);
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 2"), hostile);
  EXPECT_EQ(Scalar("SELECT length(extra1) FROM Invoice_Header WHERE invoice_no = 2"), 5001);
}

TEST_F(Numbering, InsertFailuresAnswerFalseOrRaiseAndWriteNothing) {
  InsertHeader(5, "first");
  Let("InvoiceNo", "5");
  Let("BillTo", "second");
  // The key refuses a number already stored: an error for the caller.
  EXPECT_EQ(ErrorNumberOf([&] { AddHeader(); }), kErrKeyViolation);
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 5"), "first");

  Let("InvoiceNo", "6");
  recorder_->SetFault([](const std::string& call) { return call.rfind("Execute:", 0) == 0; });
  recorder_->ClearLog();
  EXPECT_FALSE(AddHeader());
  ASSERT_EQ(Calls().size(), 1u);  // no count read after a failed statement
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header"), 1);
  EXPECT_EQ(ErrorNumberOf([&] {
              InvokeByName(raw(), "InvoiceNo", CallKind::kLet, {Variant::String("99999999999")});
              AddHeader();
            }),
            kErrOverflow);
}

// Each text the header holds is bounded; past the bound nothing is sent.
TEST_F(Numbering, TextsLongerThanTheLimitAreRefusedBeforeTheInsert) {
  for (const char* member : {"BillTo", "Extra1", "Extra2"}) {
    SCOPED_TRACE(member);
    Let("InvoiceNo", "7");
    for (const char* other : {"BillTo", "Extra1", "Extra2"}) Let(other, "");
    Let(member, std::string(kMaxTextBytes + 1, 'x'));
    recorder_->ClearLog();
    EXPECT_EQ(ErrorNumberOf([&] { AddHeader(); }), kErrInvalidProcedureCall);
    EXPECT_TRUE(Calls().empty()) << "a statement was sent";
    EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header"), 0);
    Let(member, std::string(kMaxTextBytes, 'x'));
    ASSERT_TRUE(AddHeader());
    EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header"), 1);
    real_->Execute("DELETE FROM Invoice_Header");
  }
}

TEST_F(Numbering, InsertLetsEventsRunOnce) {
  Let("InvoiceNo", "1");
  const int before = ui_.pumps();
  ASSERT_TRUE(AddHeader());
  EXPECT_EQ(ui_.pumps() - before, 1);
}

// A hundred headers of different values, written by the component with its
// literal text, reach the engine as one statement: prepared once, not once
// per invoice.
TEST_F(Numbering, HundredHeadersReachTheEngineAsOneStatement) {
  auto backend = std::make_unique<CountingBackend>(data::OpenBackend(db_.path()));
  CountingBackend& counted = *backend;
  ComPtr<data::HostConnection> connection = data::NewConnection(std::move(backend));
  inv().Connect(connection.get());
  counted.Clear();
  for (int i = 0; i < 100; ++i) {
    const std::string n = std::to_string(i);
    Let("InvoiceNo", std::to_string(7000 + i));
    Let("ShipDate", "4/" + std::to_string(i % 28 + 1) + "/2024");
    Let("BillTo", "Customer " + n + (i % 9 == 0 ? " O'Hara \\ ?1 $1 ;--" : ""));
    Let("FreightAmount", n + ".25");
    Let("OtherCharge", "1." + n + "5");
    Let("Extra1", "e" + n);
    Let("Extra2", "it's " + n);
    Let("Paid", n + ".75");
    ASSERT_TRUE(AddHeader());
  }
  ASSERT_EQ(counted.texts().size(), 1u);
  EXPECT_EQ(counted.texts().begin()->second, 100u);
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Header WHERE invoice_no BETWEEN 7000 AND 7099"), 100);
  EXPECT_EQ(ScalarString("SELECT bill_to FROM Invoice_Header WHERE invoice_no = 7018"),
            "Customer 18 O'Hara \\ ?1 $1 ;--");
  EXPECT_EQ(ScalarString("SELECT ship_date FROM Invoice_Header WHERE invoice_no = 7030"), "2024-04-03");
  EXPECT_EQ(Scalar("SELECT freight FROM Invoice_Header WHERE invoice_no = 7042"), 42.25);
  EXPECT_EQ(Scalar("SELECT paid FROM Invoice_Header WHERE invoice_no = 7042"), 42.75);
  EXPECT_EQ(ScalarString("SELECT extra2 FROM Invoice_Header WHERE invoice_no = 7042"), "it's 42");
}

}  // namespace
}  // namespace tarvik::testing
