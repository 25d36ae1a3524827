// The published face of an invoice: _Invoice's vtable members, in interface
// order, over one Invoice. Properties store and answer; functions run the
// Invoice member under Guard, so its errors become an HRESULT here.
#pragma once

#include "invoice/invoice.h"
#include "platform/com.h"
#include "platform/com_object.h"
#include "automation/boundary.h"
#include "automation/dispatch_table.h"
#include "tarvik/interfaces.h"

namespace tarvik::invoice {

using automation::AnswerBool;
using automation::AnswerText;
using automation::Out;
using automation::Store;

class InvoiceObject final
    : public ComObject<InvoiceObject, automation::DispatchImpl<_Invoice, IID__Invoice>> {
 public:
  // Throws when the invoice's outside objects cannot be created.
  InvoiceObject() = default;

  void* QueryInterfaceExtra(REFIID riid);

  // The C++ side, for the tests of its private steps.
  Invoice& invoice() { return invoice_; }

  // --- _Invoice, in interface order ---------------------------------------
  HRESULT put_LineStatus(BYTE value) override { return Store(settings().line_status, value); }
  HRESULT get_LineStatus(BYTE* value) override { return Out(value, settings().line_status); }
  HRESULT put_ShipTo(BSTR value) override { return selection().ship_to.Put(value); }
  HRESULT get_ShipTo(BSTR* value) override { return selection().ship_to.Get(value); }
  HRESULT put_CustID(BSTR value) override { return selection().cust_id.Put(value); }
  HRESULT get_CustID(BSTR* value) override { return selection().cust_id.Get(value); }
  HRESULT put_EndOrder(BSTR value) override { return selection().end_order.Put(value); }
  HRESULT get_EndOrder(BSTR* value) override { return selection().end_order.Get(value); }
  HRESULT put_BeginOrder(BSTR value) override { return selection().begin_order.Put(value); }
  HRESULT get_BeginOrder(BSTR* value) override { return selection().begin_order.Get(value); }
  HRESULT put_RecordCount(LONG value) override { return Store(selection().record_count, value); }
  HRESULT get_RecordCount(LONG* value) override { return Out(value, selection().record_count); }
  HRESULT put_TransactionMode(TransMode value) override {
    return Store(settings().transaction_mode, value);
  }
  HRESULT get_TransactionMode(TransMode* value) override {
    return Out(value, settings().transaction_mode);
  }
  HRESULT put_PrintOnly(VARIANT_BOOL value) override { return StoreBool(print().print_only, value); }
  HRESULT get_PrintOnly(VARIANT_BOOL* value) override { return OutBool(value, print().print_only); }
  HRESULT put_BillTo(BSTR value) override { return header().bill_to.Put(value); }
  HRESULT get_BillTo(BSTR* value) override { return header().bill_to.Get(value); }
  HRESULT MoveNext(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.MoveNext(); });
  }
  HRESULT Find(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.Find(); });
  }
  HRESULT FindByFilter(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.FindByFilter(); });
  }
  HRESULT OpenRecordset(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.OpenRecordset(); });
  }
  HRESULT Delete(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.Delete(); });
  }
  HRESULT Save(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.Save(); });
  }
  HRESULT DeleteByFilter(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.DeleteByFilter(); });
  }
  HRESULT MoveLast(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.MoveLast(); });
  }
  HRESULT MoveFirst(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.MoveFirst(); });
  }
  HRESULT MovePrevious(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.MovePrevious(); });
  }
  HRESULT put_OrderKey(LONG value) override { return Store(selection().order_key, value); }
  HRESULT get_OrderKey(LONG* value) override { return Out(value, selection().order_key); }
  HRESULT put_OtherCharge(BSTR value) override { return header().other_charge.Put(value); }
  HRESULT get_OtherCharge(BSTR* value) override { return header().other_charge.Get(value); }
  HRESULT put_FreightAmount(BSTR value) override { return header().freight_amount.Put(value); }
  HRESULT get_FreightAmount(BSTR* value) override { return header().freight_amount.Get(value); }
  HRESULT put_ShipDate(BSTR value) override { return header().ship_date.Put(value); }
  HRESULT get_ShipDate(BSTR* value) override { return header().ship_date.Get(value); }
  HRESULT put_InvoiceDate(BSTR value) override { return header().invoice_date.Put(value); }
  HRESULT get_InvoiceDate(BSTR* value) override { return header().invoice_date.Get(value); }
  HRESULT put_InvoiceNo(BSTR value) override { return header().invoice_no.Put(value); }
  HRESULT get_InvoiceNo(BSTR* value) override { return header().invoice_no.Get(value); }
  HRESULT put_PrintParentHandle(LONG value) override { return Store(print().parent_handle, value); }
  HRESULT get_PrintParentHandle(LONG* value) override { return Out(value, print().parent_handle); }
  HRESULT put_ReportPath(BSTR value) override { return print().report_path.Put(value); }
  HRESULT get_ReportPath(BSTR* value) override { return print().report_path.Get(value); }
  HRESULT PrintInvoice(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.PrintInvoice(); });
  }
  HRESULT AddNew(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.AddNew(); });
  }
  HRESULT Get_Next_Invoice_No(BSTR* result) override {
    return AnswerText(result, [this] { return invoice_.NextInvoiceNumber(); });
  }
  HRESULT put_PrintInvoiceBy(InvoiceBy value) override {
    return Store(header().invoice_by, value);
  }
  HRESULT get_PrintInvoiceBy(InvoiceBy* value) override {
    return Out(value, header().invoice_by);
  }
  HRESULT put_PackVerify(VARIANT_BOOL value) override {
    return StoreBool(settings().pack_verify, value);
  }
  HRESULT get_PackVerify(VARIANT_BOOL* value) override {
    return OutBool(value, settings().pack_verify);
  }
  HRESULT AddHeader(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return invoice_.AddHeader(); });
  }
  HRESULT put_InvoiceReport(BSTR value) override { return print().invoice_report.Put(value); }
  HRESULT get_InvoiceReport(BSTR* value) override { return print().invoice_report.Get(value); }
  HRESULT put_Extra2(BSTR value) override { return header().extra2.Put(value); }
  HRESULT get_Extra2(BSTR* value) override { return header().extra2.Get(value); }
  HRESULT put_Extra1(BSTR value) override { return header().extra1.Put(value); }
  HRESULT get_Extra1(BSTR* value) override { return header().extra1.Get(value); }
  HRESULT get_Paid(BSTR* value) override { return header().paid.Get(value); }
  HRESULT put_Paid(BSTR value) override { return header().paid.Put(value); }
  HRESULT get_UserID(BSTR* value) override { return settings().user_id.Get(value); }
  HRESULT put_UserID(BSTR value) override { return settings().user_id.Put(value); }
  HRESULT get_Export_Flag(BYTE* value) override { return Out(value, header().export_flag); }
  HRESULT put_Export_Flag(BYTE value) override { return Store(header().export_flag, value); }
  HRESULT get_Export_Date(BSTR* value) override { return header().export_date.Get(value); }
  HRESULT put_Export_Date(BSTR value) override { return header().export_date.Put(value); }
  HRESULT get_Generate_Only(VARIANT_BOOL* value) override {
    return OutBool(value, print().generate_only);
  }
  HRESULT put_Generate_Only(VARIANT_BOOL value) override {
    return StoreBool(print().generate_only, value);
  }
  HRESULT get_ShowMessageBox(VARIANT_BOOL* value) override {
    return OutBool(value, invoice_.messages().show_message_box);
  }
  HRESULT put_ShowMessageBox(VARIANT_BOOL value) override {
    return StoreBool(invoice_.messages().show_message_box, value);
  }
  HRESULT get_InfoMsg(BSTR* value) override { return invoice_.messages().info_msg.Get(value); }
  HRESULT put_InfoMsg(BSTR value) override { return invoice_.messages().info_msg.Put(value); }
  HRESULT get_Filter(BSTR* value) override { return selection().filter.Get(value); }
  HRESULT put_Filter(BSTR value) override { return selection().filter.Put(value); }
  HRESULT SeekRecord(VARIANT* vSeekValue, VARIANT_BOOL* result) override;
  HRESULT putref_Connect(IDispatch* value) override;
  HRESULT putref_ReportFormula(IDispatch* value) override;
  HRESULT get_ReportFormula(IDispatch** value) override;

 private:
  static HRESULT StoreBool(bool& member, VARIANT_BOOL value) noexcept {
    return Store(member, value != VARIANT_FALSE);
  }
  static HRESULT OutBool(VARIANT_BOOL* out, bool value) noexcept {
    return Out(out, value ? VARIANT_TRUE : VARIANT_FALSE);
  }

  InvoiceHeader& header() { return invoice_.header(); }
  Selection& selection() { return invoice_.selection(); }
  PrintSettings& print() { return invoice_.print(); }
  OperationSettings& settings() { return invoice_.settings(); }

  Invoice invoice_;
};

}  // namespace tarvik::invoice
