// The shipped stored queries on the demo data, checked by their effect on
// real rows and by the invariants of the books.
#include <gtest/gtest.h>

#include "data/data_recordset.h"
#include "data/stored_query.h"
#include "db/initialize.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using data::HostConnection;
using data::RunStoredQuery;
using testing::ScalarNumber;
using testing::TempDatabase;

Variant T(const std::string& s) { return Variant::String(s); }

void ExpectBooksBalance(HostConnection& c) {
  EXPECT_EQ(ScalarNumber(c, "SELECT count(*) FROM Inventory i WHERE abs(i.on_hand - i.opening_on_hand - coalesce("
                            "(SELECT sum(l.quantity) FROM Inventory_Ledger l WHERE l.item_number = i.item_number"
                            " AND l.site = i.site), 0)) > 1e-9"),
            0)
      << "on hand differs from opening stock plus ledger";
  EXPECT_EQ(ScalarNumber(c, "SELECT count(*) FROM Order_Detail d WHERE abs(d.quantity_invoiced - coalesce("
                            "(SELECT sum(i.quantity) FROM Invoice_Detail i WHERE i.order_key = d.order_key"
                            " AND i.line_no = d.line_no), 0)) > 1e-9"),
            0)
      << "invoiced quantity differs from the invoice details";
}

// A fingerprint of everything an invoice touches.
std::string Snapshot(HostConnection& c) {
  auto rs = c.OpenQuery(
      "SELECT group_concat(x, '|') FROM (SELECT x FROM ("
      " SELECT item_number || site || on_hand AS x FROM Inventory"
      " UNION ALL SELECT order_key || '.' || line_no || ':' || quantity_packed || '/' || quantity_invoiced || '/' ||"
      "   line_status FROM Order_Detail"
      " UNION ALL SELECT order_key || '=' || order_status FROM Order_Header) AS u ORDER BY x) AS t");
  return rs->Seek(0) ? std::get<std::string>(rs->Column(0)) : "";
}

void Invoice(HostConnection& c, int order_key, const std::string& invoice_no) {
  c.Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (" + invoice_no + ", 0)");
  ASSERT_TRUE(RunStoredQuery(c, "v_InvoiceDet_byOrdPack", {Variant::Long(order_key), T(invoice_no)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Up_LineStat_byOrdPack", {Variant::Long(order_key)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Relieve_Inventory", {T(invoice_no)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Relieve_Inventory_LS", {T(invoice_no)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Up_OrderStat_byOrdPack", {Variant::Long(order_key)}));
}

TEST(ShippedCatalog, EveryQueryIsLoadedWithItsParameters) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  const auto queries = ShippedQueries();
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM QueryDefs"), static_cast<double>(queries.size()));
  for (const auto& q : queries) {
    ComPtr<data::QueryDef> def = c->GetDatabase()->GetQueryDefs().Item(q.name);
    EXPECT_EQ(def->GetParameters().Count(), static_cast<int>(q.params.size())) << q.name;
  }
  // The sister queries' spellings are kept as they are.
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM QueryDefs WHERE name = 'v_Invoice_Up_LineStat_ByCustOrdPack'"), 1);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM QueryDefs WHERE name = 'v_invoice_del_custid'"), 1);
}

TEST(Initialize, RefusesADatabaseThatHasTheSchema) {
  TempDatabase db(true, true);
  auto backend = data::OpenBackend(db.path());
  EXPECT_THROW(InitializeDatabase(*backend, true), AutomationError);
  auto c = db.Connect();
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Order_Header"), 24);
}

struct RangeCase {
  std::string begin, end;
  int keys;
};

