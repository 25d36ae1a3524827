#include "host/posting_readback.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "data/result_set.h"
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

std::vector<InvoiceMade> ReadInvoices(data::HostConnection& c,
                                      const std::vector<std::int32_t>& numbers) {
  std::vector<InvoiceMade> invoices;
  for (std::int32_t number : numbers) {
    const std::vector<Variant> key = {Variant::Long(number)};
    auto head = Rows(c,
                     "SELECT h.invoice_by, "
                     "(SELECT COUNT(*) FROM Invoice_Detail d WHERE d.invoice_no = h.invoice_no), "
                     "(SELECT SUM(d.quantity) FROM Invoice_Detail d WHERE d.invoice_no = h.invoice_no), "
                     "(SELECT SUM(d.amount) FROM Invoice_Detail d WHERE d.invoice_no = h.invoice_no), "
                     "(SELECT SUM(l.quantity) FROM Inventory_Ledger l WHERE l.invoice_no = h.invoice_no) "
                     "FROM Invoice_Header h WHERE h.invoice_no = ?1",
                     key);
    if (head.empty()) continue;  // removed again after a failed relief
    InvoiceMade made;
    made.number = number;
    made.grouping = static_cast<std::int32_t>(Whole(head[0][0]));
    made.lines = Whole(head[0][1]);
    made.units = Real(head[0][2]);
    made.amount = Real(head[0][3]);
    made.relieved = -Real(head[0][4]);
    auto orders = Rows(c,
                       "SELECT DISTINCT o.order_number, o.cust_id FROM Invoice_Detail d "
                       "JOIN Order_Header o ON o.order_key = d.order_key WHERE d.invoice_no = ?1 "
                       "ORDER BY o.order_number",
                       key);
    made.orders = TextColumn(orders, 0);
    made.customers = TextColumn(orders, 1);
    invoices.push_back(std::move(made));
  }
  return invoices;
}

std::int64_t HighestOrderKey(data::HostConnection& c) {
  auto rows = Rows(c, "SELECT MAX(order_key) FROM Order_Header", {});
  return rows.empty() ? 0 : Whole(rows[0][0]);
}

std::vector<BackOrderMade> BackOrdersAfter(data::HostConnection& c, std::int64_t after_key) {
  std::vector<BackOrderMade> orders;
  auto rows = Rows(c,
                   "SELECT h.order_key, h.order_number, h.cust_id, h.shipto_name, "
                   "(SELECT COUNT(*) FROM Order_Detail d WHERE d.order_key = h.order_key), "
                   "(SELECT SUM(d.quantity_ordered) FROM Order_Detail d WHERE d.order_key = h.order_key) "
                   "FROM Order_Header h WHERE h.order_key > ?1 "
                   "AND h.order_comment LIKE 'System Generated Backorder.%' ORDER BY h.order_key",
                   {Key(after_key)});
  for (const auto& r : rows) {
    BackOrderMade made;
    made.order_key = Whole(r[0]);
    made.order_number = Text(r[1]);
    made.customer = Text(r[2]);
    made.ship_to = Text(r[3]);
    made.lines = Whole(r[4]);
    made.units = Real(r[5]);
    made.originals = TextColumn(Rows(c,
                                     "SELECT DISTINCT o.order_number FROM Order_Detail d "
                                     "JOIN Order_Header o ON o.order_key = d.order_key "
                                     "WHERE d.backorder_key = ?1 ORDER BY o.order_number",
                                     {Key(made.order_key)}),
                                0);
    orders.push_back(std::move(made));
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
                          Amount(i.amount), Amount(i.relieved)});
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
