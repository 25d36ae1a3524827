// The published surface of the TarvikInvoice type library: the dual
// interfaces _Invoice and _BackOrder, with the enumerations, identifiers and
// program ids they travel with.
//
// The virtual functions stand in the published position order (position 0 is
// the first slot after the seven IDispatch slots). Property pairs take two
// consecutive slots in the published order. Results and property values come
// back through the last (out) parameter; every member answers an HRESULT.
// Never reorder, insert or remove a member: clients call by slot.
#pragma once

#include <cstddef>

#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/variant.h"
#include "tarvik/enums.h"
#include "tarvik/guids.h"
#include "tarvik/progids.h"

namespace tarvik {

// Slots of IUnknown and IDispatch ahead of the published members.
inline constexpr std::size_t kDispatchSlots = 7;
inline constexpr std::size_t kInvoiceMemberCount = 78;
inline constexpr std::size_t kBackOrderMemberCount = 52;

struct _Invoice : IDispatch {
  virtual HRESULT put_LineStatus(BYTE value) = 0;                             // 0
  virtual HRESULT get_LineStatus(BYTE* value) = 0;                            // 1
  virtual HRESULT put_ShipTo(BSTR value) = 0;                                 // 2
  virtual HRESULT get_ShipTo(BSTR* value) = 0;                                // 3
  virtual HRESULT put_CustID(BSTR value) = 0;                                 // 4
  virtual HRESULT get_CustID(BSTR* value) = 0;                                // 5
  virtual HRESULT put_EndOrder(BSTR value) = 0;                               // 6
  virtual HRESULT get_EndOrder(BSTR* value) = 0;                              // 7
  virtual HRESULT put_BeginOrder(BSTR value) = 0;                             // 8
  virtual HRESULT get_BeginOrder(BSTR* value) = 0;                            // 9
  virtual HRESULT put_RecordCount(LONG value) = 0;                            // 10
  virtual HRESULT get_RecordCount(LONG* value) = 0;                           // 11
  virtual HRESULT put_TransactionMode(TransMode value) = 0;                   // 12
  virtual HRESULT get_TransactionMode(TransMode* value) = 0;                  // 13
  virtual HRESULT put_PrintOnly(VARIANT_BOOL value) = 0;                      // 14
  virtual HRESULT get_PrintOnly(VARIANT_BOOL* value) = 0;                     // 15
  virtual HRESULT put_BillTo(BSTR value) = 0;                                 // 16
  virtual HRESULT get_BillTo(BSTR* value) = 0;                                // 17
  virtual HRESULT MoveNext(VARIANT_BOOL* result) = 0;                         // 18
  virtual HRESULT Find(VARIANT_BOOL* result) = 0;                             // 19
  virtual HRESULT FindByFilter(VARIANT_BOOL* result) = 0;                     // 20
  virtual HRESULT OpenRecordset(VARIANT_BOOL* result) = 0;                    // 21
  virtual HRESULT Delete(VARIANT_BOOL* result) = 0;                           // 22
  virtual HRESULT Save(VARIANT_BOOL* result) = 0;                             // 23
  virtual HRESULT DeleteByFilter(VARIANT_BOOL* result) = 0;                   // 24
  virtual HRESULT MoveLast(VARIANT_BOOL* result) = 0;                         // 25
  virtual HRESULT SeekRecord(VARIANT* vSeekValue, VARIANT_BOOL* result) = 0;  // 26
  virtual HRESULT MoveFirst(VARIANT_BOOL* result) = 0;                        // 27
  virtual HRESULT MovePrevious(VARIANT_BOOL* result) = 0;                     // 28
  virtual HRESULT put_OrderKey(LONG value) = 0;                               // 29
  virtual HRESULT get_OrderKey(LONG* value) = 0;                              // 30
  virtual HRESULT put_OtherCharge(BSTR value) = 0;                            // 31
  virtual HRESULT get_OtherCharge(BSTR* value) = 0;                           // 32
  virtual HRESULT put_FreightAmount(BSTR value) = 0;                          // 33
  virtual HRESULT get_FreightAmount(BSTR* value) = 0;                         // 34
  virtual HRESULT put_ShipDate(BSTR value) = 0;                               // 35
  virtual HRESULT get_ShipDate(BSTR* value) = 0;                              // 36
  virtual HRESULT put_InvoiceDate(BSTR value) = 0;                            // 37
  virtual HRESULT get_InvoiceDate(BSTR* value) = 0;                           // 38
  virtual HRESULT put_InvoiceNo(BSTR value) = 0;                              // 39
  virtual HRESULT get_InvoiceNo(BSTR* value) = 0;                             // 40
  virtual HRESULT putref_Connect(IDispatch* value) = 0;                       // 41
  virtual HRESULT put_PrintParentHandle(LONG value) = 0;                      // 42
  virtual HRESULT get_PrintParentHandle(LONG* value) = 0;                     // 43
  virtual HRESULT put_ReportPath(BSTR value) = 0;                             // 44
  virtual HRESULT get_ReportPath(BSTR* value) = 0;                            // 45
  virtual HRESULT PrintInvoice(VARIANT_BOOL* result) = 0;                     // 46
  virtual HRESULT AddNew(VARIANT_BOOL* result) = 0;                           // 47
  virtual HRESULT Get_Next_Invoice_No(BSTR* result) = 0;                      // 48
  virtual HRESULT putref_ReportFormula(IDispatch* value) = 0;                 // 49
  virtual HRESULT get_ReportFormula(IDispatch** value) = 0;                   // 50
  virtual HRESULT put_PrintInvoiceBy(InvoiceBy value) = 0;                    // 51
  virtual HRESULT get_PrintInvoiceBy(InvoiceBy* value) = 0;                   // 52
  virtual HRESULT put_PackVerify(VARIANT_BOOL value) = 0;                     // 53
  virtual HRESULT get_PackVerify(VARIANT_BOOL* value) = 0;                    // 54
  virtual HRESULT AddHeader(VARIANT_BOOL* result) = 0;                        // 55
  virtual HRESULT put_InvoiceReport(BSTR value) = 0;                          // 56
  virtual HRESULT get_InvoiceReport(BSTR* value) = 0;                         // 57
  virtual HRESULT put_Extra2(BSTR value) = 0;                                 // 58
  virtual HRESULT get_Extra2(BSTR* value) = 0;                                // 59
  virtual HRESULT put_Extra1(BSTR value) = 0;                                 // 60
  virtual HRESULT get_Extra1(BSTR* value) = 0;                                // 61
  virtual HRESULT get_Paid(BSTR* value) = 0;                                  // 62
  virtual HRESULT put_Paid(BSTR value) = 0;                                   // 63
  virtual HRESULT get_UserID(BSTR* value) = 0;                                // 64
  virtual HRESULT put_UserID(BSTR value) = 0;                                 // 65
  virtual HRESULT get_Export_Flag(BYTE* value) = 0;                           // 66
  virtual HRESULT put_Export_Flag(BYTE value) = 0;                            // 67
  virtual HRESULT get_Export_Date(BSTR* value) = 0;                           // 68
  virtual HRESULT put_Export_Date(BSTR value) = 0;                            // 69
  virtual HRESULT get_Generate_Only(VARIANT_BOOL* value) = 0;                 // 70
  virtual HRESULT put_Generate_Only(VARIANT_BOOL value) = 0;                  // 71
  virtual HRESULT get_ShowMessageBox(VARIANT_BOOL* value) = 0;                // 72
  virtual HRESULT put_ShowMessageBox(VARIANT_BOOL value) = 0;                 // 73
  virtual HRESULT get_InfoMsg(BSTR* value) = 0;                               // 74
  virtual HRESULT put_InfoMsg(BSTR value) = 0;                                // 75
  virtual HRESULT get_Filter(BSTR* value) = 0;                                // 76
  virtual HRESULT put_Filter(BSTR value) = 0;                                 // 77