TEST(OrderKeys, NumericRangesCompareAsNumbersOthersAsText) {
  TempDatabase db;
  auto c = db.Connect();
  c->Execute("INSERT INTO Order_Header (order_key, order_number, cust_id) VALUES (100, '999', 'C100')");
  c->Execute("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_packed)"
             " VALUES (100, 1, 'NUT-10', 'MAIN', 1, 1)");
  const RangeCase cases[] = {
      {"1001", "1012", 12},  // packed orders only count when they have packed lines
      {"999", "1001", 2},    // as numbers: 999 and 1001
      {"1001", "1001", 1},
      {"1021", "1024", 0},   // open orders have nothing packed
      {"1001x", "1003", 2},  // as text: 1002 and 1003 sort between
      {"1001x", "1001z", 0},
      {"", "", 0},
  };
  for (const auto& rc : cases) {
    auto rs = c->OpenStoredQuery("v_Order_Keys", {T(rc.begin), T(rc.end)});
    EXPECT_EQ(rs->RowCount(), rc.keys) << rc.begin << ".." << rc.end;
  }
  auto rs = c->OpenStoredQuery("v_Order_Keys", {T("999"), T("1002")});
  ASSERT_TRUE(rs->Seek(0));
  EXPECT_EQ(std::get<std::int64_t>(rs->Column(0)), 100) << "999 comes before 1001 by number";
}

// Order numbers of any length compare by their value on both backends:
// beyond 64 bits, beyond 18 digits and behind leading zeros.
TEST(OrderKeys, LongOrderNumbersCompareExactly) {
  TempDatabase db;
  auto c = db.Connect();
  const std::pair<int, const char*> orders[] = {
      {101, "18446744073709551616"},  // 2^64
      {102, "18446744073709551617"},
      {103, "99999999999999999999"},
      {104, "123456789012345678901234567890"},
      {105, "0000000000000000000000000999"},  // 999
      {106, "9223372036854775807"},          // the largest 64-bit value
      {107, "9223372036854775808"},
  };
  for (const auto& [key, number] : orders) {
    const std::string k = std::to_string(key);
    c->Execute("INSERT INTO Order_Header (order_key, order_number, cust_id) VALUES (" + k + ", '" + number +
               "', 'C100')");
    c->Execute("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_packed)"
               " VALUES (" + k + ", 1, 'NUT-10', 'MAIN', 1, 1)");
  }
  auto keys = [&](const std::string& begin, const std::string& end) {
    std::vector<std::int64_t> out;
    auto rs = c->OpenStoredQuery("v_Order_Keys", {T(begin), T(end)});
    for (int i = 0; rs->Seek(i); ++i) out.push_back(std::get<std::int64_t>(rs->Column(0)));
    return out;
  };
  using K = std::vector<std::int64_t>;
  EXPECT_EQ(keys("18446744073709551616", "18446744073709551616"), (K{101}));
  EXPECT_EQ(keys("18446744073709551617", "99999999999999999999"), (K{102, 103}));
  EXPECT_EQ(keys("9223372036854775807", "9223372036854775807"), (K{106}));
  EXPECT_EQ(keys("9223372036854775808", "18446744073709551616"), (K{107, 101}));
  EXPECT_EQ(keys("100000000000000000000", "999999999999999999999999999999"), (K{104}));
  EXPECT_EQ(keys("999", "999"), (K{105}));
  EXPECT_EQ(keys("0999", "1000"), (K{105}));
  // Every order with packed lines, in value order: the demo's lie between 999
  // and 2^63-1.
  const K all = keys("0", "999999999999999999999999999999");
  ASSERT_EQ(static_cast<double>(all.size()),
            ScalarNumber(*c, "SELECT count(DISTINCT order_key) FROM Order_Detail WHERE quantity_packed > 0"));
  EXPECT_EQ(all.front(), 105);
  EXPECT_EQ(K(all.end() - 6, all.end()), (K{106, 107, 101, 102, 103, 104}));
  // The same ranges select the same orders in the postings.
  c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)");
  ASSERT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byCustOrdPack",
                             {T("C100"), T("18446744073709551617"), T("99999999999999999999"), T("1")}));
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE order_key IN (102, 103)"), 2);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail"), 2);
  EXPECT_EQ(c->OpenStoredQuery("v_Invoice_All_Picked", {T("18446744073709551616"), T("18446744073709551616")})
                ->RowCount(),
            0);
}

