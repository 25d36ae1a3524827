// Two hosts on one database, each keeping its selection open (as
// OpenRecordset, Find and Save leave it) while the other invoices. The next
// number is always the committed highest plus one, no call finds the
// database busy, and the books end as the same calls made one after the
// other leave them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/late_bound.h"
#include "platform/ui_services.h"
#include "tests/invoice/invoice_fixture.h"
#include "tests/support/books_invariants.h"
#include "tests/support/packed_orders.h"
#include "tests/support/table_dump.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

constexpr int kOrders = 80;
constexpr int kFirstKey = 5000;
constexpr int kFirstOrder = 7000;

std::string Books(data::HostConnection& c) {
  return DumpQueries(c, {"SELECT * FROM Invoice_Header ORDER BY invoice_no",
                         "SELECT * FROM Invoice_Detail ORDER BY invoice_no, order_key, line_no",
                         "SELECT * FROM Inventory ORDER BY item_number, site",
                         "SELECT item_number, site, quantity, invoice_no FROM Inventory_Ledger ORDER BY 1, 2, 3, 4",
                         "SELECT order_key, order_status FROM Order_Header ORDER BY order_key",
                         "SELECT * FROM Order_Detail ORDER BY order_key, line_no"});
}

// One host: its own connection and Invoice.
class Clerk {
 public:
  explicit Clerk(const TempDatabase& db) : connection_(db.Connect()), invoice_(invoice::NewInvoice()) {
    invoice::InvoiceTestPeer::Of(invoice_).Connect(connection_.get());
  }
  std::string NextNumber() { return Call("Get_Next_Invoice_No").ToString(); }
  bool Save(int first, int last, const std::string& number) {
    Let("PrintInvoiceBy", Variant::Long(0));
    Let("BeginOrder", Variant::String(std::to_string(first)));
    Let("EndOrder", Variant::String(std::to_string(last)));
    Let("InvoiceNo", Variant::String(number));
    Let("TransactionMode", Variant::Long(1));
    return Call("Save").ToBoolean();
  }
  // Opens the selection of every header and stands a few rows into it.
  void Browse() {
    Let("Filter", Variant::String(""));
    Call("OpenRecordset");
    Call("MoveFirst");
    Call("MoveNext");
    Call("MoveNext");
  }
  data::HostConnection& connection() { return *connection_; }

 private:
  Variant Call(const std::string& name) { return InvokeByName(invoice_.get(), name, CallKind::kMethod); }
  void Let(const std::string& name, Variant value) {
    InvokeByName(invoice_.get(), name, CallKind::kLet, {std::move(value)});
  }
  ComPtr<data::HostConnection> connection_;
  ComPtr<_Invoice> invoice_;
};

struct Turn {
  int clerk;  // 0 or 1
  int first, last;  // order numbers
  bool browse_after;  // the clerk then opens its selection anew
};

struct Interleaving {
  const char* name;
  std::vector<Turn> turns;
};

class TwoClerks : public ::testing::TestWithParam<Interleaving> {
 protected:
  TwoClerks() { InstallUi(&ui_); }
  ~TwoClerks() override { InstallUi(nullptr); }

  double Scalar(data::HostConnection& c, const std::string& sql) { return ScalarNumber(c, sql); }

  // A session left inside a transaction between calls (PostgreSQL).
  double OpenTransactions(const TempDatabase& db, data::HostConnection& observer) {
    if (!db.postgres()) return 0;
    return Scalar(observer, "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                            "AND state LIKE 'idle in transaction%'");
  }

  ScriptedUi ui_;
};

TEST_P(TwoClerks, EachSeesTheOthersInvoicesAndTheBooksEndAsInOneLine) {
  const std::vector<Turn>& turns = GetParam().turns;
  std::vector<std::string> numbers;

  TempDatabase shared;
  AddPackedOrders(*shared.Connect(), kFirstKey, kFirstOrder, kOrders);
  {
    auto observer = shared.Connect();
    Clerk clerks[2] = {Clerk(shared), Clerk(shared)};
    clerks[0].Browse();
    clerks[1].Browse();
    for (const Turn& t : turns) {
      SCOPED_TRACE("clerk " + std::to_string(t.clerk) + ", orders " + std::to_string(t.first) + "-" +
                   std::to_string(t.last));
      Clerk& clerk = clerks[t.clerk];
      const double committed = Scalar(*observer, "SELECT max(invoice_no) FROM Invoice_Header");
      const std::string number = clerk.NextNumber();
      EXPECT_EQ(number, std::to_string(static_cast<long long>(committed) + 1));
      numbers.push_back(number);
      EXPECT_TRUE(clerk.Save(t.first, t.last, number));
      for (const UiEvent& box : ui_.events()) ADD_FAILURE() << "box: " << box.text;
      ui_.ClearEvents();
      if (t.browse_after) clerk.Browse();
      EXPECT_EQ(OpenTransactions(shared, *observer), 0);
    }
    EXPECT_EQ(Scalar(*observer, "SELECT count(*) FROM (SELECT invoice_no FROM Invoice_Header GROUP BY invoice_no "
                                "HAVING count(*) > 1) AS t"),
              0);
  }

  // The same calls, one host after the other.
  TempDatabase alone;
  AddPackedOrders(*alone.Connect(), kFirstKey, kFirstOrder, kOrders);
  {
    Clerk clerk(alone);
    for (std::size_t i = 0; i < turns.size(); ++i) {
      EXPECT_EQ(clerk.NextNumber(), numbers[i]);
      EXPECT_TRUE(clerk.Save(turns[i].first, turns[i].last, numbers[i]));
    }
    ui_.ClearEvents();
  }

  auto c = shared.Connect();
  EXPECT_EQ(Books(*c), Books(*alone.Connect()));
  // Every order invoiced once, every header with its lines, every line
  // invoiced as its detail rows say, stock as opening plus ledger.
  EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM Order_Detail WHERE order_key >= " + std::to_string(kFirstKey) +
                           " AND (quantity_packed <> 0 OR quantity_invoiced <> quantity_ordered)"),
            0);
  EXPECT_EQ(Scalar(*c, "SELECT count(*) FROM Invoice_Header"), kOrders);
  EXPECT_EQ(BrokenInvariants(*c), std::vector<std::string>{});
}

// Every interleaving invoices all 80 orders.
INSTANTIATE_TEST_SUITE_P(
    Interleavings, TwoClerks,
    ::testing::Values(
        Interleaving{"Disjoint",
                     {{0, 7000, 7009, false}, {1, 7010, 7019, false}, {0, 7020, 7029, true},
                      {1, 7030, 7039, true}, {0, 7040, 7049, false}, {1, 7050, 7059, true},
                      {1, 7060, 7069, false}, {0, 7070, 7079, true}}},
        Interleaving{"Overlapping",
                     {{0, 7000, 7012, false}, {1, 7008, 7025, true}, {0, 7020, 7041, true},
                      {1, 7035, 7050, false}, {0, 7045, 7064, false}, {1, 7060, 7079, true}}},
        // More orders in one Save than the first rows read before its
        // transaction begins.
        Interleaving{"LongRuns", {{1, 7000, 7039, true}, {0, 7030, 7079, false}}}),
    [](const ::testing::TestParamInfo<Interleaving>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
