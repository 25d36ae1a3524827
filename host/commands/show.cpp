// `tarvik show N [--json]`: one invoice, its header through the Invoice
// object and its lines read by the host itself.
#include <cstdint>
#include <ostream>
#include <variant>

#include <CLI/CLI.hpp>

#include "data/value.h"
#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/output/amounts.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"
#include "host/output/variant_json.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

enum class Cell { kText, kWhole, kQuantity, kAmount };

struct DetailColumn {
  const char* name;     // JSON key
  const char* sql;      // the column read
  const char* heading;  // empty: JSON only
  Cell cell;
};

// The order's number for people; its key stays in the JSON for programs.
constexpr std::array<DetailColumn, 9> kDetailColumns = {{
    {"order_number", "o.order_number", "Order", Cell::kText},
    {"order_key", "d.order_key", "", Cell::kWhole},
    {"line_no", "d.line_no", "Line", Cell::kWhole},
    {"item_number", "d.item_number", "Item", Cell::kText},
    {"site", "d.site", "Site", Cell::kText},
    {"quantity", "d.quantity", "Quantity", Cell::kQuantity},
    {"unit_price", "d.unit_price", "Unit price", Cell::kAmount},
    {"discount", "d.discount", "Discount", Cell::kQuantity},
    {"amount", "d.amount", "Amount", Cell::kAmount},
}};

using DetailRows = std::vector<std::vector<data::Value>>;

double RealOf(const data::Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  return 0;
}

std::string CellText(Cell cell, const data::Value& v) {
  if (data::IsNull(v) || cell == Cell::kText || cell == Cell::kWhole) return data::ValueToText(v);
  return cell == Cell::kAmount ? FormatAmount(RealOf(v)) : FormatQuantity(RealOf(v));
}

// `number` is a validated whole number, so it can stand in the text as it is.
DetailRows ReadDetails(data::HostConnection& connection, const std::string& number) {
  std::string sql = "SELECT ";
  for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
    sql += (c ? ", " : "") + std::string(kDetailColumns[c].sql);
  }
  sql += " FROM Invoice_Detail d LEFT JOIN Order_Header o ON o.order_key = d.order_key "
         "WHERE d.invoice_no = " + number + " ORDER BY d.order_key, d.line_no";
  auto rs = connection.OpenQuery(sql);
  DetailRows rows;
  for (std::int64_t r = 0; rs->Seek(r); ++r) {
    std::vector<data::Value> row;
    for (int c = 0; c < static_cast<int>(kDetailColumns.size()); ++c) row.push_back(rs->Column(c));
    rows.push_back(std::move(row));
  }
  return rows;
}

class ShowCommand : public Command {
 public:
  explicit ShowCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "show"; }
  std::string_view summary() const override {
    return "Show one invoice: its header and its lines";
  }
  void AddOptions(CLI::App& command) override {
    AddNumberArgument(command, number_);
    AddJsonFlag(command, json_);
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] {
      number_ = CanonicalNumber(number_);
      return Show(out);
    });
  }

 private:
  int Show(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kRead);
    LoadInvoice(invoice, number_);
    const Header header = ReadHeader(invoice);
    const DetailRows details = ReadDetails(invoice.connection(), number_);

    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["invoice"] = HeaderJson(header);
      doc["lines"] = ojson::array();
      for (const auto& row : details) {
        ojson line;
        for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
          line[kDetailColumns[c].name] = ValueToJson(row[c]);
        }
        doc["lines"].push_back(std::move(line));
      }
      out << doc.dump(2) << "\n";
      return 0;
    }
    out << "Invoice " << number_ << "\n";
    WriteHeader(out, header);
    out << "\nLines\n";
    if (details.empty()) {
      out << "  (none)\n";
      return 0;
    }
    TextTable table;
    for (const auto& c : kDetailColumns) {
      if (*c.heading) table.columns.push_back({c.heading, c.cell != Cell::kText});
    }
    double lines = 0;
    for (const auto& row : details) {
      std::vector<std::string> cells;
      for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
        if (*kDetailColumns[c].heading) cells.push_back(CellText(kDetailColumns[c].cell, row[c]));
      }
      lines += RealOf(row.back());
      table.rows.push_back(std::move(cells));
    }
    WriteTable(out, table);
    out << "  Lines total: " << FormatAmount(lines) << "\n";
    return 0;
  }

  const HostContext& context_;
  std::string number_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeShowCommand(const HostContext& context) {
  return std::make_unique<ShowCommand>(context);
}

}  // namespace tarvik::host