TEST(PartialPicking, FindsOnlyPartlyPickedLines) {
  TempDatabase db;
  auto c = db.Connect();
  EXPECT_EQ(c->OpenStoredQuery("v_Invoice_All_Picked", {T("1001"), T("1012")})->RowCount(), 0);
  EXPECT_EQ(c->OpenStoredQuery("v_Invoice_All_Picked", {T("1013"), T("1016")})->RowCount(), 4);
}

TEST(Postings, ReliefAndDeletionResetsReturnTheBooksExactly) {
  TempDatabase db;
  auto c = db.Connect();
  const std::string before = Snapshot(*c);
  Invoice(*c, 1, "0007");  // text with leading zeros is the number 7
  ExpectBooksBalance(*c);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 7"),
            ScalarNumber(*c, "SELECT count(*) FROM Order_Detail WHERE order_key = 1"));
  EXPECT_EQ(ScalarNumber(*c, "SELECT order_status FROM Order_Header WHERE order_key = 1"), 2);
  EXPECT_EQ(ScalarNumber(*c, "SELECT min(line_status) FROM Order_Detail WHERE order_key = 1"), 4);
  EXPECT_NE(Snapshot(*c), before);

  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty", {T("7")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty_LS", {T("7")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Status", {T("7")}));
  ASSERT_TRUE(c->Execute("DELETE FROM Invoice_Header Where Invoice_No = 7"));
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail"), 0) << "details go with their header";
  EXPECT_EQ(Snapshot(*c), before);
  ExpectBooksBalance(*c);
}

// What a header insert makes of an invoice number typed as text: the
// component's own regional reading (banker's rounding).
struct NumberCase {
  const char* text;
  int number;
};

