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

// The schema version this build writes. Version 1 is schema.sql; each later
// one is an upgrade script beside it.
inline constexpr int kSchemaVersion = 10;

// Parameterised statements (classic dialect, ?n markers) that store the
// shipped catalog, each query replacing one of the same name.
struct Statement {
  std::string sql;
  std::vector<data::Value> values;
};
std::vector<Statement> CatalogStatements(data::Dialect dialect);
// The statements that bring a database of version `from` to kSchemaVersion,
// the version row included.
std::vector<Statement> UpgradeStatements(data::Dialect dialect, int from);

}  // namespace tarvik::db
