// Print selection preparation: the report tables emptied, then filled for
// one invoice in three groups of stored queries, each in a transaction.
#include <array>
#include <string>
#include <vector>

#include "data/stored_query.h"
#include "data/transaction.h"
#include "invoice/invoice.h"
#include "invoice/table_names.h"

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
  data::HostConnection& connection = links_.Conn();
  return connection.Execute(std::string("DELETE FROM ") + names::kReportHeaderTable) &&
         connection.Execute(std::string("DELETE FROM ") + names::kReportDetailTable);
}

// Three groups, each in a transaction of its own and each only after the
// one before was committed. Groups already committed stay when a later one
// fails; the next run empties the tables anyway.
bool Invoice::PreparePrintSelection(const std::u16string& invoice_no) {
  const std::vector<Variant> values{Variant::String16(invoice_no)};
  data::HostConnection& connection = links_.Conn();
  {
    data::Transaction transaction(connection);
    bool done = data::RunStoredQuery(connection, names::kHeaderReportQuery, values);
    const auto by = static_cast<std::int32_t>(header_.invoice_by);
    if (done && by >= 0 && by < static_cast<std::int32_t>(kGroupingQueries.size())) {
      for (const char* name : kGroupingQueries[static_cast<std::size_t>(by)]) {
        done = connection.ExecuteQueryDef(name);
        if (!done) break;
      }
    } else {
      done = false;
    }
    if (!done) return false;
    transaction.Commit();
  }
  {
    data::Transaction transaction(connection);
    if (!data::RunStoredQuery(connection, names::kDetailReportQuery, values)) return false;
    transaction.Commit();
  }
  data::Transaction transaction(connection);
  if (!connection.ExecuteQueryDef(names::kHeaderTaxQuery) ||
      !connection.ExecuteQueryDef(names::kDetailTaxQuery)) {
    return false;
  }
  transaction.Commit();
  return true;
}

}  // namespace tarvik::invoice