// Every posting of an invoice numbered by text lands on the header that
// text names, and deleting it touches no other invoice (90,500 once read as
// 90 and posted to invoice 90 a second time).
TEST(Postings, InvoiceNumbersInTextMeanTheirHeaderEverywhere) {
  const NumberCase cases[] = {{"90,500", 90500}, {"5e2", 500}, {"500.6", 501}, {"&H1F4", 500},
                              {" 0042 ", 42},    {"1,000.4", 1000}};
  for (const auto& k : cases) {
    TempDatabase db;
    auto c = db.Connect();
    Invoice(*c, 1, "90");  // the invoice a wrong reading would hit
    const std::string before = Snapshot(*c);
    const double ledger_of_90 = ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger WHERE invoice_no = 90");
    const std::string n = std::to_string(k.number);
    c->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (" + n + ", 0)");
    ASSERT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byOrdPack", {Variant::Long(2), T(k.text)})) << k.text;
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Up_LineStat_byOrdPack", {Variant::Long(2)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory", {T(k.text)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory_LS", {T(k.text)}));
    EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = " + n), 0) << k.text;
    EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger WHERE invoice_no = " + n), 0) << k.text;
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger WHERE invoice_no = 90"), ledger_of_90) << k.text;
    EXPECT_EQ(c->OpenStoredQuery("v_BO_Detail", {T(k.text)})->RowCount(),
              c->OpenStoredQuery("v_BO_Detail", {T(n)})->RowCount())
        << k.text;
    ExpectBooksBalance(*c);

    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty", {T(k.text)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty_LS", {T(k.text)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Status", {T(k.text)}));
    ASSERT_TRUE(c->Execute("DELETE FROM Invoice_Header Where Invoice_No = " + n));
    EXPECT_EQ(Snapshot(*c), before) << k.text << ": the deletion put back exactly what it posted";
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 90"),
              ScalarNumber(*c, "SELECT count(*) FROM Order_Detail WHERE order_key = 1"))
        << k.text;
    ExpectBooksBalance(*c);
  }
}

// Text that is not a number names invoice 0, as the header insert does.
TEST(Postings, TextThatIsNotANumberIsInvoiceZero) {
  TempDatabase db;
  auto c = db.Connect();
  c->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (0, 0)");
  ASSERT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byOrdPack", {Variant::Long(1), T("abc")}));
  EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 0"), 0);
  EXPECT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Status", {T("")}));
}

// Deleting restores every status creation changed: a ship-to invoice takes
// packed lines whatever their status, and a line picked in part (1) comes
// back as 1, not as "packed"; deleting in either order of two invoices on
// one line ends where it began.
TEST(Postings, DeletionRestoresTheStatusBeforeTheFirstInvoice) {
  TempDatabase db;
  auto c = db.Connect();
  c->Execute("UPDATE Order_Detail SET line_status = 1 WHERE order_key = 2 AND line_no = 1");
  c->Execute("UPDATE Order_Header SET order_status = 0");
  const std::string before = Snapshot(*c);
  const std::string cust = testing::ScalarText(*c, "SELECT cust_id FROM Order_Header WHERE order_key = 2");
  const std::string shipto = testing::ScalarText(*c, "SELECT shipto_name FROM Order_Header WHERE order_key = 2");
  c->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (700, 1)");
  ASSERT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byShipPack", {T(cust), T(shipto), T("700")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Up_LineStat_byShipPack", {T(cust), T(shipto)}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory", {T("700")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory_LS", {T("700")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Up_OrderStat_byShipPack", {T(cust), T(shipto)}));
  ASSERT_GT(ScalarNumber(*c, "SELECT count(*) FROM Order_Header WHERE order_status > 0"), 0);

  // A second invoice on a line the first invoiced in part.
  const double line_packed = ScalarNumber(*c, "SELECT quantity_invoiced FROM Order_Detail WHERE order_key = 2 AND line_no = 1");
  c->Execute("UPDATE Order_Detail SET quantity_ordered = quantity_ordered + 5, quantity_packed = 5 "
             "WHERE order_key = 2 AND line_no = 1");
  Invoice(*c, 2, "701");
  EXPECT_EQ(ScalarNumber(*c, "SELECT quantity_invoiced FROM Order_Detail WHERE order_key = 2 AND line_no = 1"),
            line_packed + 5);

  for (const char* n : {"700", "701"}) {  // the older first
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty", {T(n)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Inv_Qty_LS", {T(n)}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Status", {T(n)}));
    ASSERT_TRUE(c->Execute(std::string("DELETE FROM Invoice_Header Where Invoice_No = ") + n));
    ExpectBooksBalance(*c);
  }
  c->Execute("UPDATE Order_Detail SET quantity_ordered = quantity_ordered - 5, quantity_packed = quantity_packed - 5 "
             "WHERE order_key = 2 AND line_no = 1");
  EXPECT_EQ(Snapshot(*c), before);
}

// A back-ordered rest stays back-ordered when its invoice is deleted and
// made again: the same quantity is never back-ordered twice.
TEST(Postings, BackOrderedLinesAreNeverOfferedTwice) {
  TempDatabase db;
  auto c = db.Connect();
  Invoice(*c, 17, "501");
  ASSERT_EQ(c->OpenStoredQuery("v_BO_Detail", {T("501")})->RowCount(), 1);
  ASSERT_TRUE(RunStoredQuery(*c, "v_BO_Update_Line_Status", {Variant::Long(99), T("17")}));
  for (const char* q : {"v_Invoice_Delete_Reset_Inv_Qty", "v_Invoice_Delete_Reset_Inv_Qty_LS",
                        "v_Invoice_Delete_Reset_Status"}) {
    ASSERT_TRUE(RunStoredQuery(*c, q, {T("501")})) << q;
  }
  ASSERT_TRUE(c->Execute("DELETE FROM Invoice_Header Where Invoice_No = 501"));
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Order_Detail WHERE order_key = 17 AND line_status = 5"), 1);
  Invoice(*c, 17, "502");
  EXPECT_EQ(c->OpenStoredQuery("v_BO_Detail", {T("502")})->RowCount(), 0);
  EXPECT_EQ(ScalarNumber(*c, "SELECT order_status FROM Order_Header WHERE order_key = 17"), 2)
      << "the back-ordered rest is no longer open in this order";
  ExpectBooksBalance(*c);
}

// Relief happens once per invoice whoever runs it, and an invoice that was
// never relieved gives back no stock when deleted.
TEST(Postings, ReliefIsMadeOnceAndUndoneOnlyWhenMade) {
  TempDatabase db;
  auto c = db.Connect();
  const double on_hand = ScalarNumber(*c, "SELECT sum(on_hand) FROM Inventory");
  c->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (800, 0)");
  ASSERT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byOrdPack", {Variant::Long(1), T("800")}));
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Up_LineStat_byOrdPack", {Variant::Long(1)}));
  const double quantity = ScalarNumber(*c, "SELECT sum(quantity) FROM Invoice_Detail WHERE invoice_no = 800");
  ASSERT_GT(quantity, 0);

  // Deleted before its relief ran: stock stays as it is.
  const std::string unrelieved = Snapshot(*c);
  c->BeginTrans();
  for (const char* q : {"v_Invoice_Delete_Reset_Inv_Qty", "v_Invoice_Delete_Reset_Inv_Qty_LS"}) {
    ASSERT_TRUE(RunStoredQuery(*c, q, {T("800")}));
  }
  EXPECT_EQ(ScalarNumber(*c, "SELECT sum(on_hand) FROM Inventory"), on_hand);
  c->Rollback();
  EXPECT_EQ(Snapshot(*c), unrelieved);

  for (int twice = 0; twice < 2; ++twice) {
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory", {T("800")}));
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory_LS", {T("800")}));
  }
  EXPECT_DOUBLE_EQ(ScalarNumber(*c, "SELECT sum(on_hand) FROM Inventory"), on_hand - quantity);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Pending"), 0);
  ExpectBooksBalance(*c);
}

TEST(Postings, GroupingsSelectTheirOrders) {
  struct Case {
    const char* detail;
    const char* line_status;
    std::vector<std::string> selection;
  };
  const Case cases[] = {
      {"v_InvoiceDet_byShipPack", "v_Invoice_Up_LineStat_byShipPack", {"C200", "WAREHOUSE"}},
      {"v_InvoiceDet_byCustPack", "v_Invoice_Up_LineStat_byCustPack", {"C200"}},
      {"v_InvoiceDet_byCustOrdPack", "v_Invoice_Up_LineStat_ByCustOrdPack", {"C200", "1001", "1010"}},
  };
  for (const auto& k : cases) {
    TempDatabase db;
    auto c = db.Connect();
    std::vector<Variant> sel;
    for (const auto& s : k.selection) sel.push_back(T(s));
    std::string where = "h.cust_id = 'C200' AND d.quantity_packed > 0";
    if (k.selection.size() == 2) where += " AND h.shipto_name = 'WAREHOUSE'";
    if (k.selection.size() == 3) where += " AND CAST(h.order_number AS INTEGER) BETWEEN 1001 AND 1010";
    const double expected =
        ScalarNumber(*c, "SELECT count(*) FROM Order_Detail d JOIN Order_Header h USING (order_key) WHERE " + where);
    ASSERT_GT(expected, 0) << k.detail;
    c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)");
    auto detail_values = sel;
    detail_values.push_back(T("1"));
    ASSERT_TRUE(RunStoredQuery(*c, k.detail, detail_values));
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail"), expected) << k.detail;
    ASSERT_TRUE(RunStoredQuery(*c, k.line_status, sel));
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Order_Detail d JOIN Order_Header h USING (order_key) WHERE " +
                                   where),
              0)
        << k.line_status << " leaves no packed line of the selection";
    ExpectBooksBalance(*c);
  }
}

