// The Invoice class: one invoice header at a time, the selection values with
// which invoices are created, the print settings, the message channel and the
// outside objects it works with. It implements _Invoice; the vtable members
// below are thin: properties store and answer, functions run the C++ member
// of the same name under Guard.
//
// The capabilities live one source unit each: state.cpp (this object's state,
// Connect, ReportFormula, ClearFields, reporting), browsing.cpp, creation.cpp,
// numbering.cpp, postings.cpp, picking_check.cpp, header_update.cpp,
// deletion.cpp, print_preparation.cpp, printing.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "automation/boundary.h"
#include "automation/component_ui.h"
#include "automation/dispatch_table.h"
#include "automation/text_property.h"
#include "components/report_printer.h"
#include "data/data_recordset.h"
#include "data/host_connection.h"
#include "platform/collection.h"
#include "platform/com.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/variant.h"
#include "tarvik/interfaces.h"

namespace tarvik::invoice {

using automation::AnswerBool;
using automation::AnswerText;
using automation::Out;
using automation::Store;
using automation::TextProperty;
using automation::Ui;

class Invoice final : public ComObject<Invoice, automation::DispatchImpl<_Invoice>> {
 public:
  // Creates the two record sets and the report component; throws when one
  // of them cannot be created.
  Invoice();
  ~Invoice() override;

  void* QueryInterfaceExtra(REFIID riid);

