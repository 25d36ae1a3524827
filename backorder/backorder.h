// The BackOrder class: the detail rows of one invoice that were not invoiced
// in full (record.cpp), and the workflow that turns them into new orders
// through the order component (workflow.cpp, creation.cpp). It implements
// _BackOrder.
#pragma once

#include <cstdint>
#include <string>

#include "automation/boundary.h"
#include "automation/component_ui.h"
#include "automation/dispatch_table.h"
#include "automation/text_property.h"
#include "components/sales_order.h"
#include "data/data_recordset.h"
#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/com_object.h"
#include "platform/variant.h"
#include "tarvik/interfaces.h"

namespace tarvik::backorder {

using automation::AnswerBool;
using automation::Out;
using automation::Store;
using automation::TextProperty;
using automation::Ui;

class BackOrder;

// The interface member BackOrder cannot be declared in a class of that
// name, so it is overridden one level down and runs BackOrder::RunBackOrder.
class BackOrderBase : public ComObject<BackOrder, automation::DispatchImpl<_BackOrder>> {
 public:
  HRESULT BackOrder(VARIANT_BOOL* result) final;

 protected:
  BackOrderBase() = default;
  ~BackOrderBase() override = default;
};

class BackOrder final : public BackOrderBase {
 public:
  // Creates the record set and the order component; throws when one of them
  // cannot be created.
  BackOrder();
  ~BackOrder() override;

  void* QueryInterfaceExtra(REFIID riid);