 protected:
  ~_Invoice() = default;
};

struct _BackOrder : IDispatch {
  virtual HRESULT get_Invoice_No(BSTR* value) = 0;             // 0
  virtual HRESULT put_Invoice_No(BSTR value) = 0;              // 1
  virtual HRESULT get_Order_Number(BSTR* value) = 0;           // 2
  virtual HRESULT put_Order_Number(BSTR value) = 0;            // 3
  virtual HRESULT get_Cust_ID(BSTR* value) = 0;                // 4
  virtual HRESULT put_Cust_ID(BSTR value) = 0;                 // 5
  virtual HRESULT get_ShipTo_Name(BSTR* value) = 0;            // 6
  virtual HRESULT put_ShipTo_Name(BSTR value) = 0;             // 7
  virtual HRESULT get_Reference_No(BSTR* value) = 0;           // 8
  virtual HRESULT put_Reference_No(BSTR value) = 0;            // 9
  virtual HRESULT get_Due_Date(BSTR* value) = 0;               // 10
  virtual HRESULT put_Due_Date(BSTR value) = 0;                // 11
  virtual HRESULT get_Order_Header_Discount(BSTR* value) = 0;  // 12
  virtual HRESULT put_Order_Header_Discount(BSTR value) = 0;   // 13
  virtual HRESULT get_Ship_Via(BSTR* value) = 0;               // 14
  virtual HRESULT put_Ship_Via(BSTR value) = 0;                // 15
  virtual HRESULT get_Price_Struct(BSTR* value) = 0;           // 16
  virtual HRESULT put_Price_Struct(BSTR value) = 0;            // 17
  virtual HRESULT get_OEextra1(BSTR* value) = 0;               // 18
  virtual HRESULT put_OEextra1(BSTR value) = 0;                // 19
  virtual HRESULT get_OEextra2(BSTR* value) = 0;               // 20
  virtual HRESULT put_OEextra2(BSTR value) = 0;                // 21
  virtual HRESULT get_NonMerchOrder(VARIANT_BOOL* value) = 0;  // 22
  virtual HRESULT put_NonMerchOrder(VARIANT_BOOL value) = 0;   // 23
  virtual HRESULT get_Item_Number(BSTR* value) = 0;            // 24
  virtual HRESULT put_Item_Number(BSTR value) = 0;             // 25
  virtual HRESULT get_Site(BSTR* value) = 0;                   // 26
  virtual HRESULT put_Site(BSTR value) = 0;                    // 27
  virtual HRESULT get_Quantity_Ordered(BSTR* value) = 0;       // 28
  virtual HRESULT put_Quantity_Ordered(BSTR value) = 0;        // 29
  virtual HRESULT get_Quantity_To_Ship(BSTR* value) = 0;       // 30
  virtual HRESULT put_Quantity_To_Ship(BSTR value) = 0;        // 31
  virtual HRESULT get_Unit_Price(BSTR* value) = 0;             // 32
  virtual HRESULT put_Unit_Price(BSTR value) = 0;              // 33
  virtual HRESULT get_Order_Detail_Discount(BSTR* value) = 0;  // 34
  virtual HRESULT put_Order_Detail_Discount(BSTR value) = 0;   // 35
  virtual HRESULT get_Quantity_Packed(BSTR* value) = 0;        // 36
  virtual HRESULT put_Quantity_Packed(BSTR value) = 0;         // 37
  virtual HRESULT put_QueryName(BSTR value) = 0;               // 38
  virtual HRESULT get_QueryName(BSTR* value) = 0;              // 39
  virtual HRESULT put_RecordCount(LONG value) = 0;             // 40
  virtual HRESULT get_RecordCount(LONG* value) = 0;            // 41
  virtual HRESULT putref_Connect(IDispatch* value) = 0;        // 42
  virtual HRESULT get_Filter(BSTR* value) = 0;                 // 43
  virtual HRESULT put_Filter(BSTR value) = 0;                  // 44
  virtual HRESULT get_InfoMsg(BSTR* value) = 0;                // 45
  virtual HRESULT OpenRecordset(VARIANT_BOOL* result) = 0;     // 46
  virtual HRESULT CloseRecordset() = 0;                        // 47
  virtual HRESULT Find(VARIANT_BOOL* result) = 0;              // 48
  virtual HRESULT FindByFilter(VARIANT_BOOL* result) = 0;      // 49
  virtual HRESULT MoveNext(VARIANT_BOOL* result) = 0;          // 50
  virtual HRESULT BackOrder(VARIANT_BOOL* result) = 0;         // 51

 protected:
  ~_BackOrder() = default;
};

}  // namespace tarvik
