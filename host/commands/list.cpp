// `tarvik list [--export] [filters] [--json]`: the invoice headers, or those
// marked for export and not yet exported, with each invoice's customers and
// total read by the host beside them.
#include <map>
#include <optional>
#include <ostream>
#include <set>

#include <CLI/CLI.hpp>

#include "data/result_set.h"
#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/option_checks.h"
#include "host/output/amounts.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

// What the header does not hold: the customers of its orders and the sum
// of its lines.
struct InvoiceSums {
  std::set<std::string> customers;
  double lines = 0;
};

std::map<std::int64_t, InvoiceSums> ReadSums(data::HostConnection& c) {
  std::map<std::int64_t, InvoiceSums> sums;
  auto rs = c.QueryWith(
      "SELECT d.invoice_no, o.cust_id, SUM(d.amount) FROM Invoice_Detail d "
      "LEFT JOIN Order_Header o ON o.order_key = d.order_key GROUP BY d.invoice_no, o.cust_id",
      {});
  for (std::int64_t row = 0; rs->Seek(row); ++row) {
    const auto* number = std::get_if<std::int64_t>(&rs->Column(0));
    if (!number) continue;
    InvoiceSums& s = sums[*number];
    if (const auto* customer = std::get_if<std::string>(&rs->Column(1))) s.customers.insert(*customer);
    if (const auto* amount = std::get_if<double>(&rs->Column(2))) s.lines += *amount;
    if (const auto* amount = std::get_if<std::int64_t>(&rs->Column(2))) s.lines += static_cast<double>(*amount);
  }
  return sums;
}

double AmountOf(const Header& h, const char* member) {
  const Variant& v = h[FieldIndex(member)];
  if (v.is_null() || v.is_empty()) return 0;
  return regional::ParseNumber(v.ToString()).value_or(0);
}

std::optional<double> DateOf(const Header& h, const char* member) {
  const std::string text = h[FieldIndex(member)].ToString();
  if (text.empty()) return std::nullopt;
  return regional::ParseDate(text);
}

std::string Join(const std::set<std::string>& texts) {
  std::string joined;
  for (const auto& t : texts) joined += (joined.empty() ? "" : ", ") + t;
  return joined;
}

struct Row {
  Header header;
  std::set<std::string> customers;
  double total = 0;  // lines, freight and other charge
  double paid = 0;
};

// The columns of the readable list, by header member; the host's own
// columns stand where they read best.
constexpr std::array<const char*, 9> kListColumns = {
    "InvoiceNo", "InvoiceDate", "", "BillTo", "PrintInvoiceBy", "*total", "Paid", "Export_Flag",
    "Export_Date"};

class ListCommand : public Command {
 public:
  explicit ListCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "list"; }
  std::string_view summary() const override {
    return "List the invoices with customer and total (filters: customer, dates, unpaid, exported)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--export", export_only_, "Only invoices marked for export, not yet exported");
    command.add_option("--customer", customer_, "Only invoices of this customer");
    command.add_option("--since", since_, "Only invoices dated on or after this date")
        ->check(CLI::Validator([](std::string& t) { return CheckValue(ValueKind::kDate, t); }, "DATE"));
    command.add_option("--until", until_, "Only invoices dated on or before this date")
        ->check(CLI::Validator([](std::string& t) { return CheckValue(ValueKind::kDate, t); }, "DATE"));
    command.add_flag("--unpaid", unpaid_, "Only invoices paid less than their total");
    command.add_flag("--exported", exported_, "Only invoices already exported (an export date)");
    AddJsonFlag(command, json_);
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] { return List(out); });
  }

 private:
  bool Wanted(const Row& r) const {
    if (!customer_.empty() && !r.customers.count(customer_)) return false;
    const std::optional<double> date = DateOf(r.header, "InvoiceDate");
    if (const auto from = regional::ParseDate(since_); from && (!date || *date < *from)) return false;
    if (const auto to = regional::ParseDate(until_); to && (!date || *date >= *to + 1)) return false;
    if (unpaid_ && r.paid >= r.total - 0.005) return false;
    if (exported_ && !DateOf(r.header, "Export_Date")) return false;
    return true;
  }

  // Each wanted row becomes its output form as it is read (the table's
  // cells or the JSON item), so a long list holds only what it prints.
  int List(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kRead);
    invoice.Let("Filter", Variant::String(export_only_ ? "EXPORT" : ""));
    const std::map<std::int64_t, InvoiceSums> sums = ReadSums(invoice.connection());
    TextTable table;
    ojson items = ojson::array();
    std::size_t count = 0;
    double total = 0, paid = 0;
    if (invoice.Succeeds("OpenRecordset") && invoice.Succeeds("MoveFirst")) {
      do {
        Row r;
        r.header = ReadHeader(invoice);
        const auto it = sums.find(static_cast<std::int64_t>(AmountOf(r.header, "InvoiceNo")));
        if (it != sums.end()) {
          r.customers = it->second.customers;
          r.total = it->second.lines;
        }
        r.total += AmountOf(r.header, "FreightAmount") + AmountOf(r.header, "OtherCharge");
        r.paid = AmountOf(r.header, "Paid");
        if (!Wanted(r)) continue;
        ++count;
        total += r.total;
        paid += r.paid;
        if (json_) {
          items.push_back(Item(r));
        } else {
          table.rows.push_back(Cells(r));
        }
      } while (invoice.Succeeds("MoveNext"));
    }

    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["selection"] = export_only_ ? "export" : "all";
      doc["count"] = count;
      doc["total"] = total;
      doc["paid"] = paid;
      doc["open"] = total - paid;
      doc["invoices"] = std::move(items);
      out << doc.dump(2) << "\n";
      return 0;
    }
    if (count == 0) {
      out << (export_only_ ? "No invoices to export.\n" : "No invoices.\n");
      return 0;
    }
    for (const char* member : kListColumns) {
      const std::string_view m(member);
      if (m.empty()) {
        table.columns.push_back({"Customer", false});
      } else if (m == "*total") {
        table.columns.push_back({"Total", true});
      } else {
        const HeaderField& f = kHeaderFields[FieldIndex(m)];
        table.columns.push_back({f.heading, f.number()});
      }
    }
    WriteTable(out, table, "");
    out << count << (count == 1 ? " invoice" : " invoices")
        << (export_only_ ? " to export" : "") << ". Total " << FormatAmount(total) << ", paid "
        << FormatAmount(paid) << ", open " << FormatAmount(total - paid) << ".\n";
    return 0;
  }

  static ojson Item(const Row& r) {
    ojson item = HeaderJson(r.header);
    item["customers"] = r.customers;
    item["total"] = r.total;
    item["open"] = r.total - r.paid;
    return item;
  }

  static std::vector<std::string> Cells(const Row& r) {
    std::vector<std::string> cells;
    for (const char* member : kListColumns) {
      const std::string_view m(member);
      if (m.empty()) {
        cells.push_back(Join(r.customers));
      } else if (m == "*total") {
        cells.push_back(FormatAmount(r.total));
      } else {
        const std::size_t i = FieldIndex(m);
        cells.push_back(DisplayText(kHeaderFields[i], r.header[i]));
      }
    }
    return cells;
  }

  const HostContext& context_;
  bool export_only_ = false;
  std::string customer_;
  std::string since_, until_;
  bool unpaid_ = false;
  bool exported_ = false;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeListCommand(const HostContext& context) {
  return std::make_unique<ListCommand>(context);
}

}  // namespace tarvik::host
