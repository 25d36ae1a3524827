#include "host/posting_readback.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <ostream>

#include "data/result_set.h"
#include "host/output/amounts.h"
#include "host/output/table_output.h"
#include "platform/regional.h"
#include "platform/variant.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;
using Row = std::vector<data::Value>;

std::vector<Row> Rows(data::HostConnection& c, const std::string& sql,
                      const std::vector<Variant>& values) {
  auto rs = c.QueryWith(sql, values);
  std::vector<Row> rows;
  for (std::int64_t r = 0; rs->Seek(r); ++r) {
    Row row;
    for (int col = 0; col < rs->ColumnCount(); ++col) row.push_back(rs->Column(col));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::int64_t Whole(const data::Value& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto d = std::get_if<double>(&v)) return static_cast<std::int64_t>(*d);
  return 0;
}

double Real(const data::Value& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  return 0;
}

std::string Text(const data::Value& v) {
  if (auto s = std::get_if<std::string>(&v)) return *s;
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  return {};
}

std::vector<std::string> TextColumn(const std::vector<Row>& rows, std::size_t column) {
  std::vector<std::string> texts;
  for (const auto& r : rows) {
    std::string t = Text(r[column]);
    if (std::find(texts.begin(), texts.end(), t) == texts.end()) texts.push_back(std::move(t));
  }
  return texts;
}

Variant Key(std::int64_t key) { return Variant::Double(static_cast<double>(key)); }

std::string Amount(double v) { return regional::FormatDouble(v); }

constexpr std::array<const char*, 4> kGroupingNames = {"order", "ship-to", "customer",
                                                      "customer order"};

}  // namespace

std::string GroupingName(std::int32_t invoice_by) {
  if (invoice_by >= 0 && invoice_by < static_cast<std::int32_t>(kGroupingNames.size())) {
    return kGroupingNames[static_cast<std::size_t>(invoice_by)];
  }
  return std::to_string(invoice_by);
}

std::string JoinTexts(const std::vector<std::string>& texts) {
  std::string joined;
  for (const auto& t : texts) joined += (joined.empty() ? "" : ", ") + t;
  return joined;
}

std::set<std::int32_t> InvoiceNumbersFrom(data::HostConnection& c, std::int32_t first) {
  std::set<std::int32_t> numbers;
  for (const auto& r :
       Rows(c, "SELECT invoice_no FROM Invoice_Header WHERE invoice_no >= ?1", {Variant::Long(first)})) {
    numbers.insert(static_cast<std::int32_t>(Whole(r[0])));
  }
  return numbers;
}

std::vector<std::int32_t> NewNumbers(const std::set<std::int32_t>& before,
                                     const std::set<std::int32_t>& after) {
  std::vector<std::int32_t> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  return added;
}

namespace {

// One forward pass over a result: the rows of a run are visited once each,
// however many invoices they belong to.
class Cursor {
 public:
  explicit Cursor(std::unique_ptr<data::ResultSet> rs) : rs_(std::move(rs)) { valid_ = rs_->Seek(0); }
  bool valid() const { return valid_; }
  const data::Value& operator[](int column) const { return rs_->Column(column); }
  void Next() { valid_ = rs_->Seek(++row_); }
  // Skips rows whose first column (a number ascending) is below number;
  // true when the current row then belongs to number.
  bool At(std::int64_t number) {
    while (valid_ && Whole(rs_->Column(0)) < number) Next();
    return valid_ && Whole(rs_->Column(0)) == number;
  }

 private:
  std::unique_ptr<data::ResultSet> rs_;
  std::int64_t row_ = 0;
  bool valid_ = false;
};

// Texts in the order first met, each once; one invoice may gather the
// orders of a whole customer, so the texts met are looked up, not searched.
class DistinctTexts {
 public:
  explicit DistinctTexts(std::vector<std::string>& texts) : texts_(texts) {
    seen_.insert(texts.begin(), texts.end());
  }
  void Add(std::string text) {
    if (seen_.insert(text).second) texts_.push_back(std::move(text));
  }

 private:
  std::vector<std::string>& texts_;
  std::unordered_set<std::string> seen_;
};

}  // namespace

