#include "tests/support/temp_database.h"


#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "data/backend.h"
#include "db/initialize.h"
#include "platform/regional.h"

namespace tarvik::testing {
namespace {

// Tells this test process's databases and folders from another's.
std::string ProcessTag() {
  static const std::string tag = std::to_string(std::random_device{}() % 1000000000u);
  return tag;
}

// A new, empty folder of our own under the system's temporary folder.
std::string NewTempFolder() {
  namespace fs = std::filesystem;
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = fs::temp_directory_path() / ("tarvik-test-" + std::to_string(random() % 100000000000u));
    std::error_code ec;
    if (fs::create_directory(folder, ec)) return folder.generic_string();
  }
  throw std::runtime_error("cannot make a temporary folder");
}

// The server URI with its database part replaced.
std::string WithDatabase(const std::string& server, const std::string& name) {
  const std::size_t scheme = server.find("://");
  std::size_t slash = server.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  std::size_t query = server.find('?', slash == std::string::npos ? 0 : slash);
  const std::string options = query == std::string::npos ? "" : server.substr(query);
  std::string base = server.substr(0, slash == std::string::npos ? (query == std::string::npos ? server.size() : query)
                                                                 : slash);
  return base + "/" + name + options;
}

// Databases still to drop when the program ends, whatever the tests did.
class Leftovers {
 public:
  static Leftovers& Get() {
    static Leftovers all;
    return all;
  }
  void Add(const std::string& uri) {
    std::lock_guard<std::mutex> lock(mu_);
    uris_.insert(uri);
  }
  bool Remove(const std::string& uri) {
    std::lock_guard<std::mutex> lock(mu_);
    return uris_.erase(uri) > 0;
  }
  ~Leftovers() {
    for (const auto& uri : uris_) Drop(uri);
  }
  static void Drop(const std::string& uri) noexcept {
    try {
      auto admin = data::OpenBackend(TestPostgresServer());
      admin->ExecuteScript("DROP DATABASE IF EXISTS \"" + PostgresDatabaseName(uri) + "\" WITH (FORCE)");
    } catch (...) {
      // A leftover database on a throw-away server harms nobody.
    }
  }

 private:
  std::mutex mu_;
  std::set<std::string> uris_;
};

}  // namespace

std::string TestPostgresServer() {
  const char* server = std::getenv("TARVIK_TEST_POSTGRES");
  return server ? server : "";
}

std::string PostgresDatabaseName(const std::string& uri) {
  const std::size_t scheme = uri.find("://");
  std::size_t slash = uri.find('/', scheme + 3);
  std::size_t query = uri.find('?', slash);
  return uri.substr(slash + 1, query == std::string::npos ? std::string::npos : query - slash - 1);
}

