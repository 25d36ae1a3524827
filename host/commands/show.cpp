// `tarvik show N [--json]`: one invoice, its header through the Invoice
// object and its lines read by the host itself.
#include <cstdint>
#include <ostream>
#include <variant>

#include <CLI/CLI.hpp>

#include "data/value.h"
#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"
#include "host/output/variant_json.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

struct DetailColumn {
  const char* name;
  const char* heading;
  bool number;
};

constexpr std::array<DetailColumn, 8> kDetailColumns = {{
    {"order_key", "Order key", true},
    {"line_no", "Line", true},
    {"item_number", "Item", false},
    {"site", "Site", false},
    {"quantity", "Quantity", true},
    {"unit_price", "Unit price", true},
    {"discount", "Discount", true},
    {"amount", "Amount", true},
}};

using DetailRows = std::vector<std::vector<data::Value>>;

// `number` is a validated whole number, so it can stand in the text as it is.
DetailRows ReadDetails(data::HostConnection& connection, const std::string& number) {
  std::string sql = "SELECT ";
  for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
    sql += (c ? ", " : "") + std::string(kDetailColumns[c].name);
  }
  sql += " FROM Invoice_Detail WHERE invoice_no = " + number + " ORDER BY order_key, line_no";
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
    for (const auto& c : kDetailColumns) table.columns.push_back({c.heading, c.number});
    for (const auto& row : details) {
      std::vector<std::string> cells;
      for (const auto& v : row) cells.push_back(data::ValueToText(v));
      table.rows.push_back(std::move(cells));
    }
    WriteTable(out, table);
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
