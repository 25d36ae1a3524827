// Runs a stored action query by name with values set by position.
#pragma once

#include <string>
#include <vector>

#include "data/host_connection.h"
#include "platform/variant.h"

namespace tarvik::data {

// Sets parameter i of the stored query to values[i] for every parameter the
// query declares (surplus values are ignored; too few raise error 9 before
// anything runs), then runs it by name. Errors pass to the caller.
bool RunStoredQuery(HostConnection& connection, const std::string& query_name,
                    const std::vector<Variant>& values);

}  // namespace tarvik::data
