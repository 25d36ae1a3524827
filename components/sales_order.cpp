// The order component as far as it is built: an order and its lines held in
// memory with every value set on them. Storing (Save) and the existence check
// (Find) are not available in this build yet.
#include "components/sales_order.h"

#include <utility>
#include <vector>

#include "platform/com_object.h"
#include "platform/error.h"

namespace tarvik::components {
namespace {

class SalesOrderDetailImpl final : public ComObject<SalesOrderDetailImpl, SalesOrderDetail> {
 public:
  void SetLine_Flag_A(std::uint8_t v) override { line_flag_a_ = v; }
  void SetOrder_Detail_Discount(const std::string& v) override { order_detail_discount_ = v; }
  void SetUnit_Price(const std::string& v) override { unit_price_ = v; }
  void SetQuantity_To_Ship(const std::string& v) override { quantity_to_ship_ = v; }
  void SetQuantity_Ordered(const std::string& v) override { quantity_ordered_ = v; }
  std::string Quantity_Ordered() override { return quantity_ordered_; }
  void SetSite(const std::string& v) override { site_ = v; }
  void SetItem_Number(const std::string& v) override { item_number_ = v; }
  void SetLine_Flag_B(std::int32_t v) override { line_flag_b_ = v; }
  void SetLine_Code(std::uint8_t v) override { line_code_ = v; }

 private:
  std::uint8_t line_flag_a_ = 0;
  std::string order_detail_discount_;
  std::string unit_price_;
  std::string quantity_to_ship_;
  std::string quantity_ordered_;
  std::string site_;
  std::string item_number_;
  std::int32_t line_flag_b_ = 0;
  std::uint8_t line_code_ = 0;
};

bool SameKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// Keys compare without regard to case, as the platform's Collection does.
class SalesOrderDetailsImpl final : public ComObject<SalesOrderDetailsImpl, SalesOrderDetails> {
 public:
  ComPtr<SalesOrderDetail> Add(const std::string& key) override {
    for (const auto& line : lines_) {
      if (SameKey(line.first, key)) RaiseError(kErrDuplicateKey);
    }
    ComPtr<SalesOrderDetail> detail = MakeCom<SalesOrderDetailImpl>();
    lines_.emplace_back(key, detail);
    return detail;
  }

  ComPtr<SalesOrderDetail> Item(const Variant& position) override {
    std::int32_t index = position.ToLong();
    if (index < 1 || static_cast<std::size_t>(index) > lines_.size())
      RaiseError(kErrInvalidProcedureCall);
    return lines_[static_cast<std::size_t>(index - 1)].second;
  }

 private:
  std::vector<std::pair<std::string, ComPtr<SalesOrderDetail>>> lines_;
};

class SalesOrderImpl final : public ComObject<SalesOrderImpl, SalesOrder> {
 public:
  void SetNonMerchOrder(bool v) override { non_merch_order_ = v; }
  void SetOEextra2(const std::string& v) override { oe_extra2_ = v; }
  void SetOEextra1(const std::string& v) override { oe_extra1_ = v; }
  void SetPrice_Struct(const std::string& v) override { price_struct_ = v; }
  ComPtr<SalesOrderDetails> Details() override {
    if (!details_) details_ = MakeCom<SalesOrderDetailsImpl>();
    return details_;
  }
  void SetDetails(ComPtr<SalesOrderDetails> details) override { details_ = std::move(details); }
  std::int32_t Order_Key() override { return 0; }
  void SetOrder_Header_Discount(const std::string& v) override { order_header_discount_ = v; }
  void SetShip_Via(const std::string& v) override { ship_via_ = v; }
  void SetOrder_Number(const std::string& v) override { order_number_ = v; }
  void SetOrder_Flag(const std::string& v) override { order_flag_ = v; }
  void SetDue_Date(const std::string& v) override { due_date_ = v; }
  void SetOrder_Date(const std::string& v) override { order_date_ = v; }
  void SetReference_No(const std::string& v) override { reference_no_ = v; }
  bool Save() override { NotAvailable("Save"); }
  void SetTransactionMode(std::int32_t v) override { transaction_mode_ = v; }
  void SetOrder_Comment(const std::string& v) override { order_comment_ = v; }
  void SetShipTo_Name(const std::string& v) override { ship_to_name_ = v; }
  void SetCust_ID(const std::string& v) override { cust_id_ = v; }
  void SetConnect(ComPtr<data::HostConnection> connection) override {
    connection_ = std::move(connection);
  }
  void SetFilter(const std::string& v) override { filter_ = v; }
  bool Find() override { NotAvailable("Find"); }
  void SetHeader_Text_A(const std::string& v) override { header_text_a_ = v; }
  void SetHeader_Text_B(const std::string& v) override { header_text_b_ = v; }

 private:
  [[noreturn]] static void NotAvailable(const char* member) {
    RaiseError(445, std::string("Object doesn't support this action (SalesOrder.") + member +
                        " is not available in this build)");
  }

  bool non_merch_order_ = false;
  std::string oe_extra2_;
  std::string oe_extra1_;
  std::string price_struct_;
  ComPtr<SalesOrderDetails> details_;
  std::string order_header_discount_;
  std::string ship_via_;
  std::string order_number_;
  std::string order_flag_;
  std::string due_date_;
  std::string order_date_;
  std::string reference_no_;
  std::int32_t transaction_mode_ = 0;
  std::string order_comment_;
  std::string ship_to_name_;
  std::string cust_id_;
  ComPtr<data::HostConnection> connection_;
  std::string filter_;
  std::string header_text_a_;
  std::string header_text_b_;
};

SalesOrderFactory& Factory() {
  static SalesOrderFactory factory;
  return factory;
}

}  // namespace

ComPtr<SalesOrder> NewDefaultSalesOrder() { return MakeCom<SalesOrderImpl>(); }

ComPtr<SalesOrder> NewSalesOrder() { return Factory() ? Factory()() : NewDefaultSalesOrder(); }

void SetSalesOrderFactory(SalesOrderFactory factory) { Factory() = std::move(factory); }

}  // namespace tarvik::components
