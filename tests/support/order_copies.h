// Larger books for the tests that must interrupt long runs.
#pragma once

#include "data/host_connection.h"

namespace tarvik::testing {

// Adds the demo's orders again, `copies` times over, under new keys (+100000
// per copy) and numbers (+10000 per copy), in one transaction.
void AddOrderCopies(data::HostConnection& c, int copies);

}  // namespace tarvik::testing