std::string NewPostgresDatabase() {
  static std::atomic<int> counter{0};
  const std::string name = "tarvik_test_" + ProcessTag() + "_" + std::to_string(++counter);
  auto admin = data::OpenBackend(TestPostgresServer());
  admin->ExecuteScript("CREATE DATABASE \"" + name + "\" TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
  const std::string uri = WithDatabase(TestPostgresServer(), name);
  Leftovers::Get().Add(uri);
  // Checks join rows with group_concat; PostgreSQL gets the same aggregate
  // (',' or a given separator, Nulls skipped) so one check reads on both.
  data::OpenBackend(uri)->ExecuteScript(
      "CREATE FUNCTION tarvik_test_concat(acc text, v anyelement, sep text) RETURNS text AS $$"
      " SELECT CASE WHEN v IS NULL THEN acc WHEN acc IS NULL THEN v::text ELSE acc || sep || v::text END"
      " $$ LANGUAGE sql IMMUTABLE;"
      " CREATE FUNCTION tarvik_test_concat(acc text, v anyelement) RETURNS text AS $$"
      " SELECT tarvik_test_concat(acc, v, ',') $$ LANGUAGE sql IMMUTABLE;"
      " CREATE AGGREGATE group_concat(anyelement, text) (SFUNC = tarvik_test_concat, STYPE = text);"
      " CREATE AGGREGATE group_concat(anyelement) (SFUNC = tarvik_test_concat, STYPE = text);");
  return uri;
}

std::string CopyPostgresDatabase(const std::string& uri) {
  static std::atomic<int> counter{0};
  const std::string name = "tarvik_copy_" + ProcessTag() + "_" + std::to_string(++counter);
  auto admin = data::OpenBackend(TestPostgresServer());
  admin->ExecuteScript("CREATE DATABASE \"" + name + "\" TEMPLATE \"" + PostgresDatabaseName(uri) + "\"");
  const std::string copy = WithDatabase(TestPostgresServer(), name);
  Leftovers::Get().Add(copy);
  return copy;
}

namespace {

// The next copy of one source, made on its own connection while the caller
// works on the last one: the server takes longer over a copy than a fault
// sweep's point takes over its run.
class CopiesAhead {
 public:
  static CopiesAhead& Get() {
    Leftovers::Get();  // outlives this, so it drops the copy made last
    static CopiesAhead ahead;
    return ahead;
  }
  std::string Take(const std::string& uri) {
    std::lock_guard<std::mutex> lock(mu_);
    std::string copy;
    if (next_.valid()) {
      try {
        std::string made = next_.get();
        if (source_ == uri) copy = made; else DropPostgresDatabase(made);
      } catch (const std::exception&) {
        // Made again below; a lasting fault raises there.
      }
    }
    if (copy.empty()) copy = CopyPostgresDatabase(uri);
    source_ = uri;
    next_ = std::async(std::launch::async, [uri] { return CopyPostgresDatabase(uri); });
    return copy;
  }

 private:
  std::mutex mu_;
  std::string source_;
  std::future<std::string> next_;
};

}  // namespace

std::string CopyPostgresDatabaseAhead(const std::string& uri) { return CopiesAhead::Get().Take(uri); }

void DropPostgresDatabase(const std::string& uri) {
  if (Leftovers::Get().Remove(uri)) Leftovers::Drop(uri);
}

TempDatabase::TempDatabase(bool initialize, bool demo) {
  if (!TestPostgresServer().empty()) {
    path_ = NewPostgresDatabase();
    pg_name_ = PostgresDatabaseName(path_);
  } else {
    dir_ = NewTempFolder();
    path_ = dir_ + "/test.db";
  }
  if (initialize) {
    auto backend = data::OpenBackend(path_);
    db::InitializeDatabase(*backend, demo);
  }
}

TempDatabase::~TempDatabase() {
  if (postgres()) {
    DropPostgresDatabase(path_);
    return;
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

ComPtr<data::HostConnection> TempDatabase::Connect() const { return data::OpenConnection(path_); }

namespace {
data::Value First(data::HostConnection& c, const std::string& sql) {
  auto rs = c.OpenQuery(sql);
  return rs->Seek(0) ? rs->Column(0) : data::Value{};
}

std::string Text(const data::Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&v)) {
    std::string t = std::to_string(*d);
    t.erase(t.find_last_not_of('0') + 1);
    if (!t.empty() && t.back() == '.') t.pop_back();
    return t;
  }
  if (auto* d = std::get_if<data::DateValue>(&v)) return regional::FormatIsoDate(d->ole);
  return {};
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
  if (std::holds_alternative<double>(v)) return {};
  return Text(v);
}

std::string JoinedColumn(data::HostConnection& c, const std::string& sql, const std::string& sep) {
  auto rs = c.OpenQuery(sql);
  std::string out;
  for (std::int64_t row = 0; rs->Seek(row); ++row) {
    if (row > 0) out += sep;
    out += Text(rs->Column(0));
  }
  return out;
}

}  // namespace tarvik::testing
