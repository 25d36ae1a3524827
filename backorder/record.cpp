// BackOrder detail record: the object's life, the reading functions and the
// row load of the 23-column back-order detail layout.
#include <string>

#include "backorder/backorder.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::backorder {

HRESULT BackOrderBase::BackOrder(VARIANT_BOOL* result) {
  return AnswerBool(result, [this] { return static_cast<class BackOrder*>(this)->RunBackOrder(); });
}

BackOrder::BackOrder() : query_name_("v_BO_Detail") {
  recordset_ = data::NewDataRecordset();
  sales_order_ = components::NewSalesOrder();
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

void* BackOrder::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch || riid == IID__BackOrder) {
    return static_cast<_BackOrder*>(this);
  }
  return nullptr;
}

ComPtr<_BackOrder> NewBackOrder() { return MakeCom<class BackOrder>(); }

HRESULT BackOrder::putref_Connect(IDispatch* value) {
  return automation::Run([&] { Connect(value); });
}

void BackOrder::Connect(IDispatch* connection) {
  ComPtr<data::HostConnection> host;
  if (connection) {
    host = ComPtr<IDispatch>(connection).As<data::HostConnection>(data::IID_HostConnection);
    if (!host) RaiseError(kErrTypeMismatch, "Connect: the object is not a database connection");
  }
  connection_ = host;
}

HRESULT BackOrder::CloseRecordset() noexcept {
  try {
    info_msg_.clear();
    if (recordset_) recordset_->CloseRecordset();
  } catch (...) {
    // Closing is never an error for the caller.
  }
  return S_OK;
}

bool BackOrder::OpenRecordset() {
  ComPtr<Collection> params = NewCollection();
  recordset_->SetConnection(connection_);
  recordset_->SetQueryDefName(query_name_.utf8());
  params->Add(Variant::String16(invoice_no_.value()));
  recordset_->SetParameters(params);
  bool ok = recordset_->OpenRecordset(std::string(), -1, -1, -1);
  if (ok) {
    LoadFields();
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
  TextProperty kept = filter_;
  bool ok = FindByFilter();
  filter_ = kept;
  return ok;
}

bool BackOrder::MoveNext() {
  bool ok = recordset_->MoveNext();
  if (ok) LoadFields();
  return ok;
}

// Every read leaves the column index out: the reader stands on column 0
// after an open or a move and then takes the columns in turn.
void BackOrder::LoadFields() {
  data::DataRecordset& rs = *recordset_;
  invoice_no_.set_utf8(std::to_string(rs.ReadLong()));
  order_key_ = std::to_string(rs.ReadLong());
  order_number_.set_utf8(rs.ReadString());
  cust_id_.set_utf8(rs.ReadString());
  ship_to_name_.set_utf8(rs.ReadString());
  reference_no_.set_utf8(rs.ReadString());
  due_date_.set_utf8(regional::FormatDate(rs.ReadDate()));
  order_header_discount_.set_utf8(regional::FormatSingle(rs.ReadSingle()));
  ship_via_.set_utf8(rs.ReadString());
  price_struct_.set_utf8(rs.ReadString());
  oe_extra1_.set_utf8(rs.ReadString());
  oe_extra2_.set_utf8(rs.ReadString());
  non_merch_order_ = rs.ReadBoolean();
  header_text_a_ = rs.ReadString();
  header_text_b_ = rs.ReadString();
  item_number_.set_utf8(rs.ReadString());
  site_.set_utf8(rs.ReadString());
  quantity_ordered_.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  quantity_to_ship_.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  unit_price_.set_utf8(regional::FormatDouble(rs.ReadDouble()));
  order_detail_discount_.set_utf8(regional::FormatSingle(rs.ReadSingle()));
  std::int16_t line_code = rs.ReadInteger();
  if (line_code < 0 || line_code > 255) RaiseError(kErrOverflow);
  line_code_ = static_cast<BYTE>(line_code);
  quantity_packed_.set_utf8(regional::FormatDouble(rs.ReadDouble()));
}

}  // namespace tarvik::backorder
