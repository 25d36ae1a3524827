#include "tests/support/order_copies.h"

#include <string>

namespace tarvik::testing {

void AddOrderCopies(data::HostConnection& c, int copies) {
  c.BeginTrans();
  for (int n = 1; n <= copies; ++n) {
    const std::string key = std::to_string(100000 * n), number = std::to_string(10000 * n);
    c.Execute(
        "INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, reference_no, "
        "order_date, due_date, order_header_discount, ship_via, price_struct, oeextra1, oeextra2, "
        "nonmerch_order, header_text_a, header_text_b, order_flag, order_comment, order_status) "
        "SELECT order_key + " + key + ", CAST(CAST(order_number AS INTEGER) + " + number +
        " AS TEXT), cust_id, shipto_name, reference_no, order_date, due_date, order_header_discount, "
        "ship_via, price_struct, oeextra1, oeextra2, nonmerch_order, header_text_a, header_text_b, "
        "order_flag, order_comment, order_status FROM Order_Header WHERE order_key < 100000");
    c.Execute(
        "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
        "quantity_picked, quantity_packed, quantity_invoiced, unit_price, order_detail_discount, "
        "line_code, line_flag_a, line_flag_b, line_status, backorder_key) "
        "SELECT order_key + " + key + ", line_no, item_number, site, quantity_ordered, "
        "quantity_picked, quantity_packed, quantity_invoiced, unit_price, order_detail_discount, "
        "line_code, line_flag_a, line_flag_b, line_status, backorder_key FROM Order_Detail "
        "WHERE order_key < 100000");
  }
  c.CommitTrans();
}

}  // namespace tarvik::testing
