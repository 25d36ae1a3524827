#include "tests/support/packed_orders.h"

#include <string>

#include "platform/variant.h"

namespace tarvik::testing {

void AddPackedOrders(data::HostConnection& c, int first_key, int first_order, int orders) {
  c.BeginTrans();
  for (int k = 0; k < orders; ++k) {
    const int key = first_key + k;
    c.ExecuteWith("INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, order_status) "
                  "VALUES (?1, ?2, 'C100', 'HQ', 0)",
                  {Variant::Long(key), Variant::String(std::to_string(first_order + k))});
    for (int line = 1; line <= 2; ++line) {
      c.ExecuteWith("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
                    "quantity_picked, quantity_packed, unit_price, line_status) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?5, ?5, 2.5, 2)",
                    {Variant::Long(key), Variant::Long(line), Variant::String(line == 1 ? "BOLT-10" : "NUT-10"),
                     Variant::String(k % 2 ? "EAST" : "MAIN"), Variant::Double(1 + k % 3)});
    }
  }
  c.CommitTrans();
}

}  // namespace tarvik::testing
