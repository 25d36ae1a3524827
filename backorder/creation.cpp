// One new order from the rows of one original order: the header from the
// first row, a line per row with the quantity still open, and the posting
// that marks the original lines back-ordered.
#include <cmath>
#include <string>

#include "backorder/backorder.h"
#include "data/field_conversion.h"
#include "platform/error.h"
#include "platform/regional.h"
#include "platform/ui_services.h"

namespace tarvik::backorder {
namespace {

// Runs one statement of the line copy; a duplicate key is passed over and
// the copy goes on with the next statement.
template <typename Statement>
void PassingOverDuplicateKey(Statement statement) {
  try {
    statement();
  } catch (const AutomationError& error) {
    if (error.number() != kErrDuplicateKey) throw;
  }
}

}  // namespace

void BackOrder::SetupOrderHeader() {
  components::SalesOrder& order = *sales_order_;
  order.SetOrder_Number(new_order_number_);
  order.SetCust_ID(cust_id_.utf8());
  order.SetShipTo_Name(ship_to_name_.utf8());
  order.SetReference_No(reference_no_.utf8());
  order.SetOrder_Date(regional::FormatDate(regional::Today()));
  order.SetDue_Date(due_date_.utf8());
  order.SetOrder_Header_Discount(order_header_discount_.utf8());
  order.SetShip_Via(ship_via_.utf8());
  order.SetOrder_Flag("1");
  order.SetOrder_Comment("System Generated Backorder.  Original order number: " +
                         original_order_number_);
  order.SetPrice_Struct(price_struct_.utf8());
  order.SetOEextra1(oe_extra1_.utf8());
  order.SetOEextra2(oe_extra2_.utf8());
  order.SetNonMerchOrder(non_merch_order_);
  order.SetHeader_Text_A(header_text_a_);
  order.SetHeader_Text_B(header_text_b_);
  CopyOrderLines();
}

// Takes the run of consecutive rows with this original order number. Any
// error but a duplicate key ends the copy silently; the pass then saves the
// lines written so far.
void BackOrder::CopyOrderLines() {
  try {
    sales_order_->SetDetails(nullptr);
    std::int16_t i = 1;
    for (;;) {
      ComPtr<components::SalesOrderDetails> details = sales_order_->Details();
      PassingOverDuplicateKey([&] { details->Add(std::to_string(i)); });
      auto line = [&] { return details->Item(Variant::Integer(i)); };
      PassingOverDuplicateKey([&] { line()->SetItem_Number(item_number_.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetSite(site_.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetQuantity_Ordered(RemainingQuantity()); });
      PassingOverDuplicateKey([&] { line()->SetQuantity_To_Ship(line()->Quantity_Ordered()); });
      PassingOverDuplicateKey([&] { line()->SetUnit_Price(unit_price_.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetLine_Flag_A(1); });
      PassingOverDuplicateKey(
          [&] { line()->SetOrder_Detail_Discount(order_detail_discount_.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetLine_Code(line_code_); });
      PassingOverDuplicateKey([&] { line()->SetLine_Flag_B(1); });
      details.reset();
      if (i == INT16_MAX) RaiseError(kErrOverflow);
      ++i;
      more_detail_rows_ = MoveNext();
      if (order_number_.utf8() != original_order_number_) break;
      if (!more_detail_rows_) break;
    }
  } catch (const AutomationError&) {
    // The lines written so far stand; MoreDetailRows keeps its value.
  }
}

// No bound: a zero or negative remainder is a line all the same.
std::string BackOrder::RemainingQuantity() {
  try {
    const Variant ordered = Variant::String16(quantity_ordered_.value());
    const Variant packed = Variant::String16(quantity_packed_.value());
    if (!data::IsNumeric(ordered) || !data::IsNumeric(packed)) return std::string();
    const double remaining = ordered.ToDouble() - packed.ToDouble();
    if (!std::isfinite(remaining)) RaiseError(kErrOverflow);
    return regional::FormatDouble(remaining);
  } catch (const AutomationError& error) {
    Ui().MessageBox(error.description(), kMbOk | kMbCritical, Ui().AppTitle());
    more_detail_rows_ = false;
    return std::string();
  }
}

// Positions 0 and 1 are set whatever the query declares; the answer of the
// run is not needed.
void BackOrder::UpdateBackOrderLineStatus() {
  const std::string name = "v_BO_Update_Line_Status";
  data::HostConnection& connection = Conn();
  {
    ComPtr<data::QueryDef> query = connection.GetDatabase()->GetQueryDefs().Item(name);
    query->GetParameters().Item(0).SetValue(Variant::Long(sales_order_->Order_Key()));
    query->GetParameters().Item(1).SetValue(Variant::String(original_order_key_));
  }
  connection.ExecuteQueryDef(name);
}

}  // namespace tarvik::backorder
