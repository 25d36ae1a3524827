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

void BackOrder::SetupOrderHeader(const Pass& pass) {
  components::SalesOrder& order = *sales_order_;
  order.SetOrder_Number(pass.new_order_number);
  order.SetCust_ID(row_.cust_id.utf8());
  order.SetShipTo_Name(row_.ship_to_name.utf8());
  order.SetReference_No(row_.reference_no.utf8());
  order.SetOrder_Date(regional::FormatDate(regional::Today()));
  order.SetDue_Date(row_.due_date.utf8());
  order.SetOrder_Header_Discount(row_.order_header_discount.utf8());
  order.SetShip_Via(row_.ship_via.utf8());
  order.SetOrder_Flag("1");
  order.SetOrder_Comment("System Generated Backorder.  Original order number: " +
                         pass.original_order_number);
  order.SetPrice_Struct(row_.price_struct.utf8());
  order.SetOEextra1(row_.oe_extra1.utf8());
  order.SetOEextra2(row_.oe_extra2.utf8());
  order.SetNonMerchOrder(row_.non_merch_order);
  order.SetHeader_Text_A(row_.header_text_a);
  order.SetHeader_Text_B(row_.header_text_b);
  CopyOrderLines(pass);
}

// Takes the run of consecutive rows with this original order number. Any
// error but a duplicate key ends the copy silently; the pass then saves the
// lines written so far.
void BackOrder::CopyOrderLines(const Pass& pass) {
  try {
    sales_order_->SetDetails(nullptr);
    std::int16_t i = 1;
    for (;;) {
      ComPtr<components::SalesOrderDetails> details = sales_order_->Details();
      PassingOverDuplicateKey([&] { details->Add(std::to_string(i)); });
      auto line = [&] { return details->Item(Variant::Integer(i)); };
      PassingOverDuplicateKey([&] { line()->SetItem_Number(row_.item_number.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetSite(row_.site.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetQuantity_Ordered(RemainingQuantity()); });
      PassingOverDuplicateKey([&] { line()->SetQuantity_To_Ship(line()->Quantity_Ordered()); });
      PassingOverDuplicateKey([&] { line()->SetUnit_Price(row_.unit_price.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetLine_Flag_A(1); });
      PassingOverDuplicateKey(
          [&] { line()->SetOrder_Detail_Discount(row_.order_detail_discount.utf8()); });
      PassingOverDuplicateKey([&] { line()->SetLine_Code(row_.line_code); });
      PassingOverDuplicateKey([&] { line()->SetLine_Flag_B(1); });
      details.reset();
      if (i == INT16_MAX) RaiseError(kErrOverflow);
      ++i;
      more_detail_rows_ = MoveNext();
      if (row_.order_number.utf8() != pass.original_order_number) break;
      if (!more_detail_rows_) break;
    }
  } catch (const AutomationError&) {
    // The lines written so far stand; MoreDetailRows keeps its value.
  }
}

// No bound: a zero or negative remainder is a line all the same.
std::string BackOrder::RemainingQuantity() {
  try {
    const Variant ordered = Variant::String16(row_.quantity_ordered.value());
    const Variant packed = Variant::String16(row_.quantity_packed.value());
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
void BackOrder::UpdateBackOrderLineStatus(const Pass& pass) {
  const std::string name = "v_BO_Update_Line_Status";
  data::HostConnection& connection = Conn();
  {
    ComPtr<data::QueryDef> query = connection.GetDatabase()->GetQueryDefs().Item(name);
    query->GetParameters().Item(0).SetValue(Variant::Long(sales_order_->Order_Key()));
    query->GetParameters().Item(1).SetValue(Variant::String(pass.original_order_key));
  }
  connection.ExecuteQueryDef(name);
}

}  // namespace tarvik::backorder
