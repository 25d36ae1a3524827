// The demo data set: customers, ship-to locations, items at two sites with
// opening stock, and orders in every state of picking and packing.
#pragma once

#include "data/backend.h"

namespace tarvik::db {

// Runs inside the caller's transaction.
void LoadDemoData(data::Backend& backend);

}  // namespace tarvik::db