std::int64_t HighestLedgerEntry(data::HostConnection& c) {
  auto rows = Rows(c, "SELECT MAX(entry_id) FROM Inventory_Ledger", {});
  return rows.empty() ? 0 : Whole(rows[0][0]);
}

// The run's numbers lie between its first and last; each query reads that
// range by key once, so the work follows the invoices reported.
std::vector<InvoiceMade> ReadInvoices(data::HostConnection& c,
                                      const std::vector<std::int32_t>& numbers,
                                      std::int64_t ledger_after) {
  std::vector<InvoiceMade> invoices;
  if (numbers.empty()) return invoices;
  const std::vector<Variant> range = {Variant::Long(numbers.front()), Variant::Long(numbers.back())};
  Cursor heads(c.QueryWith("SELECT invoice_no, invoice_by FROM Invoice_Header "
                           "WHERE invoice_no BETWEEN ?1 AND ?2 ORDER BY invoice_no",
                           range));
  Cursor sums(c.QueryWith("SELECT invoice_no, COUNT(*), SUM(quantity), SUM(amount) FROM Invoice_Detail "
                          "WHERE invoice_no BETWEEN ?1 AND ?2 GROUP BY invoice_no ORDER BY invoice_no",
                          range));
  // Each order once per invoice before the join, not once per line.
  Cursor orders(c.QueryWith("SELECT DISTINCT d.invoice_no, o.order_number, o.cust_id "
                            "FROM (SELECT DISTINCT invoice_no, order_key FROM Invoice_Detail "
                            "WHERE invoice_no BETWEEN ?1 AND ?2) d JOIN Order_Header o ON o.order_key = d.order_key "
                            "ORDER BY d.invoice_no, o.order_number, o.cust_id",
                            range));
  // The ledger has no key by invoice; what the run relieved was posted
  // after ledger_after, in entry order, and is summed in that order.
  std::unordered_map<std::int32_t, double> relieved;
  {
    Cursor ledger(c.QueryWith("SELECT invoice_no, quantity FROM Inventory_Ledger "
                              "WHERE entry_id > ?1 AND invoice_no BETWEEN ?2 AND ?3 ORDER BY entry_id",
                              {Key(ledger_after), range[0], range[1]}));
    for (; ledger.valid(); ledger.Next()) {
      const auto number = static_cast<std::int32_t>(Whole(ledger[0]));
      if (std::binary_search(numbers.begin(), numbers.end(), number)) {
        relieved[number] += Real(ledger[1]);
      }
    }
  }
  for (std::int32_t number : numbers) {
    if (!heads.At(number)) continue;  // removed again after a failed relief
    InvoiceMade made;
    made.number = number;
    made.grouping = static_cast<std::int32_t>(Whole(heads[1]));
    if (sums.At(number)) {
      made.lines = Whole(sums[1]);
      made.units = Real(sums[2]);
      made.amount = Real(sums[3]);
    }
    if (auto r = relieved.find(number); r != relieved.end()) made.relieved = -r->second;
    DistinctTexts order_numbers(made.orders), customers(made.customers);
    for (; orders.At(number); orders.Next()) {
      order_numbers.Add(Text(orders[1]));
      customers.Add(Text(orders[2]));
    }
    invoices.push_back(std::move(made));
  }
  return invoices;
}

std::int64_t HighestOrderKey(data::HostConnection& c) {
  auto rows = Rows(c, "SELECT MAX(order_key) FROM Order_Header", {});
  return rows.empty() ? 0 : Whole(rows[0][0]);
}

