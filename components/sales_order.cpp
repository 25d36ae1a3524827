// The order component: a new order and its lines held in memory, stored by
// Save through the connection it was given (inside whatever transaction the
// caller holds there), and the existence check of the "BACKORDER" filter.
#include "components/sales_order.h"

#include <optional>
#include <utility>
#include <vector>

#include "data/sql_text.h"
#include "data/transaction.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/regional.h"

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

  // The line as Save stores it: texts that are not numbers store 0.
  std::vector<Variant> Values(std::int32_t order_key, std::int32_t line_no) const;

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

// Quantities, prices and discounts arrive as text.
Variant Number(const std::string& text) {
  std::optional<double> v = regional::ParseNumber(text);
  return Variant::Double(v ? *v : 0.0);
}

// A date text in the short form; Null when it is no date.
Variant DateOrNull(const std::string& text) {
  std::optional<double> d = regional::ParseDate(text);
  return d ? Variant::Date(*d) : Variant::Null();
}

Variant TextOrNull(const std::string& text) {
  return text.empty() ? Variant::Null() : Variant::String(text);
}

std::vector<Variant> SalesOrderDetailImpl::Values(std::int32_t order_key,
                                                  std::int32_t line_no) const {
  return {Variant::Long(order_key),        Variant::Long(line_no),
          Variant::String(item_number_),   Variant::String(site_),
          Number(quantity_ordered_),       Number(unit_price_),
          Number(order_detail_discount_),  Variant::Long(line_code_),
          Variant::Long(line_flag_a_),     Variant::Long(line_flag_b_)};
}

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

  std::size_t size() const { return lines_.size(); }
  const SalesOrderDetailImpl& line(std::size_t i) const {
    return *static_cast<SalesOrderDetailImpl*>(lines_[i].second.get());
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
  // Only collections of this component can be handed over (or none).
  void SetDetails(ComPtr<SalesOrderDetails> details) override {
    if (details && !dynamic_cast<SalesOrderDetailsImpl*>(details.get())) RaiseError(kErrTypeMismatch);
    details_ = std::move(details);
  }
  std::int32_t Order_Key() override { return order_key_; }
  void SetOrder_Header_Discount(const std::string& v) override { order_header_discount_ = v; }
  void SetShip_Via(const std::string& v) override { ship_via_ = v; }
  void SetOrder_Number(const std::string& v) override { order_number_ = v; }
  void SetOrder_Flag(const std::string& v) override { order_flag_ = v; }
  void SetDue_Date(const std::string& v) override { due_date_ = v; }
  void SetOrder_Date(const std::string& v) override { order_date_ = v; }
  void SetReference_No(const std::string& v) override { reference_no_ = v; }
  bool Save() override;
  void SetTransactionMode(std::int32_t v) override { transaction_mode_ = v; }
  void SetOrder_Comment(const std::string& v) override { order_comment_ = v; }
  void SetShipTo_Name(const std::string& v) override { ship_to_name_ = v; }
  void SetCust_ID(const std::string& v) override { cust_id_ = v; }
  void SetConnect(ComPtr<data::HostConnection> connection) override {
    connection_ = std::move(connection);
  }
  void SetFilter(const std::string& v) override { filter_ = v; }
  bool Find() override;
  void SetHeader_Text_A(const std::string& v) override { header_text_a_ = v; }
  void SetHeader_Text_B(const std::string& v) override { header_text_b_ = v; }

 private:
  data::HostConnection& Connection(const char* member) {
    if (!connection_) {
      RaiseError(kErrObjectVariableNotSet,
                 std::string("SalesOrder.") + member + ": no database connection (Connect)");
    }
    return *connection_;
  }
  std::optional<std::int32_t> KeyOf(data::HostConnection& c, const std::string& number);
  void StoreOrder(data::HostConnection& c);

  std::int32_t order_key_ = 0;
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

std::optional<std::int32_t> SalesOrderImpl::KeyOf(data::HostConnection& c,
                                                  const std::string& number) {
  auto rows = c.QueryWith(
      "SELECT order_key FROM Order_Header WHERE cust_id = ?1 AND shipto_name = ?2 AND "
      "order_number = ?3",
      {Variant::String(cust_id_), Variant::String(ship_to_name_), Variant::String(number)});
  if (!rows->Seek(0)) return std::nullopt;
  return static_cast<std::int32_t>(std::get<std::int64_t>(rows->Column(0)));
}

// Order numbers are unique per customer and ship-to location.
bool SalesOrderImpl::Find() {
  data::HostConnection& c = Connection("Find");
  if (data::TrimBlanks(filter_) != "BACKORDER") {
    RaiseError(kErrInvalidProcedureCall, "SalesOrder.Find: unknown filter '" + filter_ + "'");
  }
  return KeyOf(c, data::TrimBlanks(order_number_)).has_value();
}

// A new order only (TransactionMode 1). False, with nothing written, when
// the order has no number or customer, or the number is taken; database
// errors travel on after the order's own level is rolled back.
bool SalesOrderImpl::Save() {
  data::HostConnection& c = Connection("Save");
  if (transaction_mode_ != 1) {
    RaiseError(kErrInvalidProcedureCall,
               "SalesOrder.Save: only new orders are saved (TransactionMode 1), not mode " +
                   std::to_string(transaction_mode_));
  }
  const std::string number = data::TrimBlanks(order_number_);
  if (number.empty() || data::TrimBlanks(cust_id_).empty() || KeyOf(c, number)) return false;
  data::Transaction transaction(c);
  try {
    StoreOrder(c);
    transaction.Commit();
  } catch (...) {
    order_key_ = 0;  // the level is rolled back as the error leaves
    throw;
  }
  return true;
}

void SalesOrderImpl::StoreOrder(data::HostConnection& c) {
  const std::string number = data::TrimBlanks(order_number_);
  c.ExecuteWith(
      "INSERT INTO Order_Header (order_number, cust_id, shipto_name, reference_no, order_date, "
      "due_date, order_header_discount, ship_via, price_struct, oeextra1, oeextra2, "
      "nonmerch_order, header_text_a, header_text_b, order_flag, order_comment, order_status) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, 0)",
      {Variant::String(number), Variant::String(cust_id_), Variant::String(ship_to_name_),
       TextOrNull(reference_no_), DateOrNull(order_date_), DateOrNull(due_date_),
       Number(order_header_discount_), TextOrNull(ship_via_), TextOrNull(price_struct_),
       TextOrNull(oe_extra1_), TextOrNull(oe_extra2_), Variant::Long(non_merch_order_ ? 1 : 0),
       TextOrNull(header_text_a_), TextOrNull(header_text_b_), TextOrNull(order_flag_),
       TextOrNull(order_comment_)});
  std::optional<std::int32_t> key = KeyOf(c, number);
  if (!key) RaiseError(kErrDatabase, "SalesOrder.Save: the new order could not be read back");
  order_key_ = *key;
  if (!details_) return;
  const auto& lines = *static_cast<SalesOrderDetailsImpl*>(details_.get());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    c.ExecuteWith(
        "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
        "unit_price, order_detail_discount, line_code, line_flag_a, line_flag_b, line_status) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 0)",
        lines.line(i).Values(order_key_, static_cast<std::int32_t>(i + 1)));
  }
}

SalesOrderFactory& Factory() {
  static SalesOrderFactory factory;
  return factory;
}

}  // namespace

ComPtr<SalesOrder> NewDefaultSalesOrder() { return MakeCom<SalesOrderImpl>(); }

ComPtr<SalesOrder> NewSalesOrder() { return Factory() ? Factory()() : NewDefaultSalesOrder(); }

void SetSalesOrderFactory(SalesOrderFactory factory) { Factory() = std::move(factory); }

}  // namespace tarvik::components
