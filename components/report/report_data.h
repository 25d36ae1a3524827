// The rows of the report tables, read through the host's connection: one
// InvoiceData per row of RPT_Invoice_Hdr with the RPT_Invoice_Det rows of
// the same invoice number.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/host_connection.h"
#include "data/value.h"

namespace tarvik::components::report {

// One row: column names (as the database spells them) with their values.
class Record {
 public:
  void Add(std::string name, data::Value value) { fields_.emplace_back(std::move(name), std::move(value)); }
  // Case-insensitive; nullopt when there is no such column.
  std::optional<data::Value> Find(const std::string& name) const;

 private:
  std::vector<std::pair<std::string, data::Value>> fields_;
};

struct InvoiceData {
  Record header;
  std::vector<Record> lines;
};

// Invoices in number order, lines in order and line-number order.
std::vector<InvoiceData> ReadReportTables(data::HostConnection& connection);

// The company settings by name (none in a database that predates them).
Record ReadSettingsRecord(data::HostConnection& connection);

}  // namespace tarvik::components::report
