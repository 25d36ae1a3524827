#include "db/initialize.h"

#include <sstream>

#include "data/dialect.h"
#include "data/sql_text.h"
#include "db/demo_data.h"
#include "platform/error.h"

namespace tarvik::db {
namespace embedded {
extern const char* const kSchema;
extern const char* const kQueries;
extern const char* const kPgSchema;
extern const char* const kPgQueries;
}  // namespace embedded

namespace {

bool IsPostgres(data::Backend& backend) { return backend.dialect() == data::Dialect::kPostgres; }

void Exec(data::Backend& b, const std::string& sql, const std::vector<data::Value>& params) {
  b.Execute(data::TranslateClassic(sql, b.dialect()), params);
}

bool HasSchema(data::Backend& backend) {
  auto rs = backend.Query(IsPostgres(backend)
                              ? "SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                                "current_schema() AND lower(table_name) = 'querydefs'"
                              : "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'QueryDefs'",
                          {});
  return rs->Seek(0) && std::get<std::int64_t>(rs->Column(0)) > 0;
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
  for (auto& q : out) q.sql = data::TrimBlanks(q.sql);
  return out;
}

void InitializeDatabase(data::Backend& backend, bool demo) {
  if (HasSchema(backend)) {
    RaiseError(kErrDatabase, "The database '" + backend.DatabaseName() +
                                 "' already holds an order-processing schema; use a new database.");
  }
  backend.Begin();
  try {
    backend.ExecuteScript(IsPostgres(backend) ? embedded::kPgSchema : embedded::kSchema);
    for (const auto& q : ShippedQueries(backend.dialect())) {
      Exec(backend, "INSERT INTO QueryDefs (name, kind, sql) VALUES (?1, ?2, ?3)", {q.name, q.kind, q.sql});
      for (std::size_t i = 0; i < q.params.size(); ++i) {
        Exec(backend, "INSERT INTO QueryDefParams (query_name, position, name, type) VALUES (?1, ?2, ?3, ?4)",
                        {q.name, static_cast<std::int64_t>(i), q.params[i].first, q.params[i].second});
      }
    }
    for (const auto& [name, value] : kDefaultOptions) {
      Exec(backend, "INSERT INTO System (option_name, option_value) VALUES (?1, ?2)", {name, value});
    }
    if (demo) LoadDemoData(backend);
    backend.Commit();
  } catch (...) {
    backend.Rollback();
    throw;
  }
}

}  // namespace tarvik::db
