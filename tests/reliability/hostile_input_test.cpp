// Hostile texts written through every text property that reaches the
// database must come back unchanged and touch no other row; hostile filters
// and keys must never run as SQL. Runs on the backend TempDatabase picks.
#include <gtest/gtest.h>

#include <iostream>

#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/error.h"
#include "platform/late_bound.h"
#include "platform/ui_services.h"
#include "tests/reliability/hostile_text.h"
#include "tests/reliability/workflow_env.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

constexpr std::uint32_t kSeed = 20261207;

class HostileInput : public ::testing::Test {
 protected:
  HostileInput() : real_(db_.Connect()), object_(invoice::NewInvoice()) {
    InstallUi(&ui_);
    InvokeByName(object_.get(), "Connect", CallKind::kSet, {Variant::Dispatch(real_.get())});
  }
  ~HostileInput() override {
    object_.reset();
    InstallUi(nullptr);
  }
  void Let(const std::string& name, const std::string& value) {
    InvokeByName(object_.get(), name, CallKind::kLet, {Variant::String(value)});
  }
  void LetNumber(const std::string& name, std::int32_t value) {
    InvokeByName(object_.get(), name, CallKind::kLet, {Variant::Long(value)});
  }
  bool Call(const std::string& method) {
    return InvokeByName(object_.get(), method, CallKind::kMethod).ToBoolean();
  }
  std::string Read(const std::string& column, int number) {
    return ScalarText(*real_, "SELECT " + column + " FROM Invoice_Header WHERE invoice_no = " +
                                  std::to_string(number));
  }
  // Every table, the header rows but the target included.
  std::string AllBut(int number) {
    std::string out = JoinedColumn(
        *real_, "SELECT bill_to || '|' || coalesce(extra1, '') || '|' || coalesce(extra2, '') FROM "
                "Invoice_Header WHERE invoice_no <> " + std::to_string(number) + " ORDER BY invoice_no", "\n");
    return out + "\n" + DatabaseSnapshot(*real_).substr(DatabaseSnapshot(*real_).find("SELECT * FROM Invoice_Detail"));
  }

  TempDatabase db_;
  ComPtr<data::HostConnection> real_;
  ScriptedUi ui_;
  ComPtr<_Invoice> object_;
};

TEST_F(HostileInput, HeaderTextsComeBackUnchangedAndTouchNoOtherRow) {
  for (int n = 900; n < 903; ++n) {
    real_->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
                   "other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) VALUES (" +
                   std::to_string(n) + ", #3/15/2024#, #3/16/2024#, 'Acme', 1, 0, 0, 'a', 'b', 0, 0, Null)");
  }
  HostileText hostile(kSeed);
  const char* const kColumns[][2] = {{"BillTo", "bill_to"}, {"Extra1", "extra1"}, {"Extra2", "extra2"}};
  int writes = 0, wrong = 0;
  for (int i = 0; i < 60; ++i) {
    const int target = 900 + i % 3;
    const std::string others = AllBut(target);
    std::string texts[3];
    LetNumber("TransactionMode", 2);
    Let("InvoiceNo", std::to_string(target));
    Let("ShipDate", "3/16/2024");
    for (const char* numeric : {"FreightAmount", "OtherCharge", "Paid"}) Let(numeric, "0");
    for (int c = 0; c < 3; ++c) {
      texts[c] = hostile.Next();
      Let(kColumns[c][0], texts[c]);
    }
    bool saved = false;
    try {
      saved = Call("Save");
    } catch (const AutomationError& e) {
      ADD_FAILURE() << "iteration " << i << ": " << e.what();
    }
    EXPECT_TRUE(saved) << "iteration " << i;
    for (int c = 0; c < 3; ++c) {
      ++writes;
      const std::string back = Read(kColumns[c][1], target);
      if (back != texts[c]) {
        ++wrong;
        ADD_FAILURE() << "iteration " << i << " " << kColumns[c][0] << ": wrote " << texts[c].size()
                      << " bytes, read " << back.size();
      }
    }
    EXPECT_EQ(AllBut(target), others) << "iteration " << i << " touched another row";
    EXPECT_EQ(ScalarNumber(*real_, "SELECT count(*) FROM Invoice_Header"), 3);
  }
  std::cout << "hostile header texts (seed " << kSeed << "): " << writes << " writes, " << wrong
            << " wrong" << std::endl;
}