  // --- _Invoice, in interface order ---------------------------------------
  HRESULT put_LineStatus(BYTE value) override { return Store(line_status_, value); }
  HRESULT get_LineStatus(BYTE* value) override { return Out(value, line_status_); }
  HRESULT put_ShipTo(BSTR value) override { return ship_to_.Put(value); }
  HRESULT get_ShipTo(BSTR* value) override { return ship_to_.Get(value); }
  HRESULT put_CustID(BSTR value) override { return cust_id_.Put(value); }
  HRESULT get_CustID(BSTR* value) override { return cust_id_.Get(value); }
  HRESULT put_EndOrder(BSTR value) override { return end_order_.Put(value); }
  HRESULT get_EndOrder(BSTR* value) override { return end_order_.Get(value); }
  HRESULT put_BeginOrder(BSTR value) override { return begin_order_.Put(value); }
  HRESULT get_BeginOrder(BSTR* value) override { return begin_order_.Get(value); }
  HRESULT put_RecordCount(LONG value) override { return Store(record_count_, value); }
  HRESULT get_RecordCount(LONG* value) override { return Out(value, record_count_); }
  HRESULT put_TransactionMode(TransMode value) override { return Store(transaction_mode_, value); }
  HRESULT get_TransactionMode(TransMode* value) override { return Out(value, transaction_mode_); }
  HRESULT put_PrintOnly(VARIANT_BOOL value) override {
    return Store(print_only_, value != VARIANT_FALSE);
  }
  HRESULT get_PrintOnly(VARIANT_BOOL* value) override {
    return Out(value, print_only_ ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT put_BillTo(BSTR value) override { return bill_to_.Put(value); }
  HRESULT get_BillTo(BSTR* value) override { return bill_to_.Get(value); }
  HRESULT MoveNext(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return MoveNext(); });
  }
  HRESULT Find(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return Find(); });
  }
  HRESULT FindByFilter(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return FindByFilter(); });
  }
  HRESULT OpenRecordset(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return OpenRecordset(); });
  }
  HRESULT Delete(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return Delete(); });
  }
  HRESULT Save(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return Save(); });
  }
  HRESULT DeleteByFilter(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return DeleteByFilter(); });
  }
  HRESULT MoveLast(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return MoveLast(); });
  }
  HRESULT MoveFirst(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return MoveFirst(); });
  }
  HRESULT MovePrevious(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return MovePrevious(); });
  }
  HRESULT put_OrderKey(LONG value) override { return Store(order_key_, value); }
  HRESULT get_OrderKey(LONG* value) override { return Out(value, order_key_); }
  HRESULT put_OtherCharge(BSTR value) override { return other_charge_.Put(value); }
  HRESULT get_OtherCharge(BSTR* value) override { return other_charge_.Get(value); }
  HRESULT put_FreightAmount(BSTR value) override { return freight_amount_.Put(value); }
  HRESULT get_FreightAmount(BSTR* value) override { return freight_amount_.Get(value); }
  HRESULT put_ShipDate(BSTR value) override { return ship_date_.Put(value); }
  HRESULT get_ShipDate(BSTR* value) override { return ship_date_.Get(value); }
  HRESULT put_InvoiceDate(BSTR value) override { return invoice_date_.Put(value); }
  HRESULT get_InvoiceDate(BSTR* value) override { return invoice_date_.Get(value); }
  HRESULT put_InvoiceNo(BSTR value) override { return invoice_no_.Put(value); }
  HRESULT get_InvoiceNo(BSTR* value) override { return invoice_no_.Get(value); }
  HRESULT put_PrintParentHandle(LONG value) override { return Store(print_parent_handle_, value); }
  HRESULT get_PrintParentHandle(LONG* value) override { return Out(value, print_parent_handle_); }
  HRESULT put_ReportPath(BSTR value) override { return report_path_.Put(value); }
  HRESULT get_ReportPath(BSTR* value) override { return report_path_.Get(value); }
  HRESULT PrintInvoice(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return PrintInvoice(); });
  }
  HRESULT AddNew(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return AddNew(); });
  }
  HRESULT Get_Next_Invoice_No(BSTR* result) override {
    return AnswerText(result, [this] { return Get_Next_Invoice_No(); });
  }
  HRESULT put_PrintInvoiceBy(InvoiceBy value) override { return Store(print_invoice_by_, value); }
  HRESULT get_PrintInvoiceBy(InvoiceBy* value) override { return Out(value, print_invoice_by_); }
  HRESULT put_PackVerify(VARIANT_BOOL value) override {
    return Store(pack_verify_, value != VARIANT_FALSE);
  }
  HRESULT get_PackVerify(VARIANT_BOOL* value) override {
    return Out(value, pack_verify_ ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT AddHeader(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return AddHeader(); });
  }
  HRESULT put_InvoiceReport(BSTR value) override { return invoice_report_.Put(value); }
  HRESULT get_InvoiceReport(BSTR* value) override { return invoice_report_.Get(value); }
  HRESULT put_Extra2(BSTR value) override { return extra2_.Put(value); }
  HRESULT get_Extra2(BSTR* value) override { return extra2_.Get(value); }
  HRESULT put_Extra1(BSTR value) override { return extra1_.Put(value); }
  HRESULT get_Extra1(BSTR* value) override { return extra1_.Get(value); }
  HRESULT get_Paid(BSTR* value) override { return paid_.Get(value); }
  HRESULT put_Paid(BSTR value) override { return paid_.Put(value); }
  HRESULT get_UserID(BSTR* value) override { return user_id_.Get(value); }
  HRESULT put_UserID(BSTR value) override { return user_id_.Put(value); }
  HRESULT get_Export_Flag(BYTE* value) override { return Out(value, export_flag_); }
  HRESULT put_Export_Flag(BYTE value) override { return Store(export_flag_, value); }
  HRESULT get_Export_Date(BSTR* value) override { return export_date_.Get(value); }
  HRESULT put_Export_Date(BSTR value) override { return export_date_.Put(value); }
  HRESULT get_Generate_Only(VARIANT_BOOL* value) override {
    return Out(value, generate_only_ ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT put_Generate_Only(VARIANT_BOOL value) override {
    return Store(generate_only_, value != VARIANT_FALSE);
  }
  HRESULT get_ShowMessageBox(VARIANT_BOOL* value) override {
    return Out(value, show_message_box_ ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT put_ShowMessageBox(VARIANT_BOOL value) override {
    return Store(show_message_box_, value != VARIANT_FALSE);
  }
  HRESULT get_InfoMsg(BSTR* value) override { return info_msg_.Get(value); }
  HRESULT put_InfoMsg(BSTR value) override { return info_msg_.Put(value); }
  HRESULT get_Filter(BSTR* value) override { return filter_.Get(value); }
  HRESULT put_Filter(BSTR value) override { return filter_.Put(value); }
  HRESULT SeekRecord(VARIANT* vSeekValue, VARIANT_BOOL* result) override;
  HRESULT putref_Connect(IDispatch* value) override;
  HRESULT putref_ReportFormula(IDispatch* value) override;
  HRESULT get_ReportFormula(IDispatch** value) override;

  // --- Public functions (C++ side) ----------------------------------------
  // Browsing (browsing.cpp).
  bool MoveNext();
  bool Find();
  bool FindByFilter();
  bool OpenRecordset();
  bool MoveLast();
  bool SeekRecord(const Variant& seek_value);
  bool MoveFirst();
  bool MovePrevious();
  // Save and creation (creation.cpp).
  bool Save();
  bool AddNew();
  // Numbering and header insert (numbering.cpp).
  std::string Get_Next_Invoice_No();
  bool AddHeader();
  // Deletion (deletion.cpp).
  bool Delete();
  bool DeleteByFilter();
  // Printing (printing.cpp).
  bool PrintInvoice();

  // Connect and ReportFormula with their side effects (state.cpp).
  void Connect(IDispatch* connection);
  void SetReportFormula(IDispatch* formula);

 private:
  friend struct InvoiceTestPeer;

  // Browsing (browsing.cpp).
  void LoadFields();
  std::string ExportFilterText();
  std::string OrderByText();
  std::string BuildSelectText();
  // Creation (creation.cpp).
  bool LoadOrderKeys();
  bool NextOrderKey();
  // Postings (postings.cpp).
  enum class Posting : int;
  bool RunPosting(Posting posting);
  bool CreateInvoiceDetail();
  bool UpdateLineStatus();
  bool UpdateOrderStatus();
  bool RelieveInventory();
  // Picking check and back-order hand-over (picking_check.cpp).
  bool CheckPartialPicking();
  bool RunAutoBackOrder();
  // Header update (header_update.cpp).
  bool UpdateHeader();
  // Deletion (deletion.cpp).
  bool ResetInventory();
  bool ResetOrderStatus();
  void LogDeletedInvoice();
  // Print preparation (print_preparation.cpp).
  bool ClearReportTables();
  bool PreparePrintSelection();
  // Printing (printing.cpp).
  bool RunInvoiceReport();

  // Empties the current header (state.cpp).
  void ClearFields();

  // The host's connection; error 91 when Connect never handed one over.
  data::HostConnection& Conn();

  // Reports by the ShowMessageBox rule: a box with text, style and title, or
  // info_text left in InfoMsg.
  void Report(const std::string& text, int style, const std::string& title,
              const std::string& info_text);
  // An error's description, in an OK box with the given icon and the
  // application title, or in InfoMsg.
  void ReportError(const AutomationError& error, int icon);

  // --- Members, in declaration order --------------------------------------
  TransMode transaction_mode_ = tmCancel;
  InvoiceBy print_invoice_by_ = ibOrderNumber;
  ComPtr<data::HostConnection> connection_;
  ComPtr<data::DataRecordset> browse_;
  ComPtr<data::DataRecordset> order_keys_;
  ComPtr<components::ReportPrinter> report_;
  std::string header_table_;
  std::string header_report_query_;
  std::string detail_report_query_;
  std::string header_tax_query_;
  std::string detail_tax_query_;
  std::string report_header_table_;
  std::string report_detail_table_;
  TextProperty report_path_;
  LONG print_parent_handle_ = 0;
  bool print_only_ = false;
  TextProperty filter_;
  LONG record_count_ = 0;
  bool keys_exhausted_ = false;
  bool show_message_box_ = false;
  TextProperty info_msg_;
  TextProperty invoice_no_;
  TextProperty invoice_date_;
  TextProperty ship_date_;
  TextProperty bill_to_;
  TextProperty freight_amount_;
  TextProperty other_charge_;
  LONG order_key_ = 0;
  TextProperty extra1_;
  TextProperty extra2_;
  TextProperty paid_;
  TextProperty invoice_report_;
  TextProperty user_id_;
  BYTE export_flag_ = 0;
  TextProperty export_date_;
  bool generate_only_ = false;
  TextProperty begin_order_;
  TextProperty end_order_;
  TextProperty cust_id_;
  TextProperty ship_to_;
  BYTE line_status_ = 0;
  bool pack_verify_ = false;
  ComPtr<Collection> report_formula_;
};

// A new Invoice as its default interface; throws when it cannot be created.
ComPtr<_Invoice> NewInvoice();

}  // namespace tarvik::invoice
