// Books as an earlier build left them, for tests of the schema upgrades.
#pragma once

#include "data/backend.h"

namespace tarvik::testing {

// The shipped schema of `version` (1 = before versions were kept; from 2 on
// with its Schema_Version row), without stored queries or data.
void CreateSchemaOfVersion(data::Backend& backend, int version);

}  // namespace tarvik::testing
