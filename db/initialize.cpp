#include "db/initialize.h"

#include <sstream>

#include "data/dialect.h"
#include "data/sql_text.h"
#include "data/table_lookup.h"
#include "db/company_settings.h"
#include "db/demo_data.h"
#include "db/embedded_sql.h"
#include "platform/error.h"

namespace tarvik::db {

namespace {

bool IsPostgres(data::Backend& backend) { return backend.dialect() == data::Dialect::kPostgres; }

void Exec(data::Backend& b, const Statement& s) {
  b.Execute(data::TranslateClassic(s.sql, b.dialect()), s.values);
}

const std::vector<std::pair<std::string, std::string>> kDefaultOptions = {
    {"Invoice No Partial Picking", "0"},
    {"Auto Backorder", "1"},
    {"Pack Verify", "0"},
    {"Company Name", "Tarvik Supply Co."},
    {"Company Address", "12 Harbour Road, Tallinn"},
};

}  // namespace

std::vector<StoredQuery> ShippedQueries(data::Dialect dialect) {
  std::vector<StoredQuery> out;
  std::istringstream in(dialect == data::Dialect::kPostgres ? embedded::kPgQueries : embedded::kQueries);
  std::string line;
  StoredQuery* current = nullptr;
  bool in_header = false;
  while (std::getline(in, line)) {
    if (line.rfind("-- query:", 0) == 0) {
      std::istringstream words(line.substr(9));
      StoredQuery q;
      words >> q.name >> q.kind;
      out.push_back(std::move(q));
      current = &out.back();
      in_header = true;
    } else if (current && in_header && line.rfind("-- param:", 0) == 0) {
      std::istringstream words(line.substr(9));
      std::string name, type;
      words >> name >> type;
      current->params.emplace_back(name, type);
    } else if (current) {
      in_header = false;
      current->sql += line + "\n";
    }
  }
  // Comment lines at the end introduce the next query, not this one.
  for (auto& q : out) {
    std::string sql = data::TrimBlanks(q.sql);
    for (std::size_t last; (last = sql.rfind('\n')) != std::string::npos &&
                           data::TrimBlanks(sql.substr(last + 1)).rfind("--", 0) == 0;) {
      sql = data::TrimBlanks(sql.substr(0, last));
    }
    q.sql = std::move(sql);
  }
  return out;
}

std::vector<Statement> CatalogStatements(data::Dialect dialect) {
  std::vector<Statement> out;
  for (const auto& q : ShippedQueries(dialect)) {
    // Its parameters go with it (the catalog cascades).
    out.push_back({"DELETE FROM QueryDefs WHERE lower(name) = lower(?1)", {q.name}});
    out.push_back({"INSERT INTO QueryDefs (name, kind, sql) VALUES (?1, ?2, ?3)", {q.name, q.kind, q.sql}});
    for (std::size_t i = 0; i < q.params.size(); ++i) {
      out.push_back({"INSERT INTO QueryDefParams (query_name, position, name, type) VALUES (?1, ?2, ?3, ?4)",
                     {q.name, static_cast<std::int64_t>(i), q.params[i].first, q.params[i].second}});
    }
  }
  return out;
}

std::vector<Statement> UpgradeStatements(data::Dialect dialect, int from) {
  const char* const* scripts = dialect == data::Dialect::kPostgres ? embedded::kPgUpgrades : embedded::kUpgrades;
  std::vector<Statement> out;
  int version = 1;
  for (const char* const* script = scripts; *script; ++script) {
    ++version;
    if (version <= from) continue;
    for (auto& sql : data::SplitStatements(*script)) out.push_back({std::move(sql), {}});
  }
  if (version != kSchemaVersion) {
    RaiseError(kErrDatabase, "This build ships upgrades to version " + std::to_string(version) +
                                 " but writes version " + std::to_string(kSchemaVersion) + ".");
  }
  if (from < 2) out.push_back({"CREATE TABLE Schema_Version (version INTEGER NOT NULL)", {}});
  out.push_back({"DELETE FROM Schema_Version", {}});
  out.push_back({"INSERT INTO Schema_Version (version) VALUES (?1)", {static_cast<std::int64_t>(kSchemaVersion)}});
  return out;
}

void InitializeDatabase(data::Backend& backend, bool demo) {
  if (data::TablesExist(backend, {"QueryDefs"})) {
    RaiseError(kErrDatabase, "The database '" + backend.DatabaseName() +
                                 "' already holds an order-processing schema; use a new database.");
  }
  backend.Begin();
  try {
    backend.ExecuteScript(IsPostgres(backend) ? embedded::kPgSchema : embedded::kSchema);
    // The options first: later versions derive settings from them.
    for (const auto& [name, value] : kDefaultOptions) {
      Exec(backend, {"INSERT INTO System (option_name, option_value) VALUES (?1, ?2)", {name, value}});
    }
    for (const auto& s : UpgradeStatements(backend.dialect(), 1)) Exec(backend, s);
    for (const auto& s : CatalogStatements(backend.dialect())) Exec(backend, s);
    for (const auto& s : SettingsRowStatements()) Exec(backend, s);
    if (demo) LoadDemoData(backend);
    backend.Commit();
  } catch (...) {
    backend.Rollback();
    throw;
  }
}

}  // namespace tarvik::db
