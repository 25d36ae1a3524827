// Save in add mode: invoice numbers per order, the one transaction of the
// postings, relief per invoice after the commit, the clean-up of a failed
// relief, and every failure path.
#include <gtest/gtest.h>

#include "platform/late_bound.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/books_invariants.h"
#include "tests/support/error_number.h"

namespace tarvik::testing {
namespace {

std::string Relief(const std::string& number) {
  return "ExecuteQueryDef: v_Invoice_Relieve_Inventory [" + number + "]";
}
std::string Detail(int order_key, const std::string& number) {
  return "ExecuteQueryDef: v_InvoiceDet_byOrdPack [" + std::to_string(order_key) + ", " + number +
         "]";
}

class Creation : public InvoiceTest {
 protected:
  // Where each call stands in the log, -1 when absent.
  int At(const std::string& call) const {
    const auto calls = Calls();
    auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : static_cast<int>(it - calls.begin());
  }
  std::string Headers() {
    return ScalarString(
        "SELECT coalesce(group_concat(invoice_no), '') FROM (SELECT invoice_no FROM "
        "Invoice_Header ORDER BY 1) AS t");
  }
  void SetOption(const std::string& value) { InvoiceTest::SetOption("Invoice No Partial Picking", value); }
};

// Whatever form the number is typed in, the header, its lines, its relief
// and its order status all belong to the one invoice it names; no posting
// lands on invoice 90 (where "90,500" once posted its lines a second time).
TEST_F(Creation, TypedNumbersPostEverythingToTheirOwnHeader) {
  struct Case {
    const char* typed;
    const char* first;
    const char* second;
  };
  const Case cases[] = {{"90,500", "90500", "90501"}, {"5e2", "500", "501"}, {"&H1F4", "500", "501"}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.typed);
    UseFreshDatabase();
    SelectOrders("1001", "1001", "90");
    ASSERT_TRUE(Save());
    const std::string books_of_90 = ScalarString(
        "SELECT group_concat(x) FROM (SELECT invoice_no || ':' || quantity AS x FROM Invoice_Detail UNION ALL "
        "SELECT invoice_no || ':' || quantity FROM Inventory_Ledger ORDER BY 1) AS t");
    SelectOrders("1002", "1003", k.typed);
    ASSERT_TRUE(Save());
    EXPECT_EQ(Headers(), std::string("90,") + k.first + "," + k.second);
    for (const char* n : {k.first, k.second}) {
      EXPECT_GT(Scalar(std::string("SELECT count(*) FROM Invoice_Detail WHERE invoice_no = ") + n), 0) << n;
      EXPECT_LT(Scalar(std::string("SELECT sum(quantity) FROM Inventory_Ledger WHERE invoice_no = ") + n), 0) << n;
    }
    EXPECT_EQ(ScalarString("SELECT group_concat(x) FROM (SELECT invoice_no || ':' || quantity AS x FROM "
                           "Invoice_Detail WHERE invoice_no = 90 UNION ALL SELECT invoice_no || ':' || quantity "
                           "FROM Inventory_Ledger WHERE invoice_no = 90 ORDER BY 1) AS t"),
              books_of_90);
    EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Pending"), 0);
    EXPECT_EQ(Scalar("SELECT count(*) FROM Order_Status_Pending"), 0);
  }
}

TEST_F(Creation, OneInvoicePerOrderNumberedFromInvoiceNo) {
  SelectOrders("1001", "1003", "500");
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "500,501,502");
  EXPECT_EQ(Number("RecordCount"), 3);  // the refreshed browse selection
  EXPECT_EQ(Text("InvoiceNo"), "502");
  EXPECT_EQ(Number("OrderKey"), 3);
  // Postings inside one transaction; reliefs after its commit, in order.
  const int commit = At("CommitTrans");
  ASSERT_GT(commit, 0);
  EXPECT_EQ(At("OpenStoredQuery: v_Order_Keys [1001, 1003]"), 0);  // keys before the transaction
  EXPECT_EQ(At("BeginTrans"), 1);
  EXPECT_LT(At(Detail(3, "502")), commit);
  EXPECT_LT(commit, At(Relief("500")));
  EXPECT_LT(At(Relief("500")), At(Relief("501")));
  EXPECT_LT(At(Relief("501")), At(Relief("502")));
  EXPECT_LT(At(Relief("502")), At("ExecuteQueryDef: v_Invoice_Up_OrderStat_byOrdPack [3]"));
  for (int key = 1; key <= 3; ++key) {
    EXPECT_EQ(Scalar("SELECT order_status FROM Order_Header WHERE order_key = " +
                     std::to_string(key)),
              2);
  }
  // Every line invoiced equals its invoice rows; stock equals opening plus ledger.
  EXPECT_EQ(BrokenInvariants(*real_), std::vector<std::string>{});
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Creation, LeadingZerosNumberTheHeadersButNotTheFirstRelief) {
  SelectOrders("1001", "1002", "0007");
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "7,8");
  EXPECT_GE(At(Relief("0007")), 0);
  EXPECT_GE(At(Relief("8")), 0);
}

