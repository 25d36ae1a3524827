#include "host/output/database_info.h"

#include <algorithm>
#include <array>
#include <ostream>

#include <nlohmann/json.hpp>

#include "host/output/table_output.h"
#include "host/output/variant_json.h"
#include "platform/ascii.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

struct Section {
  const char* key;
  const char* title;
  const char* sql;
};

const std::array<Section, 4> kSections = {{
    {"orders", "Orders",
     "SELECT order_number, cust_id, order_date, order_status FROM Order_Header ORDER BY order_key"},
    {"invoices", "Invoices",
     "SELECT invoice_no, invoice_date, bill_to, invoice_by FROM Invoice_Header ORDER BY invoice_no"},
    {"stock", "Stock", "SELECT item_number, site, on_hand FROM Inventory ORDER BY item_number, site"},
    {"options", "Options", "SELECT option_name, option_value FROM System ORDER BY option_name"},
}};

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<data::Value>> rows;
  std::string error;  // set when the query could not run
};

Table Read(data::Backend& backend, const std::string& sql) {
  Table t;
  try {
    auto rs = backend.Query(sql, {});
    for (int i = 0; i < rs->ColumnCount(); ++i) t.columns.push_back(rs->ColumnName(i));
    for (std::int64_t r = 0; rs->Seek(r); ++r) {
      std::vector<data::Value> row;
      for (int i = 0; i < rs->ColumnCount(); ++i) row.push_back(rs->Column(i));
      t.rows.push_back(std::move(row));
    }
  } catch (const AutomationError& e) {
    t.error = e.description();
  }
  return t;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + "\"";
}

bool IsNumber(const data::Value& v) {
  return std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v);
}

// A column reads right-aligned when it holds numbers and nothing else but
// nulls; SQLite may keep a text among them, and then the column is text.
bool NumberColumn(const Table& t, std::size_t c) {
  bool any = false;
  for (const auto& row : t.rows) {
    if (data::IsNull(row[c])) continue;
    if (!IsNumber(row[c])) return false;
    any = true;
  }
  return any;
}

void Render(std::ostream& out, const std::string& title, const Table& t) {
  out << "\n" << title << "\n";
  if (!t.error.empty()) {
    out << "  (not available: " << t.error << ")\n";
    return;
  }
  if (t.rows.empty()) {
    out << "  (none)\n";
    return;
  }
  TextTable text;
  for (std::size_t c = 0; c < t.columns.size(); ++c) text.columns.push_back({t.columns[c], NumberColumn(t, c)});
  for (const auto& row : t.rows) {
    std::vector<std::string> cells;
    for (const data::Value& v : row) cells.push_back(data::ValueToText(v));
    text.rows.push_back(std::move(cells));
  }
  WriteTable(out, text);
}

const char* const kSchemaTables[] = {
    "Customer",       "Inventory",       "Inventory_Ledger", "Invoice_Delete", "Invoice_Detail",
    "Invoice_Header", "Item",            "Order_Detail",     "Order_Header",   "QueryDefParams",
    "QueryDefs",      "RPT_Invoice_Det", "RPT_Invoice_Hdr",  "ShipTo",         "System"};

bool IsSchemaTable(const std::string& name) {
  return std::find(std::begin(kSchemaTables), std::end(kSchemaTables), name) != std::end(kSchemaTables);
}

// PostgreSQL folds unquoted names to lower case; the books' own tables are
// shown as the schema spells them. Other tables keep the server's spelling.
std::string SchemaSpelling(const std::string& name) {
  for (const char* t : kSchemaTables) {
    if (EqualsNoCase(name, t)) return t;
  }
  return name;
}

}  // namespace

std::vector<std::string> ListTables(data::Backend& backend) {
  const char* sql =
      backend.dialect() == data::Dialect::kSqlite
          ? "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
            "ORDER BY name"
          : "SELECT table_name FROM information_schema.tables WHERE table_schema = "
            "current_schema() AND table_type = 'BASE TABLE' ORDER BY table_name";
  std::vector<std::string> names;
  auto rs = backend.Query(sql, {});
  for (std::int64_t r = 0; rs->Seek(r); ++r) names.push_back(SchemaSpelling(data::ValueToText(rs->Column(0))));
  // Byte order, as SQLite sorts them, so both list the same way.
  std::sort(names.begin(), names.end());
  return names;
}

void WriteDatabaseInfo(data::Backend& backend, std::ostream& out, bool json) {
  Table counts;
  counts.columns = {"table", "rows"};
  for (const auto& name : ListTables(backend)) {
    // The books' tables go unquoted so the server folds them as it did on creation.
    const bool ours = IsSchemaTable(name);
    Table n = Read(backend, "SELECT COUNT(*) FROM " + (ours ? name : QuoteIdentifier(name)));
    data::Value count = n.rows.empty() ? data::Value{} : n.rows[0][0];
    counts.rows.push_back({name, count});
  }
  std::vector<Table> sections;
  for (const auto& s : kSections) sections.push_back(Read(backend, s.sql));

  if (json) {
    ojson doc;
    doc["ok"] = true;
    doc["database"] = backend.DatabaseName();
    ojson tables = ojson::object();
    for (const auto& row : counts.rows) tables[data::ValueToText(row[0])] = ValueToJson(row[1]);
    doc["tables"] = std::move(tables);
    ojson errors = ojson::array();
    for (std::size_t i = 0; i < kSections.size(); ++i) {
      ojson rows = ojson::array();
      for (const auto& row : sections[i].rows) {
        ojson r;
        for (std::size_t c = 0; c < row.size(); ++c) r[sections[i].columns[c]] = ValueToJson(row[c]);
        rows.push_back(std::move(r));
      }
      doc[kSections[i].key] = std::move(rows);
      if (!sections[i].error.empty()) {
        errors.push_back({{"section", kSections[i].key}, {"description", sections[i].error}});
      }
    }
    if (!errors.empty()) doc["errors"] = std::move(errors);
    out << doc.dump(2) << "\n";
    return;
  }
  out << "Database: " << backend.DatabaseName() << "\n";
  Render(out, "Tables", counts);
  for (std::size_t i = 0; i < kSections.size(); ++i) Render(out, kSections[i].title, sections[i]);
}

}  // namespace tarvik::host
