// The member tables of the two published interfaces, in interface order.
#include <string_view>

#include "automation/dispatch_table.h"
#include "tarvik/interfaces.h"

namespace tarvik {

using automation::Get;
using automation::Let;
using automation::Method;
using automation::Set;

// Help strings the type library shows for a member.
constexpr std::string_view kPackVerifyHelp =
    "Flag indicates if the \"Pack Verify\" option is set in the System table.";
constexpr std::string_view kInvoiceReportHelp = "Name of the invoice report file.";
constexpr std::string_view kExtra2Help = "Extra data field #2 for Invoice Header";
constexpr std::string_view kExtra1Help = "Extra data field #1 for Invoice Header";
constexpr std::string_view kQueryNameHelp = "Main selection query for object records.";

template <>
const MemberTable& TableDispatch<_Invoice>::Members() {
  static const MemberTable table({
      Let<&_Invoice::put_LineStatus>("LineStatus"),
      Get<&_Invoice::get_LineStatus>("LineStatus"),
      Let<&_Invoice::put_ShipTo>("ShipTo"),
      Get<&_Invoice::get_ShipTo>("ShipTo"),
      Let<&_Invoice::put_CustID>("CustID"),
      Get<&_Invoice::get_CustID>("CustID"),
      Let<&_Invoice::put_EndOrder>("EndOrder"),
      Get<&_Invoice::get_EndOrder>("EndOrder"),
      Let<&_Invoice::put_BeginOrder>("BeginOrder"),
      Get<&_Invoice::get_BeginOrder>("BeginOrder"),
      Let<&_Invoice::put_RecordCount>("RecordCount"),
      Get<&_Invoice::get_RecordCount>("RecordCount"),
      Let<&_Invoice::put_TransactionMode>("TransactionMode"),
      Get<&_Invoice::get_TransactionMode>("TransactionMode"),
      Let<&_Invoice::put_PrintOnly>("PrintOnly"),
      Get<&_Invoice::get_PrintOnly>("PrintOnly"),
      Let<&_Invoice::put_BillTo>("BillTo"),
      Get<&_Invoice::get_BillTo>("BillTo"),
      Method<&_Invoice::MoveNext>("MoveNext"),
      Method<&_Invoice::Find>("Find"),
      Method<&_Invoice::FindByFilter>("FindByFilter"),
      Method<&_Invoice::OpenRecordset>("OpenRecordset"),
      Method<&_Invoice::Delete>("Delete"),
      Method<&_Invoice::Save>("Save"),
      Method<&_Invoice::DeleteByFilter>("DeleteByFilter"),
      Method<&_Invoice::MoveLast>("MoveLast"),
      Method<&_Invoice::SeekRecord>("SeekRecord", {"vSeekValue"}),
      Method<&_Invoice::MoveFirst>("MoveFirst"),
      Method<&_Invoice::MovePrevious>("MovePrevious"),
      Let<&_Invoice::put_OrderKey>("OrderKey"),
      Get<&_Invoice::get_OrderKey>("OrderKey"),
      Let<&_Invoice::put_OtherCharge>("OtherCharge"),
      Get<&_Invoice::get_OtherCharge>("OtherCharge"),
      Let<&_Invoice::put_FreightAmount>("FreightAmount"),
      Get<&_Invoice::get_FreightAmount>("FreightAmount"),
      Let<&_Invoice::put_ShipDate>("ShipDate"),
      Get<&_Invoice::get_ShipDate>("ShipDate"),
      Let<&_Invoice::put_InvoiceDate>("InvoiceDate"),
      Get<&_Invoice::get_InvoiceDate>("InvoiceDate"),
      Let<&_Invoice::put_InvoiceNo>("InvoiceNo"),
      Get<&_Invoice::get_InvoiceNo>("InvoiceNo"),
      Set<&_Invoice::putref_Connect>("Connect", {"oConnect"}),
      Let<&_Invoice::put_PrintParentHandle>("PrintParentHandle"),
      Get<&_Invoice::get_PrintParentHandle>("PrintParentHandle"),
      Let<&_Invoice::put_ReportPath>("ReportPath"),
      Get<&_Invoice::get_ReportPath>("ReportPath"),
      Method<&_Invoice::PrintInvoice>("PrintInvoice"),
      Method<&_Invoice::AddNew>("AddNew"),
      Method<&_Invoice::Get_Next_Invoice_No>("Get_Next_Invoice_No"),
      Set<&_Invoice::putref_ReportFormula>("ReportFormula"),
      Get<&_Invoice::get_ReportFormula>("ReportFormula"),
      Let<&_Invoice::put_PrintInvoiceBy>("PrintInvoiceBy"),
      Get<&_Invoice::get_PrintInvoiceBy>("PrintInvoiceBy"),
      Let<&_Invoice::put_PackVerify>("PackVerify", {}, kPackVerifyHelp),
      Get<&_Invoice::get_PackVerify>("PackVerify", {}, kPackVerifyHelp),
      Method<&_Invoice::AddHeader>("AddHeader"),
      Let<&_Invoice::put_InvoiceReport>("InvoiceReport", {}, kInvoiceReportHelp),
      Get<&_Invoice::get_InvoiceReport>("InvoiceReport", {}, kInvoiceReportHelp),
      Let<&_Invoice::put_Extra2>("Extra2", {}, kExtra2Help),
      Get<&_Invoice::get_Extra2>("Extra2", {}, kExtra2Help),
      Let<&_Invoice::put_Extra1>("Extra1", {}, kExtra1Help),
      Get<&_Invoice::get_Extra1>("Extra1", {}, kExtra1Help),
      Get<&_Invoice::get_Paid>("Paid"),
      Let<&_Invoice::put_Paid>("Paid"),
      Get<&_Invoice::get_UserID>("UserID"),
      Let<&_Invoice::put_UserID>("UserID"),
      Get<&_Invoice::get_Export_Flag>("Export_Flag"),
      Let<&_Invoice::put_Export_Flag>("Export_Flag"),
      Get<&_Invoice::get_Export_Date>("Export_Date"),
      Let<&_Invoice::put_Export_Date>("Export_Date"),
      Get<&_Invoice::get_Generate_Only>("Generate_Only"),
      Let<&_Invoice::put_Generate_Only>("Generate_Only"),
      Get<&_Invoice::get_ShowMessageBox>("ShowMessageBox"),
      Let<&_Invoice::put_ShowMessageBox>("ShowMessageBox"),
      Get<&_Invoice::get_InfoMsg>("InfoMsg"),
      Let<&_Invoice::put_InfoMsg>("InfoMsg"),
      Get<&_Invoice::get_Filter>("Filter"),
      Let<&_Invoice::put_Filter>("Filter"),
  });
  return table;
}

template <>
const MemberTable& TableDispatch<_BackOrder>::Members() {
  static const MemberTable table({
      Get<&_BackOrder::get_Invoice_No>("Invoice_No"),
      Let<&_BackOrder::put_Invoice_No>("Invoice_No"),
      Get<&_BackOrder::get_Order_Number>("Order_Number"),
      Let<&_BackOrder::put_Order_Number>("Order_Number"),
      Get<&_BackOrder::get_Cust_ID>("Cust_ID"),
      Let<&_BackOrder::put_Cust_ID>("Cust_ID"),
      Get<&_BackOrder::get_ShipTo_Name>("ShipTo_Name"),
      Let<&_BackOrder::put_ShipTo_Name>("ShipTo_Name"),
      Get<&_BackOrder::get_Reference_No>("Reference_No"),
      Let<&_BackOrder::put_Reference_No>("Reference_No"),
      Get<&_BackOrder::get_Due_Date>("Due_Date"),
      Let<&_BackOrder::put_Due_Date>("Due_Date"),
      Get<&_BackOrder::get_Order_Header_Discount>("Order_Header_Discount"),
      Let<&_BackOrder::put_Order_Header_Discount>("Order_Header_Discount"),
      Get<&_BackOrder::get_Ship_Via>("Ship_Via"),
      Let<&_BackOrder::put_Ship_Via>("Ship_Via"),
      Get<&_BackOrder::get_Price_Struct>("Price_Struct"),
      Let<&_BackOrder::put_Price_Struct>("Price_Struct"),
      Get<&_BackOrder::get_OEextra1>("OEextra1"),
      Let<&_BackOrder::put_OEextra1>("OEextra1"),
      Get<&_BackOrder::get_OEextra2>("OEextra2"),
      Let<&_BackOrder::put_OEextra2>("OEextra2"),
      Get<&_BackOrder::get_NonMerchOrder>("NonMerchOrder"),
      Let<&_BackOrder::put_NonMerchOrder>("NonMerchOrder"),
      Get<&_BackOrder::get_Item_Number>("Item_Number"),
      Let<&_BackOrder::put_Item_Number>("Item_Number"),
      Get<&_BackOrder::get_Site>("Site"),
      Let<&_BackOrder::put_Site>("Site"),
      Get<&_BackOrder::get_Quantity_Ordered>("Quantity_Ordered"),
      Let<&_BackOrder::put_Quantity_Ordered>("Quantity_Ordered"),
      Get<&_BackOrder::get_Quantity_To_Ship>("Quantity_To_Ship"),
      Let<&_BackOrder::put_Quantity_To_Ship>("Quantity_To_Ship"),
      Get<&_BackOrder::get_Unit_Price>("Unit_Price"),
      Let<&_BackOrder::put_Unit_Price>("Unit_Price"),
      Get<&_BackOrder::get_Order_Detail_Discount>("Order_Detail_Discount"),
      Let<&_BackOrder::put_Order_Detail_Discount>("Order_Detail_Discount"),
      Get<&_BackOrder::get_Quantity_Packed>("Quantity_Packed"),
      Let<&_BackOrder::put_Quantity_Packed>("Quantity_Packed"),
      Let<&_BackOrder::put_QueryName>("QueryName", {}, kQueryNameHelp),
      Get<&_BackOrder::get_QueryName>("QueryName", {}, kQueryNameHelp),
      Let<&_BackOrder::put_RecordCount>("RecordCount"),
      Get<&_BackOrder::get_RecordCount>("RecordCount"),
      Set<&_BackOrder::putref_Connect>("Connect", {"oConnect"}),
      Get<&_BackOrder::get_Filter>("Filter"),
      Let<&_BackOrder::put_Filter>("Filter"),
      Get<&_BackOrder::get_InfoMsg>("InfoMsg"),
      Method<&_BackOrder::OpenRecordset>("OpenRecordset"),
      Method<&_BackOrder::CloseRecordset>("CloseRecordset"),
      Method<&_BackOrder::Find>("Find"),
      Method<&_BackOrder::FindByFilter>("FindByFilter"),
      Method<&_BackOrder::MoveNext>("MoveNext"),
      Method<&_BackOrder::BackOrder>("BackOrder"),
  });
  return table;
}

}  // namespace tarvik
