// The published face of a back order: _BackOrder's vtable members, in
// interface order, over one BackOrder. Properties store and answer;
// functions run the BackOrder member under Guard.
#pragma once

#include "backorder/backorder.h"
#include "platform/com.h"
#include "platform/com_object.h"
#include "automation/boundary.h"
#include "automation/dispatch_table.h"
#include "tarvik/interfaces.h"

namespace tarvik::backorder {

class BackOrderObject final
    : public ComObject<BackOrderObject, automation::DispatchImpl<_BackOrder, IID__BackOrder>> {
 public:
  // Throws when the back order's outside objects cannot be created.
  BackOrderObject() = default;

  void* QueryInterfaceExtra(REFIID riid);

  // The C++ side, for the tests of its private steps.
  backorder::BackOrder& back_order() { return back_order_; }

  // --- _BackOrder, in interface order --------------------------------------
  HRESULT get_Invoice_No(BSTR* value) override { return row().invoice_no.Get(value); }
  HRESULT put_Invoice_No(BSTR value) override { return row().invoice_no.Put(value); }
  HRESULT get_Order_Number(BSTR* value) override { return row().order_number.Get(value); }
  HRESULT put_Order_Number(BSTR value) override { return row().order_number.Put(value); }
  HRESULT get_Cust_ID(BSTR* value) override { return row().cust_id.Get(value); }
  HRESULT put_Cust_ID(BSTR value) override { return row().cust_id.Put(value); }
  HRESULT get_ShipTo_Name(BSTR* value) override { return row().ship_to_name.Get(value); }
  HRESULT put_ShipTo_Name(BSTR value) override { return row().ship_to_name.Put(value); }
  HRESULT get_Reference_No(BSTR* value) override { return row().reference_no.Get(value); }
  HRESULT put_Reference_No(BSTR value) override { return row().reference_no.Put(value); }
  HRESULT get_Due_Date(BSTR* value) override { return row().due_date.Get(value); }
  HRESULT put_Due_Date(BSTR value) override { return row().due_date.Put(value); }
  HRESULT get_Order_Header_Discount(BSTR* value) override {
    return row().order_header_discount.Get(value);
  }
  HRESULT put_Order_Header_Discount(BSTR value) override {
    return row().order_header_discount.Put(value);
  }
  HRESULT get_Ship_Via(BSTR* value) override { return row().ship_via.Get(value); }
  HRESULT put_Ship_Via(BSTR value) override { return row().ship_via.Put(value); }
  HRESULT get_Price_Struct(BSTR* value) override { return row().price_struct.Get(value); }
  HRESULT put_Price_Struct(BSTR value) override { return row().price_struct.Put(value); }
  HRESULT get_OEextra1(BSTR* value) override { return row().oe_extra1.Get(value); }
  HRESULT put_OEextra1(BSTR value) override { return row().oe_extra1.Put(value); }
  HRESULT get_OEextra2(BSTR* value) override { return row().oe_extra2.Get(value); }
  HRESULT put_OEextra2(BSTR value) override { return row().oe_extra2.Put(value); }
  HRESULT get_NonMerchOrder(VARIANT_BOOL* value) override {
    return automation::Out(value, row().non_merch_order ? VARIANT_TRUE : VARIANT_FALSE);
  }
  HRESULT put_NonMerchOrder(VARIANT_BOOL value) override {
    return automation::Store(row().non_merch_order, value != VARIANT_FALSE);
  }
  HRESULT get_Item_Number(BSTR* value) override { return row().item_number.Get(value); }
  HRESULT put_Item_Number(BSTR value) override { return row().item_number.Put(value); }
  HRESULT get_Site(BSTR* value) override { return row().site.Get(value); }
  HRESULT put_Site(BSTR value) override { return row().site.Put(value); }
  HRESULT get_Quantity_Ordered(BSTR* value) override { return row().quantity_ordered.Get(value); }
  HRESULT put_Quantity_Ordered(BSTR value) override { return row().quantity_ordered.Put(value); }
  HRESULT get_Quantity_To_Ship(BSTR* value) override { return row().quantity_to_ship.Get(value); }
  HRESULT put_Quantity_To_Ship(BSTR value) override { return row().quantity_to_ship.Put(value); }
  HRESULT get_Unit_Price(BSTR* value) override { return row().unit_price.Get(value); }
  HRESULT put_Unit_Price(BSTR value) override { return row().unit_price.Put(value); }
  HRESULT get_Order_Detail_Discount(BSTR* value) override {
    return row().order_detail_discount.Get(value);
  }
  HRESULT put_Order_Detail_Discount(BSTR value) override {
    return row().order_detail_discount.Put(value);
  }
  HRESULT get_Quantity_Packed(BSTR* value) override { return row().quantity_packed.Get(value); }
  HRESULT put_Quantity_Packed(BSTR value) override { return row().quantity_packed.Put(value); }
  HRESULT put_QueryName(BSTR value) override { return back_order_.query_name().Put(value); }
  HRESULT get_QueryName(BSTR* value) override { return back_order_.query_name().Get(value); }
  HRESULT put_RecordCount(LONG value) override {
    return automation::Store(back_order_.record_count(), value);
  }
  HRESULT get_RecordCount(LONG* value) override {
    return automation::Out(value, back_order_.record_count());
  }
  HRESULT get_Filter(BSTR* value) override { return back_order_.filter().Get(value); }
  HRESULT put_Filter(BSTR value) override { return back_order_.filter().Put(value); }
  HRESULT OpenRecordset(VARIANT_BOOL* result) override {
    return automation::AnswerBool(result, [this] { return back_order_.OpenRecordset(); });
  }
  HRESULT Find(VARIANT_BOOL* result) override {
    return automation::AnswerBool(result, [this] { return back_order_.Find(); });
  }
  HRESULT FindByFilter(VARIANT_BOOL* result) override {
    return automation::AnswerBool(result, [this] { return back_order_.FindByFilter(); });
  }
  HRESULT MoveNext(VARIANT_BOOL* result) override {
    return automation::AnswerBool(result, [this] { return back_order_.MoveNext(); });
  }
  HRESULT putref_Connect(IDispatch* value) override {
    return automation::Run([&] { back_order_.Connect(value); });
  }
  HRESULT get_InfoMsg(BSTR* value) override { return back_order_.info_msg().Get(value); }
  HRESULT CloseRecordset() noexcept override {
    back_order_.CloseRecordset();
    return S_OK;
  }
  HRESULT BackOrder(VARIANT_BOOL* result) override {
    return automation::AnswerBool(result, [this] { return back_order_.RunBackOrder(); });
  }

 private:
  DetailRow& row() { return back_order_.row(); }

  backorder::BackOrder back_order_;
};

}  // namespace tarvik::backorder
