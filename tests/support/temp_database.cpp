#include "tests/support/temp_database.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "data/backend.h"
#include "db/initialize.h"
#include "platform/regional.h"

namespace tarvik::testing {

TempDatabase::TempDatabase(bool initialize, bool demo) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tarvik-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
  dir_ = tmpl;
  path_ = dir_ + "/test.db";
  if (initialize) {
    auto backend = data::OpenBackend(path_);
    db::InitializeDatabase(*backend, demo);
  }
}

TempDatabase::~TempDatabase() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

ComPtr<data::HostConnection> TempDatabase::Connect() const { return data::OpenConnection(path_); }

namespace {
data::Value First(data::HostConnection& c, const std::string& sql) {
  auto rs = c.OpenQuery(sql);
  return rs->Seek(0) ? rs->Column(0) : data::Value{};
}
}  // namespace

double ScalarNumber(data::HostConnection& c, const std::string& sql) {
  data::Value v = First(c, sql);
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  return 0;
}

std::string ScalarText(data::HostConnection& c, const std::string& sql) {
  data::Value v = First(c, sql);
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<data::DateValue>(&v)) return regional::FormatIsoDate(d->ole);
  return {};
}

}  // namespace tarvik::testing
