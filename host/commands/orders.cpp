// `tarvik orders [--ready] [--customer C] [--json]`: the orders, read by the
// host, with what each has packed and not yet invoiced; --ready keeps the
// orders `create` would invoice.
#include <ostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/amounts.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"
#include "host/output/variant_json.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

struct OrderColumn {
  const char* key;      // JSON
  const char* heading;  // table
  bool number;
  bool amount;
};

constexpr std::array<OrderColumn, 8> kOrderColumns = {{
    {"order_number", "Order", false, false},
    {"cust_id", "Customer", false, false},
    {"shipto_name", "Ship to", false, false},
    {"order_date", "Date", false, false},
    {"order_status", "Status", true, false},
    {"lines", "Lines", true, false},
    {"packed_lines", "Packed", true, false},
    {"packed_amount", "Packed amount", true, true},
}};

constexpr const char* kOrdersSql =
    "SELECT h.order_number, h.cust_id, h.shipto_name, h.order_date, h.order_status, "
    "COUNT(d.line_no), SUM(CASE WHEN d.quantity_packed > 0 THEN 1 ELSE 0 END), "
    "SUM(CASE WHEN d.quantity_packed > 0 THEN d.quantity_packed * d.unit_price ELSE 0 END) "
    "FROM Order_Header h LEFT JOIN Order_Detail d ON d.order_key = h.order_key "
    "WHERE ?1 = '' OR h.cust_id = ?1 "
    "GROUP BY h.order_key, h.order_number, h.cust_id, h.shipto_name, h.order_date, h.order_status ";

double RealOf(const data::Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  return 0;
}

class OrdersCommand : public Command {
 public:
  explicit OrdersCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "orders"; }
  std::string_view summary() const override {
    return "List the orders and what each has packed to invoice (--ready: only those)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--ready", ready_, "Only orders with packed lines not yet invoiced");
    command.add_option("--customer", customer_, "Only this customer's orders");
    command.add_flag("--json", json_, "Write one JSON document instead of tables");
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] { return Orders(out); });
  }

 private:
  int Orders(std::ostream& out) {
    auto c = OpenForReading(context_.database);
    const std::string sql = std::string(kOrdersSql) +
                            (ready_ ? "HAVING SUM(CASE WHEN d.quantity_packed > 0 THEN 1 ELSE 0 END) > 0 " : "") +
                            "ORDER BY h.order_key";
    auto rs = c->QueryWith(sql, {Variant::String(customer_)});
    std::vector<std::vector<data::Value>> rows;
    for (std::int64_t r = 0; rs->Seek(r); ++r) {
      std::vector<data::Value> row;
      for (int i = 0; i < static_cast<int>(kOrderColumns.size()); ++i) row.push_back(rs->Column(i));
      rows.push_back(std::move(row));
    }
    double packed = 0;
    for (const auto& row : rows) packed += RealOf(row.back());
    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["selection"] = ready_ ? "ready" : "all";
      doc["count"] = rows.size();
      doc["packed_amount"] = packed;
      doc["orders"] = ojson::array();
      for (const auto& row : rows) {
        ojson item;
        for (std::size_t i = 0; i < kOrderColumns.size(); ++i) {
          item[kOrderColumns[i].key] =
              kOrderColumns[i].amount ? ojson(RealOf(row[i])) : ValueToJson(row[i]);
        }
        doc["orders"].push_back(std::move(item));
      }
      out << doc.dump(2) << "\n";
      return 0;
    }
    if (rows.empty()) {
      out << (ready_ ? "No order has packed lines to invoice.\n" : "No orders.\n");
      return 0;
    }
    TextTable table;
    for (const auto& col : kOrderColumns) table.columns.push_back({col.heading, col.number});
    for (const auto& row : rows) {
      std::vector<std::string> cells;
      for (std::size_t i = 0; i < kOrderColumns.size(); ++i) {
        cells.push_back(kOrderColumns[i].amount ? FormatAmount(RealOf(row[i]))
                                                : data::ValueToText(row[i]));
      }
      table.rows.push_back(std::move(cells));
    }
    WriteTable(out, table, "");
    out << rows.size() << (rows.size() == 1 ? " order" : " orders") << (ready_ ? " ready" : "")
        << ". Packed to invoice: " << FormatAmount(packed) << ".\n";
    return 0;
  }

  const HostContext& context_;
  bool ready_ = false;
  std::string customer_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeOrdersCommand(const HostContext& context) {
  return std::make_unique<OrdersCommand>(context);
}

}  // namespace tarvik::host
