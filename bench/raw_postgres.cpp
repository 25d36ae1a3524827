#include "bench/raw_postgres.h"

#include <pqxx/pqxx>

#include <cstdio>
#include <stdexcept>
#include <unordered_map>

#include "data/dialect.h"
#include "data/sql_text.h"

namespace tarvik::bench {

struct RawPostgres::Session {
  explicit Session(const std::string& uri) : conn(uri), work(conn) {}
  pqxx::connection conn;
  pqxx::nontransaction work;
  std::unordered_map<std::string, Handle> handles;
  std::unordered_map<std::string, std::vector<Handle>> stored;
};

RawPostgres::RawPostgres(const std::string& uri) : session_(std::make_unique<Session>(uri)) {
  Exec("SET standard_conforming_strings = on; SET TIME ZONE 'UTC'; SET datestyle = 'ISO, MDY'");
}

RawPostgres::~RawPostgres() = default;

void RawPostgres::Exec(const char* sql) { session_->work.exec(sql); }

RawPostgres::Handle RawPostgres::Statement(const std::string& sql) {
  auto it = session_->handles.find(sql);
  if (it != session_->handles.end()) return it->second;
  const Handle h = session_->handles.size();
  session_->conn.prepare("raw_" + std::to_string(h), data::TranslateClassic(sql, data::Dialect::kPostgres));
  session_->handles.emplace(sql, h);
  return h;
}

void RawPostgres::Run(Handle st, const std::vector<RawValue>& values,
                      std::vector<std::int64_t>* first_column) {
  std::vector<std::string> texts(values.size());
  std::vector<const char*> args(values.size(), nullptr);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const RawValue& v = values[i];
    if (auto* n = std::get_if<std::int64_t>(&v)) {
      texts[i] = std::to_string(*n);
    } else if (auto* d = std::get_if<double>(&v)) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", *d);
      texts[i] = buf;
    } else if (auto* s = std::get_if<std::string>(&v)) {
      texts[i] = *s;
    } else {
      continue;
    }
    args[i] = texts[i].c_str();
  }
  pqxx::result r = session_->work.exec_prepared("raw_" + std::to_string(st),
                                                pqxx::prepare::make_dynamic_params(args));
  if (first_column) {
    for (const auto& row : r) first_column->push_back(row[0].as<std::int64_t>());
  }
}

void RawPostgres::RunStored(const std::string& name, const std::vector<RawValue>& values,
                            std::vector<std::int64_t>* first_column) {
  auto it = session_->stored.find(name);
  if (it == session_->stored.end()) {
    pqxx::result r = session_->work.exec_params("SELECT sql FROM QueryDefs WHERE name = $1", name);
    if (r.empty()) throw std::runtime_error("no stored query " + name);
    std::vector<Handle> handles;
    for (const std::string& piece : data::SplitStatements(r[0][0].c_str())) handles.push_back(Statement(piece));
    it = session_->stored.emplace(name, std::move(handles)).first;
  }
  const bool unit = it->second.size() > 1;
  if (unit) Exec("SAVEPOINT q");
  for (Handle h : it->second) Run(h, values, first_column);
  if (unit) Exec("RELEASE SAVEPOINT q");
}

}  // namespace tarvik::bench