TEST_F(Creation, EmptyRangeAnswersFalseWithoutATransaction) {
  SelectOrders("5000", "5999", "500");
  EXPECT_FALSE(Save());
  EXPECT_EQ(At("BeginTrans"), -1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Text("InfoMsg"), "");
}

TEST_F(Creation, FalseResultsForOneOrderAndForTheFirst) {
  // A later order failing uses up its number; the loop goes on.
  SelectOrders("1001", "1003", "500");
  recorder_->SetFault([](const std::string& c) { return c == Detail(2, "501"); });
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "500,501,502");
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 501"), 0);
  EXPECT_GE(At(Relief("501")), 0);

  // The first order failing ends it all.
  UseFreshDatabase();
  SelectOrders("1001", "1003", "500");
  recorder_->SetFault([](const std::string& c) { return c == Detail(1, "500"); });
  const std::string before = Snapshot();
  EXPECT_FALSE(Save());
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Text("InvoiceNo"), "501");
  EXPECT_EQ(Calls().back(), "Rollback");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Creation, ErrorsRollBackTheWholeCallAndAreReported) {
  struct Case {
    std::string name;
    std::int32_t invoice_by;
    std::string first_number;
    FaultRule raise;
    std::string text;  // part of the reported description
  };
  const Case cases[] = {
      {"error in the second order", 0, "500",
       [](const std::string& c) { return c == Detail(2, "501"); }, "Injected failure"},
      {"number after the largest Long", 0, "2147483647", nullptr, "Overflow"},
      {"grouping without queries", 7, "500", nullptr, "not found"},
  };
  const std::string before = Snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectOrders("1001", c.name == "number after the largest Long" ? "1001" : "1003", c.first_number);
    LetNumber("PrintInvoiceBy", c.invoice_by);
    recorder_->SetRaise(c.raise);
    ui_.ClearEvents();
    EXPECT_FALSE(Save());
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(real_->TransactionDepth(), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].style, 48);
    EXPECT_EQ(Boxes()[0].title, kApplicationTitle);
    EXPECT_NE(Boxes()[0].text.find(c.text), std::string::npos) << Boxes()[0].text;
  }
  BoxesOff();
  SelectOrders("1001", "1001", "2147483647");
  ui_.ClearEvents();
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_NE(Text("InfoMsg").find("Overflow"), std::string::npos);
}

