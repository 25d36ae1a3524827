// The rows of several queries as one text, each value typed as written
// ('text', numbers, ISO dates, Null), for comparing a database before and
// after a workflow.
#pragma once

#include <initializer_list>
#include <string>

#include "data/host_connection.h"

namespace tarvik::testing {

std::string DumpQueries(data::HostConnection& connection, std::initializer_list<const char*> queries);

}  // namespace tarvik::testing
