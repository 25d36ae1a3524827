// The host's read-back of a run: the same report as reading each invoice
// and back order on its own, in a number of statements that does not grow
// with the run, each reading its rows by key.
#include "host/posting_readback.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/result_set.h"
#include "tests/support/recording_connection.h"
#include "tests/support/temp_database.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

constexpr std::int32_t kFirstInvoice = 700;
constexpr std::int64_t kOldOrders = 50;  // keys 1..50 exist before the run

void Exec(data::HostConnection& c, const std::string& sql, const std::vector<Variant>& values) {
  c.ExecuteWith(sql, values);
}

Variant L(std::int64_t v) { return Variant::Long(static_cast<std::int32_t>(v)); }
Variant D(double v) { return Variant::Double(v); }
Variant S(const std::string& v) { return Variant::String(v); }

void AddOrder(data::HostConnection& c, std::int64_t key, const std::string& customer,
              const std::string& comment = "") {
  Exec(c,
       "INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, order_comment) "
       "VALUES (?1, ?2, ?3, 'HQ', ?4)",
       {L(key), S(std::to_string(9000 + key)), S(customer), S(comment)});
  for (int line = 1; line <= 2; ++line) {
    Exec(c,
         "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
         "quantity_invoiced) VALUES (?1, ?2, ?3, 'MAIN', 3, 2)",
         {L(key), L(line), S("ITEM-" + std::to_string(line))});
  }
}

void AddLedger(data::HostConnection& c, std::int32_t invoice, double quantity) {
  Exec(c,
       "INSERT INTO Inventory_Ledger (item_number, site, quantity, invoice_no, reason) "
       "VALUES ('ITEM-1', 'MAIN', ?1, ?2, 'invoice')",
       {D(quantity), L(invoice)});
}

struct Marks {
  std::int64_t order_key = 0;
  std::int64_t ledger_entry = 0;
};

// Books with older orders and a deleted invoice that used the run's first
// number, then what a run of `invoices` invoices posts: every third one
// takes two orders of two customers, every other one leaves a back order,
// and with `stray` one back order comes from an order of no invoice of the run.
Marks PostRun(data::HostConnection& c, int invoices, bool stray) {
  for (std::int64_t key = 1; key <= kOldOrders; ++key) AddOrder(c, key, "OLD");
  AddLedger(c, kFirstInvoice, -4);  // the deleted invoice and its reversal
  AddLedger(c, kFirstInvoice, 4);
  Marks marks{kOldOrders, static_cast<std::int64_t>(
                              testing::ScalarNumber(c, "SELECT MAX(entry_id) FROM Inventory_Ledger"))};
  std::int64_t next_key = 1000;
  for (int i = 0; i < invoices; ++i) {
    const std::int32_t number = kFirstInvoice + i;
    Exec(c, "INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (?1, ?2)", {L(number), L(i % 4)});
    std::vector<std::int64_t> keys = {next_key++};
    if (i % 3 == 0) keys.push_back(next_key++);
    for (std::size_t k = 0; k < keys.size(); ++k) {
      AddOrder(c, keys[k], "C" + std::to_string((i + k) % 5));
      for (int line = 1; line <= 2; ++line) {
        const double quantity = 1 + line + i % 3;
        Exec(c,
             "INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, "
             "quantity, unit_price, amount) VALUES (?1, ?2, ?3, ?4, 'MAIN', ?5, 2.5, ?6)",
             {L(number), L(keys[k]), L(line), S("ITEM-" + std::to_string(line)), D(quantity),
              D(quantity * 2.5)});
        AddLedger(c, number, -quantity);
      }
    }
    AddLedger(c, 99999, -1);  // someone else's invoice meanwhile
    if (i % 2 == 0) {
      const std::int64_t back = next_key++;
      AddOrder(c, back, "C0", "System Generated Backorder. From " + std::to_string(9000 + keys[0]));
      Exec(c, "UPDATE Order_Detail SET backorder_key = ?1 WHERE order_key = ?2", {L(back), L(keys[0])});
    }
  }
  if (stray) {
    const std::int64_t key = next_key++;
    AddOrder(c, key, "C9", "System Generated Backorder. From an older invoice");
    Exec(c, "UPDATE Order_Detail SET backorder_key = ?1 WHERE order_key = 7", {L(key)});
  }
  return marks;
}

