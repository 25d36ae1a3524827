// The host's connection and the outside objects an invoice works through:
// the browsing and order-key record sets and the report component.
#pragma once

#include "components/report_printer.h"
#include "data/data_recordset.h"
#include "data/host_connection.h"
#include "platform/com.h"

namespace tarvik::invoice {

class DataLinks {
 public:
  // Creates the two record sets and the report component; throws when one
  // of them cannot be created.
  DataLinks();
  // Releases the record sets and the report component in that order, none
  // closed first; the connection stays open for the host and no
  // transaction is ended.
  ~DataLinks();
  DataLinks(const DataLinks&) = delete;
  DataLinks& operator=(const DataLinks&) = delete;

  // Keeps the host's connection (or none) and hands it to the report
  // component; the earlier one is released, not closed. Type mismatch when
  // the object is not a database connection.
  void Connect(IDispatch* connection);

  // The connection; error 91 when Connect never handed one over.
  data::HostConnection& Conn();
  // The connection or none, for the steps that hand it on as it is.
  const ComPtr<data::HostConnection>& connection() const { return connection_; }

  data::DataRecordset& browse() { return *browse_; }
  data::DataRecordset& order_keys() { return *order_keys_; }
  components::ReportPrinter& report() { return *report_; }

 private:
  ComPtr<data::HostConnection> connection_;
  ComPtr<data::DataRecordset> browse_;
  ComPtr<data::DataRecordset> order_keys_;
  ComPtr<components::ReportPrinter> report_;
};

}  // namespace tarvik::invoice
