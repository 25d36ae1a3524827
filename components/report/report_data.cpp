#include "components/report/report_data.h"

#include <memory>
#include <strings.h>

#include "data/result_set.h"
#include "data/table_lookup.h"

namespace tarvik::components::report {
namespace {

std::vector<Record> ReadAll(data::ResultSet& rows) {
  std::vector<Record> records;
  const int columns = rows.ColumnCount();
  std::vector<std::string> names;
  for (int c = 0; c < columns; ++c) names.push_back(rows.ColumnName(c));
  for (std::int64_t r = 0; rows.Seek(r); ++r) {
    Record record;
    for (int c = 0; c < columns; ++c) record.Add(names[c], rows.Column(c));
    records.push_back(std::move(record));
  }
  return records;
}

bool SameNumber(const std::optional<data::Value>& a, const std::optional<data::Value>& b) {
  return a && b && *a == *b;
}

}  // namespace

std::optional<data::Value> Record::Find(const std::string& name) const {
  for (const auto& [column, value] : fields_) {
    if (strcasecmp(column.c_str(), name.c_str()) == 0) return value;
  }
  return std::nullopt;
}

std::vector<InvoiceData> ReadReportTables(data::HostConnection& connection) {
  auto headers = connection.OpenQuery("SELECT * FROM RPT_Invoice_Hdr ORDER BY invoice_no");
  std::vector<InvoiceData> invoices;
  for (auto& header : ReadAll(*headers)) invoices.push_back({std::move(header), {}});
  if (invoices.empty()) return invoices;
  auto lines = connection.OpenQuery(
      "SELECT * FROM RPT_Invoice_Det ORDER BY invoice_no, order_number, line_no");
  for (auto& line : ReadAll(*lines)) {
    const auto number = line.Find("invoice_no");
    for (auto& invoice : invoices) {
      if (SameNumber(invoice.header.Find("invoice_no"), number)) {
        invoice.lines.push_back(std::move(line));
        break;
      }
    }
  }
  return invoices;
}

Record ReadSettingsRecord(data::HostConnection& connection) {
  Record record;
  if (!data::TablesExist(connection, {"Company_Settings"})) return record;
  auto rows = connection.OpenQuery("SELECT setting_name, setting_value FROM Company_Settings");
  for (std::int64_t r = 0; rows->Seek(r); ++r) {
    record.Add(data::ValueToText(rows->Column(0)), rows->Column(1));
  }
  return record;
}

}  // namespace tarvik::components::report