TEST_F(HostileInput, HostileFiltersAndKeysNeverRunAsSql) {
  for (int n = 900; n < 903; ++n) {
    real_->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_date, bill_to, invoice_by, "
                   "export_flag) VALUES (" + std::to_string(n) + ", #3/15/2024#, 'Acme', 0, 0)");
  }
  const std::string before = DatabaseSnapshot(*real_);
  HostileText hostile(kSeed + 1);
  int tries = 0, refused = 0;
  for (int i = 0; i < 80; ++i) {
    SCOPED_TRACE(i);
    const std::string text = hostile.Next();
    ++tries;
    try {
      Let("Filter", text);
      Let("InvoiceNo", i % 2 ? text : "901");
      // An unknown filter selects the plain list; the text is never SQL.
      if (Call("FindByFilter")) {
        EXPECT_EQ(ScalarNumber(*real_, "SELECT count(*) FROM Invoice_Header"), 3);
      }
      Let("Filter", "INVOICE_NUMBER");
      Let("InvoiceNo", text);
      Call("FindByFilter");
    } catch (const AutomationError&) {
      ++refused;  // a key that is no number is refused with an error
    }
    ASSERT_EQ(DatabaseSnapshot(*real_), before) << "a hostile filter changed the database";
  }
  // The back-order detail query takes the invoice number as a parameter.
  for (int i = 0; i < 20; ++i) {
    ComPtr<_BackOrder> bo = backorder::NewBackOrder();
    InvokeByName(bo.get(), "Connect", CallKind::kSet, {Variant::Dispatch(real_.get())});
    InvokeByName(bo.get(), "Invoice_No", CallKind::kLet, {Variant::String(hostile.Next())});
    ++tries;
    try {
      EXPECT_FALSE(InvokeByName(bo.get(), "FindByFilter", CallKind::kMethod).ToBoolean());
    } catch (const AutomationError&) {
      ++refused;
    }
    ASSERT_EQ(DatabaseSnapshot(*real_), before);
  }
  std::cout << "hostile filters and keys: " << tries << " tries, " << refused << " refused, 0 ran" << std::endl;
}

// A hostile new order number typed into the back-order prompt becomes the
// new order's number exactly.
TEST_F(HostileInput, TypedBackOrderNumbersAreStoredExactly) {
  HostileText hostile(kSeed + 2);
  int stored = 0;
  for (int i = 0; i < (db_.postgres() ? 3 : 8); ++i) {
    SCOPED_TRACE(i);
    const TempDatabase fresh;
    WorkflowEnv env(fresh.path(), /*copy=*/false);
    env.real().Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Auto Backorder'");
    env.real().Execute("UPDATE Order_Detail SET quantity_ordered = 8 WHERE order_key = 13 AND line_no = 2");
    env.LetNumber("PrintInvoiceBy", 2);
    env.Let("CustID", "C100");
    env.Let("InvoiceNo", "500");
    env.LetNumber("TransactionMode", 1);
    ASSERT_TRUE(env.Call("Save"));
    env.real().Execute("UPDATE System SET option_value = '1' WHERE option_name = 'Auto Backorder'");
    const std::string first = hostile.Next(true), second = first + hostile.Next(true);
    env.ui().SetAnswers({{true, 6, std::nullopt}, {false, 0, first}, {false, 0, second}});
    const std::string untouched =
        JoinedColumn(env.real(), "SELECT order_number FROM Order_Header ORDER BY order_key", "\n");
    ASSERT_TRUE(env.CallBackOrder("500"));
    const std::string all =
        JoinedColumn(env.real(), "SELECT order_number FROM Order_Header ORDER BY order_key", "\n");
    EXPECT_EQ(all, untouched + "\n" + first + "\n" + second);
    stored += 2;
  }
  std::cout << "hostile back-order numbers: " << stored << " stored" << std::endl;
}

}  // namespace
}  // namespace tarvik::testing
