// Back-order detail record: the object's life and the reading functions over
// the rows of v_BO_Detail for one invoice.
#include <string>

#include "backorder/backorder.h"
#include "platform/collection.h"
#include "platform/error.h"

namespace tarvik::backorder {

BackOrder::BackOrder()
    : recordset_(data::NewDataRecordset()), sales_order_(components::NewSalesOrder()) {
  if (!recordset_ || !sales_order_) {
    RaiseError(kErrCannotCreateObject,
               "BackOrder: the record set or the order component could not be created");
  }
}

BackOrder::~BackOrder() {
  CloseRecordset();
  recordset_.reset();
  sales_order_.reset();
  connection_.reset();
}

void BackOrder::Connect(IDispatch* connection) {
  ComPtr<data::HostConnection> host;
  if (connection) {
    host = ComPtr<IDispatch>(connection).As<data::HostConnection>(data::IID_HostConnection);
    if (!host) RaiseError(kErrTypeMismatch, "Connect: the object is not a database connection");
  }
  connection_ = host;
}

data::HostConnection& BackOrder::Conn() {
  if (!connection_) RaiseError(kErrObjectVariableNotSet, "BackOrder: no database connection (Connect)");
  return *connection_;
}

void BackOrder::CloseRecordset() noexcept {
  try {
    info_msg_.clear();
    if (recordset_) recordset_->CloseRecordset();
  } catch (...) {
    // Closing is never an error for the caller.
  }
}

bool BackOrder::OpenRecordset() {
  ComPtr<Collection> params = NewCollection();
  recordset_->SetConnection(connection_);
  recordset_->SetQueryDefName(query_name_.utf8());
  params->Add(Variant::String16(row_.invoice_no.value()));
  recordset_->SetParameters(params);
  bool ok = recordset_->OpenRecordset(std::string(), -1, -1, -1);
  if (ok) {
    row_.Load(*recordset_);
  } else {
    CloseRecordset();
  }
  record_count_ = recordset_->RecordCount();
  return ok;
}

bool BackOrder::FindByFilter() {
  bool ok = OpenRecordset();
  if (!ok) CloseRecordset();
  return ok;
}

bool BackOrder::Find() {
  const automation::TextProperty kept = filter_;
  bool ok = FindByFilter();
  filter_ = kept;
  return ok;
}

bool BackOrder::MoveNext() {
  bool ok = recordset_->MoveNext();
  if (ok) row_.Load(*recordset_);
  return ok;
}

}  // namespace tarvik::backorder