// On the connection itself (no recorder between), a stored query that fails
// half way, its detail lines written and its mark refused, takes the whole
// call with it; the connection is fit for the next Save.
TEST_F(Creation, AStoredQueryFailingHalfWayLeavesNothingOfTheCall) {
  inv().Connect(ComPtr<data::HostConnection>(real_.get()).get());
  const bool postgres = real_->SqlDialect() == data::Dialect::kPostgres;
  if (postgres) {
    real_->ExecuteWith("CREATE FUNCTION refuse_mark() RETURNS trigger LANGUAGE plpgsql AS "
                       "'BEGIN IF NEW.invoice_no = 501 THEN RAISE EXCEPTION ''mark refused''; END IF; RETURN NEW; END'",
                       {});
    real_->ExecuteWith("CREATE TRIGGER refuse_mark BEFORE INSERT ON Invoice_Pending FOR EACH ROW "
                       "EXECUTE FUNCTION refuse_mark()",
                       {});
  } else {
    real_->ExecuteWith("CREATE TEMP TRIGGER refuse_mark BEFORE INSERT ON main.Invoice_Pending "
                       "WHEN NEW.invoice_no = 501 BEGIN SELECT RAISE(ABORT, 'mark refused'); END",
                       {});
  }
  const std::string before = Snapshot();
  SelectOrders("1001", "1003", "500");
  EXPECT_FALSE(Save());
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Pending"), 0);
  EXPECT_EQ(real_->TransactionDepth(), 0);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].text.find("mark refused"), std::string::npos) << Boxes()[0].text;

  real_->ExecuteWith(postgres ? "DROP TRIGGER refuse_mark ON Invoice_Pending" : "DROP TRIGGER refuse_mark", {});
  SelectOrders("1001", "1003", "500");
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "500,501,502");
  EXPECT_EQ(BrokenInvariants(*real_), std::vector<std::string>{});
}

TEST_F(Creation, FailedReliefRemovesOnlyThatInvoice) {
  SelectOrders("1001", "1003", "500");
  recorder_->SetFault([](const std::string& c) { return c == Relief("501"); });
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "500,502");
  EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 501"), 0);
  // Order 1002 is packed again, as before the call.
  EXPECT_EQ(Scalar("SELECT count(*) FROM Order_Detail WHERE order_key = 2 AND "
                   "(line_status <> 2 OR quantity_invoiced <> 0)"),
            0);
  EXPECT_EQ(Scalar("SELECT order_status FROM Order_Header WHERE order_key = 2"), 0);
  EXPECT_EQ(Text("Filter"), "");
}

// On the connection itself, where PostgreSQL's reliefs go to the server
// before the one before them is answered: a refused relief still takes
// only its own invoice, and the boxes come in the order of the invoices.
TEST_F(Creation, RefusedReliefsOnTheConnectionItselfTakeOnlyTheirInvoices) {
  struct Case {
    std::vector<int> refused;
    const char* kept;
  };
  const Case cases[] = {{{501}, "500,502"}, {{500, 501}, "502"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept);
    UseFreshDatabase();
    inv().Connect(ComPtr<data::HostConnection>(real_.get()).get());
    const bool postgres = real_->SqlDialect() == data::Dialect::kPostgres;
    std::string numbers;
    for (int n : c.refused) numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
    if (postgres) {
      real_->ExecuteWith("CREATE FUNCTION refuse_ledger() RETURNS trigger LANGUAGE plpgsql AS "
                         "'BEGIN IF NEW.invoice_no IN (" + numbers + ") THEN "
                         "RAISE EXCEPTION ''ledger refused %'', NEW.invoice_no; END IF; RETURN NEW; END'",
                         {});
      real_->ExecuteWith("CREATE TRIGGER refuse_ledger BEFORE INSERT ON Inventory_Ledger FOR EACH ROW "
                         "EXECUTE FUNCTION refuse_ledger()",
                         {});
    } else {
      for (int n : c.refused) {
        const std::string k = std::to_string(n);
        real_->ExecuteWith("CREATE TEMP TRIGGER refuse_ledger_" + k + " BEFORE INSERT ON main.Inventory_Ledger WHEN "
                           "NEW.invoice_no = " + k + " BEGIN SELECT RAISE(ABORT, 'ledger refused " + k + "'); END",
                           {});
      }
    }
    const std::size_t first_box = Boxes().size();
    SelectOrders("1001", "1003", "500");
    EXPECT_TRUE(Save());
    EXPECT_EQ(Headers(), c.kept);
    ASSERT_EQ(Boxes().size() - first_box, c.refused.size());
    for (std::size_t i = 0; i < c.refused.size(); ++i) {
      const std::string refused = "ledger refused " + std::to_string(c.refused[i]);
      const std::string& text = Boxes()[first_box + i].text;
      EXPECT_NE(text.find(refused), std::string::npos) << text;
    }
    EXPECT_LT(Scalar("SELECT sum(quantity) FROM Inventory_Ledger WHERE invoice_no = 502"), 0);
    EXPECT_EQ(Scalar("SELECT count(*) FROM Inventory_Ledger WHERE invoice_no IN (" + numbers + ")"), 0);
    EXPECT_EQ(Scalar("SELECT count(*) FROM Invoice_Pending"), 0);
    EXPECT_EQ(Text("InvoiceNo"), "502");
    EXPECT_EQ(Text("Filter"), "");
    EXPECT_EQ(real_->TransactionDepth(), 0);
    EXPECT_EQ(BrokenInvariants(*real_), std::vector<std::string>{});
  }
}