TEST(BackOrderDetail, TwentyThreeColumnsForLinesNotInvoicedInFull) {
  TempDatabase db;
  auto c = db.Connect();
  Invoice(*c, 17, "501");  // order 1017 is packed only in part on its last line
  auto rs = c->OpenStoredQuery("v_BO_Detail", {T("501")});
  ASSERT_EQ(rs->ColumnCount(), 23);
  ASSERT_EQ(rs->RowCount(), 1);
  ASSERT_TRUE(rs->Seek(0));
  EXPECT_EQ(std::get<std::int64_t>(rs->Column(0)), 501);
  EXPECT_EQ(std::get<std::int64_t>(rs->Column(1)), 17);
  EXPECT_EQ(std::get<std::string>(rs->Column(2)), "1017");
  EXPECT_TRUE(std::holds_alternative<data::DateValue>(rs->Column(6))) << "due date is a date";
  const double ordered = std::get<double>(rs->Column(17));
  const double invoiced = std::get<double>(rs->Column(22));
  EXPECT_DOUBLE_EQ(invoiced, 1);
  EXPECT_DOUBLE_EQ(std::get<double>(rs->Column(18)), ordered - invoiced);

  // Back-ordering marks the open line and removes it from the detail.
  ASSERT_TRUE(RunStoredQuery(*c, "v_BO_Update_Line_Status", {Variant::Long(99), T("17")}));
  EXPECT_EQ(c->OpenStoredQuery("v_BO_Detail", {T("501")})->RowCount(), 0);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Order_Detail WHERE backorder_key = 99 AND line_status = 5"), 1);
}

