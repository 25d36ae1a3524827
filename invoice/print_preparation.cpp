// Print selection preparation: the report tables emptied, then filled for
// one invoice in three groups of stored queries, each in a transaction.
#include <array>
#include <string>
#include <vector>

#include "data/stored_query.h"
#include "invoice/invoice.h"

namespace tarvik::invoice {
namespace {

// The grouping queries that follow the header query, by InvoiceBy. The
// lower-case names are the database's own.
const std::array<std::vector<const char*>, 4> kGroupingQueries = {{
    {"v_Invoice_Up_OrderNo"},
    {"v_invoice_del_custid", "v_invoice_up_shipto"},
    {"v_invoice_del_custid", "v_invoice_up_custid"},
    {"v_invoice_del_custid"},
}};

}  // namespace

bool Invoice::ClearReportTables() {
  data::HostConnection& connection = Conn();
  return connection.Execute("DELETE FROM " + report_header_table_) &&
         connection.Execute("DELETE FROM " + report_detail_table_);
}

// Groups already committed stay when a later one fails; the next run empties
// the tables anyway.
bool Invoice::PreparePrintSelection() {
  const std::vector<Variant> values{Variant::String16(invoice_no_.value())};
  data::HostConnection& connection = Conn();

  connection.BeginTrans();
  bool group = data::RunStoredQuery(connection, header_report_query_, values);
  const auto by = static_cast<std::int32_t>(print_invoice_by_);
  if (group && by >= 0 && by < static_cast<std::int32_t>(kGroupingQueries.size())) {
    for (const char* name : kGroupingQueries[static_cast<std::size_t>(by)]) {
      group = connection.ExecuteQueryDef(name);
      if (!group) break;
    }
  } else {
    group = false;
  }
  if (!group) {
    connection.Rollback();
    return false;
  }
  connection.CommitTrans();

  connection.BeginTrans();
  if (!data::RunStoredQuery(connection, detail_report_query_, values)) {
    connection.Rollback();
    return false;
  }
  connection.CommitTrans();

  connection.BeginTrans();
  if (connection.ExecuteQueryDef(header_tax_query_) &&
      connection.ExecuteQueryDef(detail_tax_query_)) {
    connection.CommitTrans();
    return true;
  }
  connection.Rollback();
  return false;
}

}  // namespace tarvik::invoice