std::vector<BackOrderMade> BackOrdersAfter(data::HostConnection& c, std::int64_t after_key,
                                           std::int32_t first_invoice, std::int32_t last_invoice) {
  std::vector<BackOrderMade> orders;
  Cursor made_rows(c.QueryWith(
      "SELECT h.order_key, h.order_number, h.cust_id, h.shipto_name, "
      "(SELECT COUNT(*) FROM Order_Detail d WHERE d.order_key = h.order_key), "
      "(SELECT SUM(d.quantity_ordered) FROM Order_Detail d WHERE d.order_key = h.order_key) "
      "FROM Order_Header h WHERE h.order_key > ?1 "
      "AND h.order_comment LIKE 'System Generated Backorder.%' ORDER BY h.order_key",
      {Key(after_key)}));
  for (; made_rows.valid(); made_rows.Next()) {
    BackOrderMade made;
    made.order_key = Whole(made_rows[0]);
    made.order_number = Text(made_rows[1]);
    made.customer = Text(made_rows[2]);
    made.ship_to = Text(made_rows[3]);
    made.lines = Whole(made_rows[4]);
    made.units = Real(made_rows[5]);
    orders.push_back(std::move(made));
  }
  if (orders.empty()) return orders;
  // Nothing keys the lines by back order, so they are found through the
  // orders the invoices took lines from: that is where the back-order
  // workflow looks for what is still open.
  Cursor originals(c.QueryWith(
      "SELECT DISTINCT d.backorder_key, o.order_number FROM Order_Detail d "
      "JOIN Order_Header o ON o.order_key = d.order_key "
      "WHERE d.order_key IN (SELECT order_key FROM Invoice_Detail WHERE invoice_no BETWEEN ?2 AND ?3) "
      "AND d.backorder_key > ?1 ORDER BY d.backorder_key, o.order_number",
      {Key(after_key), Variant::Long(first_invoice), Variant::Long(last_invoice)}));
  for (auto& made : orders) {
    DistinctTexts originals_of(made.originals);
    for (; originals.At(made.order_key); originals.Next()) originals_of.Add(Text(originals[1]));
    // Made from someone else's invoice meanwhile: looked for one by one.
    if (made.originals.empty()) {
      made.originals = TextColumn(Rows(c,
                                       "SELECT DISTINCT o.order_number FROM Order_Detail d "
                                       "JOIN Order_Header o ON o.order_key = d.order_key "
                                       "WHERE d.backorder_key = ?1 ORDER BY o.order_number",
                                       {Key(made.order_key)}),
                                  0);
    }
  }
  return orders;
}

void WriteInvoices(std::ostream& out, const std::vector<InvoiceMade>& invoices,
                   const std::string& indent) {
  if (invoices.empty()) return;
  TextTable table;
  table.columns = {{"Invoice", true}, {"By", false},    {"Customer", false}, {"Orders", false},
                   {"Lines", true},   {"Units", true},  {"Amount", true},    {"Stock taken", true}};
  for (const auto& i : invoices) {
    table.rows.push_back({std::to_string(i.number), GroupingName(i.grouping), JoinTexts(i.customers),
                          JoinTexts(i.orders), std::to_string(i.lines), Amount(i.units),
                          FormatAmount(i.amount), Amount(i.relieved)});
  }
  WriteTable(out, table, indent);
}

void WriteBackOrders(std::ostream& out, const std::vector<BackOrderMade>& orders,
                     const std::string& indent) {
  if (orders.empty()) return;
  TextTable table;
  table.columns = {{"New order", false}, {"From order", false}, {"Customer", false},
                   {"Ship to", false},   {"Lines", true},       {"Units", true}};
  for (const auto& o : orders) {
    table.rows.push_back({o.order_number, JoinTexts(o.originals), o.customer, o.ship_to,
                          std::to_string(o.lines), Amount(o.units)});
  }
  WriteTable(out, table, indent);
}

ojson InvoicesJson(const std::vector<InvoiceMade>& invoices) {
  ojson list = ojson::array();
  for (const auto& i : invoices) {
    list.push_back({{"invoice_no", i.number},
                    {"invoice_by", i.grouping},
                    {"customers", i.customers},
                    {"orders", i.orders},
                    {"lines", i.lines},
                    {"units", i.units},
                    {"amount", i.amount},
                    {"stock_relieved", i.relieved}});
  }
  return list;
}

ojson BackOrdersJson(const std::vector<BackOrderMade>& orders) {
  ojson list = ojson::array();
  for (const auto& o : orders) {
    list.push_back({{"order_key", o.order_key},
                    {"order_number", o.order_number},
                    {"original_orders", o.originals},
                    {"cust_id", o.customer},
                    {"shipto_name", o.ship_to},
                    {"lines", o.lines},
                    {"units", o.units}});
  }
  return list;
}

}  // namespace tarvik::host
