// Creates a new order-processing database: schema, stored query catalog,
// default options and, on request, a demo data set.
#pragma once

#include <string>
#include <vector>

#include "data/backend.h"

namespace tarvik::db {

// All or nothing, in one transaction. A database that already holds the
// schema is refused with AutomationError.
void InitializeDatabase(data::Backend& backend, bool demo);

struct StoredQuery {
  std::string name;
  std::string kind;  // "select" or "action"
  std::vector<std::pair<std::string, std::string>> params;  // name, type
  std::string sql;
};
// The catalog as shipped, in file order.
std::vector<StoredQuery> ShippedQueries(data::Dialect dialect = data::Dialect::kSqlite);

}  // namespace tarvik::db