  // --- _BackOrder, in interface order --------------------------------------
  HRESULT get_Invoice_No(BSTR* value) override { return invoice_no_.Get(value); }
  HRESULT put_Invoice_No(BSTR value) override { return invoice_no_.Put(value); }
  HRESULT get_Order_Number(BSTR* value) override { return order_number_.Get(value); }
  HRESULT put_Order_Number(BSTR value) override { return order_number_.Put(value); }
  HRESULT get_Cust_ID(BSTR* value) override { return cust_id_.Get(value); }
  HRESULT put_Cust_ID(BSTR value) override { return cust_id_.Put(value); }
  HRESULT get_ShipTo_Name(BSTR* value) override { return ship_to_name_.Get(value); }
  HRESULT put_ShipTo_Name(BSTR value) override { return ship_to_name_.Put(value); }
  HRESULT get_Reference_No(BSTR* value) override { return reference_no_.Get(value); }
  HRESULT put_Reference_No(BSTR value) override { return reference_no_.Put(value); }
  HRESULT get_Due_Date(BSTR* value) override { return due_date_.Get(value); }
  HRESULT put_Due_Date(BSTR value) override { return due_date_.Put(value); }
  HRESULT get_Order_Header_Discount(BSTR* value) override {
    return order_header_discount_.Get(value);
  }
  HRESULT put_Order_Header_Discount(BSTR value) override {
    return order_header_discount_.Put(value);
  }
  HRESULT get_Ship_Via(BSTR* value) override { return ship_via_.Get(value); }
  HRESULT put_Ship_Via(BSTR value) override { return ship_via_.Put(value); }
  HRESULT get_Price_Struct(BSTR* value) override { return price_struct_.Get(value); }
  HRESULT put_Price_Struct(BSTR value) override { return price_struct_.Put(value); }
  HRESULT get_OEextra1(BSTR* value) override { return oe_extra1_.Get(value); }
  HRESULT put_OEextra1(BSTR value) override { return oe_extra1_.Put(value); }
  HRESULT get_OEextra2(BSTR* value) override { return oe_extra2_.Get(value); }
  HRESULT put_OEextra2(BSTR value) override { return oe_extra2_.Put(value); }
  HRESULT get_NonMerchOrder(VARIANT_BOOL* value) override {
    return Out(value, non_merch_order_ ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT put_NonMerchOrder(VARIANT_BOOL value) override {
    return Store(non_merch_order_, value != VARIANT_FALSE);
  }
  HRESULT get_Item_Number(BSTR* value) override { return item_number_.Get(value); }
  HRESULT put_Item_Number(BSTR value) override { return item_number_.Put(value); }
  HRESULT get_Site(BSTR* value) override { return site_.Get(value); }
  HRESULT put_Site(BSTR value) override { return site_.Put(value); }
  HRESULT get_Quantity_Ordered(BSTR* value) override { return quantity_ordered_.Get(value); }
  HRESULT put_Quantity_Ordered(BSTR value) override { return quantity_ordered_.Put(value); }
  HRESULT get_Quantity_To_Ship(BSTR* value) override { return quantity_to_ship_.Get(value); }
  HRESULT put_Quantity_To_Ship(BSTR value) override { return quantity_to_ship_.Put(value); }
  HRESULT get_Unit_Price(BSTR* value) override { return unit_price_.Get(value); }
  HRESULT put_Unit_Price(BSTR value) override { return unit_price_.Put(value); }
  HRESULT get_Order_Detail_Discount(BSTR* value) override {
    return order_detail_discount_.Get(value);
  }
  HRESULT put_Order_Detail_Discount(BSTR value) override {
    return order_detail_discount_.Put(value);
  }
  HRESULT get_Quantity_Packed(BSTR* value) override { return quantity_packed_.Get(value); }
  HRESULT put_Quantity_Packed(BSTR value) override { return quantity_packed_.Put(value); }
  HRESULT put_QueryName(BSTR value) override { return query_name_.Put(value); }
  HRESULT get_QueryName(BSTR* value) override { return query_name_.Get(value); }
  HRESULT put_RecordCount(LONG value) override { return Store(record_count_, value); }
  HRESULT get_RecordCount(LONG* value) override { return Out(value, record_count_); }
  HRESULT get_Filter(BSTR* value) override { return filter_.Get(value); }
  HRESULT put_Filter(BSTR value) override { return filter_.Put(value); }
  HRESULT OpenRecordset(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return OpenRecordset(); });
  }
  HRESULT Find(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return Find(); });
  }
  HRESULT FindByFilter(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return FindByFilter(); });
  }
  HRESULT MoveNext(VARIANT_BOOL* result) override {
    return AnswerBool(result, [this] { return MoveNext(); });
  }
  HRESULT putref_Connect(IDispatch* value) override;
  HRESULT get_InfoMsg(BSTR* value) override { return info_msg_.Get(value); }
  // Closes the record set and empties InfoMsg; never fails.
  HRESULT CloseRecordset() noexcept override;

  // --- Public functions (C++ side) -----------------------------------------
  // Detail record (record.cpp).
  bool OpenRecordset();
  bool Find();
  bool FindByFilter();
  bool MoveNext();
  // The workflow behind the interface member BackOrder (workflow.cpp).
  bool RunBackOrder();

  void Connect(IDispatch* connection);

 private:
  friend struct BackOrderTestPeer;

  // Detail record (record.cpp).
  void LoadFields();
  // The host's connection; error 91 when Connect never handed one over.
  data::HostConnection& Conn();
  // Workflow (workflow.cpp).
  bool AutoBackOrderEnabled();
  bool ConfirmBackOrder();
  bool CreateBackOrders();
  std::string AskNewOrderNumber();
  bool OrderNumberExists(const std::string& order_number);
  // Creation of one new order (creation.cpp).
  void SetupOrderHeader();
  void CopyOrderLines();
  std::string RemainingQuantity();
  void UpdateBackOrderLineStatus();

  // --- Public properties, in interface order -------------------------------
  TextProperty invoice_no_;
  TextProperty order_number_;
  TextProperty cust_id_;
  TextProperty ship_to_name_;
  TextProperty reference_no_;
  TextProperty due_date_;
  TextProperty order_header_discount_;
  TextProperty ship_via_;
  TextProperty price_struct_;
  TextProperty oe_extra1_;
  TextProperty oe_extra2_;
  bool non_merch_order_ = false;
  TextProperty item_number_;
  TextProperty site_;
  TextProperty quantity_ordered_;
  TextProperty quantity_to_ship_;
  TextProperty unit_price_;
  TextProperty order_detail_discount_;
  TextProperty quantity_packed_;
  TextProperty query_name_;
  LONG record_count_ = 0;
  ComPtr<data::HostConnection> connection_;
  TextProperty filter_;
  TextProperty info_msg_;

  // --- Filled by the row load, read by the order creation ------------------
  std::string order_key_;
  std::string header_text_a_;
  std::string header_text_b_;
  BYTE line_code_ = 0;

  // --- Working members of one workflow call --------------------------------
  std::string original_order_number_;
  std::string original_order_key_;
  std::string new_order_number_;
  bool more_detail_rows_ = false;

  // --- Owned for the object's life ------------------------------------------
  ComPtr<data::DataRecordset> recordset_;
  ComPtr<components::SalesOrder> sales_order_;
};

// A new BackOrder as its default interface; throws when it cannot be created.
ComPtr<_BackOrder> NewBackOrder();

}  // namespace tarvik::backorder
