#include "invoice/data_links.h"

#include "platform/error.h"

namespace tarvik::invoice {

DataLinks::DataLinks()
    : browse_(data::NewDataRecordset()),
      order_keys_(data::NewDataRecordset()),
      report_(components::NewReportPrinter()) {
  if (!browse_ || !order_keys_ || !report_) {
    RaiseError(kErrCannotCreateObject,
               "Invoice: a record set or the report component could not be created");
  }
}

DataLinks::~DataLinks() {
  browse_.reset();
  order_keys_.reset();
  report_.reset();
}

void DataLinks::Connect(IDispatch* connection) {
  ComPtr<data::HostConnection> host;
  if (connection) {
    host = ComPtr<IDispatch>(connection).As<data::HostConnection>(data::IID_HostConnection);
    if (!host) RaiseError(kErrTypeMismatch, "Connect: the object is not a database connection");
  }
  connection_ = host;
  report_->SetConnection(connection_);
}

data::HostConnection& DataLinks::Conn() {
  if (!connection_) RaiseError(kErrObjectVariableNotSet, "Invoice: no database connection (Connect)");
  return *connection_;
}

}  // namespace tarvik::invoice