TEST(Report, TotalsAddUpForEveryGrouping) {
  const std::vector<std::vector<std::string>> groupings = {
      {"v_Invoice_Up_OrderNo"},
      {"v_invoice_del_custid", "v_invoice_up_shipto"},
      {"v_invoice_del_custid", "v_invoice_up_custid"},
      {"v_invoice_del_custid"},
  };
  for (const auto& group : groupings) {
    TempDatabase db;
    auto c = db.Connect();
    Invoice(*c, 3, "42");  // customer C300, tax 8.25 %
    c->Execute("UPDATE Invoice_Header SET freight = 12.5, other_charge = 3 WHERE invoice_no = 42");
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Hdr", {T("42")}));
    for (const auto& q : group) ASSERT_TRUE(c->ExecuteQueryDef(q)) << q;
    ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Det", {T("42")}));
    ASSERT_TRUE(c->ExecuteQueryDef("v_Invoice_Up_Hdr_Tax"));
    ASSERT_TRUE(c->ExecuteQueryDef("v_Invoice_Up_Det_Tax"));
    const double subtotal = ScalarNumber(*c, "SELECT subtotal FROM RPT_Invoice_Hdr");
    EXPECT_NEAR(subtotal, ScalarNumber(*c, "SELECT sum(amount) FROM Invoice_Detail WHERE invoice_no = 42"), 0.005);
    EXPECT_NEAR(ScalarNumber(*c, "SELECT tax FROM RPT_Invoice_Hdr"), subtotal * 0.0825, 0.006);
    EXPECT_NEAR(ScalarNumber(*c, "SELECT total - subtotal - freight - other_charge - tax FROM RPT_Invoice_Hdr"), 0,
                1e-9);
    EXPECT_EQ(testing::ScalarText(*c, "SELECT customer_name FROM RPT_Invoice_Hdr"), "Kivi Ehitus OÜ") << group[0];
  }
}

}  // namespace
}  // namespace tarvik::db
