#include "db/schema_upgrade.h"

#include <string>
#include <vector>

#include "data/table_lookup.h"
#include "data/transaction.h"
#include "db/company_settings.h"
#include "db/initialize.h"
#include "platform/error.h"

namespace tarvik::db {
namespace {

Variant ToVariant(const data::Value& v) {
  if (auto* n = std::get_if<std::int64_t>(&v)) return Variant::Long(static_cast<std::int32_t>(*n));
  if (auto* s = std::get_if<std::string>(&v)) return Variant::String(*s);
  return Variant::Null();
}

}  // namespace

int SchemaVersion(data::HostConnection& c) {
  if (!data::TablesExist(c, {"QueryDefs"})) return 0;
  if (!data::TablesExist(c, {"Schema_Version"})) return 1;
  auto rs = c.QueryWith("SELECT max(version) FROM Schema_Version", {});
  if (!rs->Seek(0)) return 1;
  const auto* v = std::get_if<std::int64_t>(&rs->Column(0));
  return v ? static_cast<int>(*v) : 1;
}

bool UpgradeDatabase(data::HostConnection& c) {
  auto refuse_newer = [](int version) {
    if (version > kSchemaVersion) {
      RaiseError(kErrDatabase, "The database has schema version " + std::to_string(version) +
                                   "; this program knows versions up to " + std::to_string(kSchemaVersion) +
                                   ". Use a newer build of tarvik.");
    }
  };
  int version = SchemaVersion(c);
  refuse_newer(version);
  if (version == 0 || version == kSchemaVersion) return false;

  data::Transaction transaction(c);
  // SQLite's transaction already holds the write lock; on a server the
  // catalog's lock makes a second host wait and then find the work done.
  if (c.SqlDialect() == data::Dialect::kPostgres) c.ExecuteWith("LOCK TABLE QueryDefs IN EXCLUSIVE MODE", {});
  version = SchemaVersion(c);
  refuse_newer(version);
  if (version == kSchemaVersion) return false;
  auto run = [&](const std::vector<Statement>& statements) {
    for (const auto& s : statements) {
      std::vector<Variant> values;
      for (const auto& v : s.values) values.push_back(ToVariant(v));
      c.ExecuteWith(s.sql, values);
    }
  };
  run(UpgradeStatements(c.SqlDialect(), version));
  run(CatalogStatements(c.SqlDialect()));
  run(SettingsRowStatements());
  transaction.Commit();
  return true;
}

}  // namespace tarvik::db
