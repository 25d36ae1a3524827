// Invoice state: creation and release, the two properties with side effects
// (Connect, ReportFormula), ClearFields and the message channel.
#include "invoice/invoice.h"
#include "platform/ui_services.h"

namespace tarvik::invoice {

Invoice::Invoice() {
  show_message_box_ = true;
  header_table_ = "Invoice_Header";
  header_report_query_ = "v_Invoice_Hdr";
  detail_report_query_ = "v_Invoice_Det";
  header_tax_query_ = "v_Invoice_Up_Hdr_Tax";
  detail_tax_query_ = "v_Invoice_Up_Det_Tax";
  report_header_table_ = "RPT_Invoice_Hdr";
  report_detail_table_ = "RPT_Invoice_Det";
  browse_ = data::NewDataRecordset();
  order_keys_ = data::NewDataRecordset();
  report_ = components::NewReportPrinter();
  if (!browse_ || !order_keys_ || !report_) {
    RaiseError(kErrCannotCreateObject,
               "Invoice: a record set or the report component could not be created");
  }
}

// Released in this order, none closed first; the connection stays open for
// the host and no transaction is ended.
Invoice::~Invoice() {
  browse_.reset();
  order_keys_.reset();
  report_.reset();
}

void* Invoice::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch || riid == IID__Invoice) {
    return static_cast<_Invoice*>(this);
  }
  return nullptr;
}

ComPtr<_Invoice> NewInvoice() { return ComPtr<_Invoice>(MakeCom<Invoice>().get()); }

HRESULT Invoice::SeekRecord(VARIANT* vSeekValue, VARIANT_BOOL* result) {
  if (!vSeekValue) return E_POINTER;
  return AnswerBool(result, [&] { return SeekRecord(Variant(*vSeekValue)); });
}

HRESULT Invoice::putref_Connect(IDispatch* value) {
  return automation::Run([&] { Connect(value); });
}

HRESULT Invoice::putref_ReportFormula(IDispatch* value) {
  return automation::Run([&] { SetReportFormula(value); });
}

HRESULT Invoice::get_ReportFormula(IDispatch** value) {
  if (!value) return E_POINTER;
  *value = ComPtr<IDispatch>(report_formula_).detach();
  return S_OK;
}

void Invoice::Connect(IDispatch* connection) {
  ComPtr<data::HostConnection> host;
  if (connection) {
    host = ComPtr<IDispatch>(connection).As<data::HostConnection>(data::IID_HostConnection);
    if (!host) RaiseError(kErrTypeMismatch, "Connect: the object is not a database connection");
  }
  connection_ = host;  // the earlier connection is released, not closed
  report_->SetConnection(connection_);
}

data::HostConnection& Invoice::Conn() {
  if (!connection_) RaiseError(kErrObjectVariableNotSet, "Invoice: no database connection (Connect)");
  return *connection_;
}

void Invoice::SetReportFormula(IDispatch* formula) {
  if (!formula) {
    report_formula_ = nullptr;
    return;
  }
  ComPtr<Collection> collection = ComPtr<IDispatch>(formula).As<Collection>(IID_Collection);
  if (!collection) RaiseError(kErrTypeMismatch);
  report_formula_ = collection;
}

void Invoice::ClearFields() {
  invoice_no_.clear();
  invoice_date_.clear();
  ship_date_.clear();
  bill_to_.clear();
  freight_amount_.clear();
  other_charge_.clear();
  print_invoice_by_ = ibOrderNumber;
  extra1_.clear();
  extra2_.clear();
  cust_id_.clear();
  ship_to_.clear();
  begin_order_.clear();
  end_order_.clear();
  paid_.clear();
}

void Invoice::Report(const std::string& text, int style, const std::string& title,
                     const std::string& info_text) {
  if (show_message_box_) {
    Ui().MessageBox(text, style, title);
  } else {
    info_msg_.set_utf8(info_text);
  }
}

void Invoice::ReportError(const AutomationError& error, int icon) {
  Report(error.description(), kMbOk | icon, Ui().AppTitle(), error.description());
}

}  // namespace tarvik::invoice
