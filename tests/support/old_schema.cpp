#include "tests/support/old_schema.h"

#include <string>

#include "data/dialect.h"
#include "data/sql_text.h"
#include "db/embedded_sql.h"

namespace tarvik::testing {

void CreateSchemaOfVersion(data::Backend& backend, int version) {
  const bool postgres = backend.dialect() == data::Dialect::kPostgres;
  backend.ExecuteScript(postgres ? db::embedded::kPgSchema : db::embedded::kSchema);
  const char* const* upgrades = postgres ? db::embedded::kPgUpgrades : db::embedded::kUpgrades;
  // Statement by statement: a version that changed nothing on this engine
  // is comments only, which a server refuses as an empty query.
  for (int v = 2; v <= version; ++v) {
    for (const std::string& sql : data::SplitStatements(upgrades[v - 2])) backend.ExecuteScript(sql);
  }
  if (version < 2) return;
  auto exec = [&](const std::string& sql) { backend.Execute(data::TranslateClassic(sql, backend.dialect()), {}); };
  exec("CREATE TABLE Schema_Version (version INTEGER NOT NULL)");
  exec("INSERT INTO Schema_Version (version) VALUES (" + std::to_string(version) + ")");
}

}  // namespace tarvik::testing
