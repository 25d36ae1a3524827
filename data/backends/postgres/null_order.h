// SQLite sorts Null below every value; PostgreSQL above. Record sets, finds
// and the tests' expectations follow SQLite, so statements sent to the server
// get an explicit Null placement on every sort key.
#pragma once

#include <string>

namespace tarvik::data {

// `sql` with NULLS FIRST after each ascending and NULLS LAST after each
// descending ORDER BY key that names no placement of its own, at every
// nesting level (subqueries, window and aggregate orders). Quoted text,
// quoted names and comments are left alone.
std::string WithSqliteNullOrder(const std::string& sql);

}  // namespace tarvik::data
