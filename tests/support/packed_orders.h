// Orders ready to invoice, added straight to the books for tests that need
// many of them: two packed lines each, customer C100 at HQ.
#pragma once

#include "data/host_connection.h"

namespace tarvik::testing {

// Order keys first_key up, order numbers first_order up; the sites and
// quantities alternate so the relief touches several stock rows.
void AddPackedOrders(data::HostConnection& c, int first_key, int first_order, int orders);

}  // namespace tarvik::testing
