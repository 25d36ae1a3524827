#include "tests/reliability/server_interruptions.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "data/backend.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

std::int64_t Count(const std::string& sql, const std::string& uri) {
  auto admin = data::OpenBackend(TestPostgresServer());
  auto rs = admin->Query(sql, {data::Value{PostgresDatabaseName(uri)}});
  return rs->Seek(0) ? std::get<std::int64_t>(rs->Column(0)) : 0;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char ch : text) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return out + "'";
}

// The newest installed server's programs, or PG_BIN.
std::string PgCtl() {
  if (const char* bin = std::getenv("PG_BIN"); bin && *bin) return std::string(bin) + "/pg_ctl";
  std::string best;
  int best_version = -1;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
    const std::string name = entry.path().filename().string();
    const auto candidate = entry.path() / "bin" / "pg_ctl";
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (std::stoi(name) > best_version && std::filesystem::exists(candidate)) {
      best_version = std::stoi(name);
      best = candidate.string();
    }
  }
  if (best.empty()) throw std::runtime_error("no pg_ctl found (set PG_BIN)");
  return best;
}

void RunPgCtl(const std::string& folder, const std::string& args) {
  // A cluster made by root through scripts/postgres-start runs as postgres.
  const std::string as = ::geteuid() == 0 ? "runuser -u postgres -- " : "";
  const std::string log = (std::filesystem::path(folder).parent_path() / "server.log").string();
  const std::string command =
      as + Quoted(PgCtl()) + " -D " + Quoted(folder) + " -l " + Quoted(log) + " -w -t 60 " + args + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

bool CutConnections(const std::string& uri) {
  return Count("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
               "WHERE datname = $1 AND pid <> pg_backend_pid()", uri) > 0;
}

void AwaitNoSessions(const std::string& uri) {
  for (int i = 0; i < 200; ++i) {
    if (Count("SELECT count(*) FROM pg_stat_activity WHERE datname = $1", uri) == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string TestClusterFolder() {
  const char* folder = std::getenv("TARVIK_TEST_PG_DATA");
  return folder ? folder : "";
}

void StopClusterImmediately(const std::string& folder) { RunPgCtl(folder, "-m immediate stop"); }

// restart reads the options the server last ran with from postmaster.opts;
// with no server running it starts one.
void StartCluster(const std::string& folder) { RunPgCtl(folder, "restart"); }

}  // namespace tarvik::testing