TEST_F(Creation, OneInvoicePerCallForTheOtherGroupings) {
  LetNumber("PrintInvoiceBy", 2);
  Let("CustID", "C100");
  Let("InvoiceNo", "700");
  LetNumber("TransactionMode", 1);
  SetOption("1");  // the picking check belongs to order-number mode only
  EXPECT_TRUE(Save());
  EXPECT_EQ(Headers(), "700");
  EXPECT_EQ(Scalar("SELECT count(DISTINCT order_key) FROM Invoice_Detail WHERE invoice_no = 700"),
            Scalar("SELECT count(DISTINCT h.order_key) FROM Order_Header h JOIN Order_Detail d "
                   "ON d.order_key = h.order_key WHERE h.cust_id = 'C100' AND d.quantity_invoiced > 0"));
  EXPECT_EQ(At("QueryDefName: v_Invoice_All_Picked"), -1);
  EXPECT_EQ(Text("InvoiceNo"), "700");
}

TEST_F(Creation, PartialPickingRefusesOnlyWhenTheOptionIsExactlyOne) {
  struct Case {
    std::string value;
    bool refused;
  };
  const Case cases[] = {{"1 ", false}, {"Y", false}, {"true", false}, {"0", false}, {"1", true}};
  int number = 800;
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.value + "'");
    UseFreshDatabase();
    SetOption(c.value);
    SelectOrders("1013", "1017", std::to_string(number += 10));  // 1013 to 1016 are partly picked
    ui_.ClearEvents();
    const std::string before = Headers();
    EXPECT_EQ(Save(), !c.refused);
    if (c.refused) {
      EXPECT_EQ(Headers(), before);
      ASSERT_EQ(Boxes().size(), 1u);
      EXPECT_EQ(Boxes()[0].text,
                "You cannot create this invoice because some items are partially picked.");
      EXPECT_EQ(Boxes()[0].style, 48);
      EXPECT_EQ(Boxes()[0].title, "Invoice");
    } else {
      EXPECT_NE(Headers(), before);
    }
  }
  real_->Execute("DELETE FROM System WHERE option_name = 'Invoice No Partial Picking'");
  BoxesOff();
  SetOption("1");  // absent now: no check at all
  SelectOrders("1013", "1013", "900");
  EXPECT_TRUE(Save());
}

TEST_F(Creation, PartialPickingRefusalGoesToInfoMsg) {
  SetOption("1");
  BoxesOff();
  SelectOrders("1013", "1013", "900");
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Text("InfoMsg"), "Items are partially picked.");
  EXPECT_EQ(Calls().back(), "Rollback");
}

TEST_F(Creation, OrderStatusFailureIsReportedButSaveSucceeds) {
  SelectOrders("1001", "1001", "500");
  recorder_->SetFault([](const std::string& c) {
    return c.rfind("ExecuteQueryDef: v_Invoice_Up_OrderStat", 0) == 0;
  });
  EXPECT_TRUE(Save());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Status of the Order Header could not be saved.");
  EXPECT_EQ(Boxes()[0].style, 64);
  BoxesOff();
  SelectOrders("1002", "1002", "501");
  EXPECT_TRUE(Save());
  EXPECT_EQ(Text("InfoMsg"), "Order Header status could not be saved.");
}

}  // namespace
}  // namespace tarvik::testing