// Each invoice and back order read on its own, the plain way.
ojson InvoicesOneByOne(data::HostConnection& c, const std::vector<std::int32_t>& numbers) {
  std::vector<InvoiceMade> invoices;
  for (std::int32_t n : numbers) {
    const std::string where = " WHERE invoice_no = " + std::to_string(n);
    if (testing::ScalarNumber(c, "SELECT COUNT(*) FROM Invoice_Header" + where) == 0) continue;
    InvoiceMade made;
    made.number = n;
    made.grouping = static_cast<std::int32_t>(testing::ScalarNumber(c, "SELECT invoice_by FROM Invoice_Header" + where));
    made.lines = static_cast<std::int64_t>(testing::ScalarNumber(c, "SELECT COUNT(*) FROM Invoice_Detail" + where));
    made.units = testing::ScalarNumber(c, "SELECT SUM(quantity) FROM Invoice_Detail" + where);
    made.amount = testing::ScalarNumber(c, "SELECT SUM(amount) FROM Invoice_Detail" + where);
    made.relieved = -testing::ScalarNumber(c, "SELECT SUM(quantity) FROM Inventory_Ledger" + where);
    const std::string orders = " FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key "
                               "WHERE d.invoice_no = " + std::to_string(n);
    for (const char* column : {"order_number", "cust_id"}) {
      std::vector<std::string>& texts = column[0] == 'o' ? made.orders : made.customers;
      const std::string joined = testing::JoinedColumn(
          c, std::string("SELECT o.") + column + orders + " GROUP BY o." + column + " ORDER BY MIN(o.order_number)");
      for (std::size_t at = 0; !joined.empty() && at <= joined.size();) {
        const std::size_t comma = joined.find(',', at);
        texts.push_back(joined.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        at = comma == std::string::npos ? joined.size() + 1 : comma + 1;
      }
    }
    invoices.push_back(std::move(made));
  }
  return InvoicesJson(invoices);
}

ojson BackOrdersOneByOne(data::HostConnection& c, std::int64_t after_key) {
  std::vector<BackOrderMade> orders;
  const std::string keys = testing::JoinedColumn(
      c, "SELECT order_key FROM Order_Header WHERE order_key > " + std::to_string(after_key) +
             " AND order_comment LIKE 'System Generated Backorder.%' ORDER BY order_key");
  for (std::size_t at = 0; !keys.empty() && at <= keys.size();) {
    const std::size_t comma = keys.find(',', at);
    const std::string key = keys.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    at = comma == std::string::npos ? keys.size() + 1 : comma + 1;
    BackOrderMade made;
    made.order_key = std::stoll(key);
    const std::string where = " FROM Order_Header WHERE order_key = " + key;
    made.order_number = testing::ScalarText(c, "SELECT order_number" + where);
    made.customer = testing::ScalarText(c, "SELECT cust_id" + where);
    made.ship_to = testing::ScalarText(c, "SELECT shipto_name" + where);
    made.lines = static_cast<std::int64_t>(testing::ScalarNumber(c, "SELECT COUNT(*) FROM Order_Detail WHERE order_key = " + key));
    made.units = testing::ScalarNumber(c, "SELECT SUM(quantity_ordered) FROM Order_Detail WHERE order_key = " + key);
    const std::string originals = testing::JoinedColumn(
        c, "SELECT DISTINCT o.order_number FROM Order_Detail d JOIN Order_Header o ON o.order_key = "
           "d.order_key WHERE d.backorder_key = " + key + " ORDER BY o.order_number");
    if (!originals.empty()) made.originals.push_back(originals);  // one original each here
    orders.push_back(std::move(made));
  }
  return BackOrdersJson(orders);
}

struct ReadBack {
  std::size_t invoice_statements = 0;
  std::size_t back_order_statements = 0;
  std::vector<std::string> sql;  // every statement sent
};

// Posts a run of `invoices`, reads it back through a recording connection
// and compares it with the one-by-one reading.
ReadBack ReadRun(int invoices, bool stray = true) {
  testing::TempDatabase db(true, false);
  auto real = db.Connect();
  const Marks marks = PostRun(*real, invoices, stray);
  std::vector<std::int32_t> numbers;
  for (std::int32_t n : InvoiceNumbersFrom(*real, kFirstInvoice)) numbers.push_back(n);
  EXPECT_EQ(numbers.size(), static_cast<std::size_t>(invoices));
  numbers.push_back(kFirstInvoice + invoices);  // removed again after a failed relief

  auto recorded = testing::RecordAround(real);
  ReadBack result;
  const ojson made = InvoicesJson(ReadInvoices(*recorded, numbers, marks.ledger_entry));
  result.invoice_statements = recorded->log().size();
  result.sql = recorded->log();
  recorded->ClearLog();
  const ojson back =
      BackOrdersJson(BackOrdersAfter(*recorded, marks.order_key, numbers.front(), numbers.back()));
  result.back_order_statements = recorded->log().size();
  result.sql.insert(result.sql.end(), recorded->log().begin(), recorded->log().end());

  EXPECT_EQ(made.size(), static_cast<std::size_t>(invoices));
  EXPECT_EQ(made, InvoicesOneByOne(*real, numbers));
  EXPECT_EQ(back.size(), static_cast<std::size_t>((invoices + 1) / 2 + (stray ? 1 : 0)));
  EXPECT_EQ(back, BackOrdersOneByOne(*real, marks.order_key));
  return result;
}

TEST(PostingReadbackTest, AReportReadsEveryInvoiceAndBackOrderAsOneByOne) {
  for (int invoices : {1, 7}) {
    SCOPED_TRACE(invoices);
    ReadRun(invoices);
  }
}

TEST(PostingReadbackTest, StatementsDoNotGrowWithTheRun) {
  const ReadBack small = ReadRun(4);
  const ReadBack large = ReadRun(40);
  EXPECT_EQ(small.invoice_statements, large.invoice_statements);
  EXPECT_EQ(small.back_order_statements, large.back_order_statements);
  EXPECT_LE(large.invoice_statements, 4u);
  // The back order made from an older invoice is the only one looked up alone.
  EXPECT_LE(large.back_order_statements, 3u);
}

// On SQLite the plans say how rows are found: by key, never by reading a
// whole table.
TEST(PostingReadbackTest, EveryStatementFindsItsRowsByKey) {
  if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "SQLite plans";
  // (A back order of someone else's invoice is looked up alone, unkeyed.)
  const ReadBack run = ReadRun(3, false);
  testing::TempDatabase db(true, false);
  auto c = db.Connect();
  for (std::string sql : run.sql) {
    const std::string prefix = "QueryWith: ";
    ASSERT_EQ(sql.rfind(prefix, 0), 0u) << sql;
    sql.erase(0, prefix.size());
    std::vector<Variant> values;
    for (int n = 1; sql.find("?" + std::to_string(n)) != std::string::npos; ++n) values.push_back(L(1));
    auto plan = c->QueryWith("EXPLAIN QUERY PLAN " + sql, values);
    int steps = 0;
    std::vector<std::string> subqueries;  // rows made by the statement itself, read whole
    for (std::int64_t r = 0; plan->Seek(r); ++r, ++steps) {
      const std::string detail = std::get<std::string>(plan->Column(plan->ColumnCount() - 1));
      for (const char* made : {"CO-ROUTINE ", "MATERIALIZE "}) {
        if (detail.rfind(made, 0) == 0) subqueries.push_back("SCAN " + detail.substr(std::strlen(made)));
      }
      const bool own = std::find(subqueries.begin(), subqueries.end(), detail) != subqueries.end();
      EXPECT_TRUE(detail.rfind("SCAN ", 0) != 0 || own) << detail << "\n  in " << sql;
    }
    EXPECT_GT(steps, 0) << sql;
  }
}

}  // namespace
}  // namespace tarvik::host
