// `tarvik list [--export] [--json]`: the invoice headers, or those marked
// for export and not yet exported.
#include <ostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"
#include "host/commands/invoice_view.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

class ListCommand : public Command {
 public:
  explicit ListCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "list"; }
  std::string_view summary() const override { return "List the invoice headers"; }
  void AddOptions(CLI::App& command) override {
    command.add_flag("--export", export_only_, "Only invoices marked for export, not yet exported");
    AddJsonFlag(command, json_);
  }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] { return List(out); });
  }

 private:
  int List(std::ostream& out) {
    InvoiceSession invoice(context_.database, Access::kRead);
    invoice.Let("Filter", Variant::String(export_only_ ? "EXPORT" : ""));
    std::vector<Header> headers;
    if (invoice.Succeeds("OpenRecordset") && invoice.Succeeds("MoveFirst")) {
      do {
        headers.push_back(ReadHeader(invoice));
      } while (invoice.Succeeds("MoveNext"));
    }

    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["selection"] = export_only_ ? "export" : "all";
      doc["count"] = headers.size();
      doc["invoices"] = ojson::array();
      for (const auto& h : headers) doc["invoices"].push_back(HeaderJson(h));
      out << doc.dump(2) << "\n";
      return 0;
    }
    if (headers.empty()) {
      out << (export_only_ ? "No invoices to export.\n" : "No invoices.\n");
      return 0;
    }
    TextTable table;
    for (const auto& f : kHeaderFields) table.columns.push_back({f.heading, f.number});
    for (const auto& h : headers) {
      std::vector<std::string> row;
      for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
        row.push_back(DisplayText(kHeaderFields[i], h[i]));
      }
      table.rows.push_back(std::move(row));
    }
    WriteTable(out, table, "");
    out << headers.size() << (headers.size() == 1 ? " invoice" : " invoices")
        << (export_only_ ? " to export.\n" : ".\n");
    return 0;
  }

  const HostContext& context_;
  bool export_only_ = false;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeListCommand(const HostContext& context) {
  return std::make_unique<ListCommand>(context);
}

}  // namespace tarvik::host
