#include "bench/commit_limit.h"

#include <chrono>
#include <filesystem>

#include "bench/pq_pipeline.h"
#include "bench/raw_sqlite.h"

namespace tarvik::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Commits made by `commit` in about `seconds`, per second; a few first
// ones are left out (the file or the connection still warming up).
template <class Commit>
double Rate(double seconds, Commit commit) {
  for (int i = 0; i < 5; ++i) commit();
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  long commits = 0;
  while (Clock::now() < end) {
    commit();
    ++commits;
  }
  return commits / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

double SqliteCommitsPerSecond(const std::string& dir, double seconds) {
  const std::string path = dir + "/commit-limit.db";
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  double rate = 0;
  {
    sqlite3* created = nullptr;
    sqlite3_open(path.c_str(), &created);
    sqlite3_close(created);
    RawDatabase db(path);
    // Durable whatever the run's setting: this is the limit of a durable commit.
    db.Exec("PRAGMA synchronous=FULL");
    db.Exec("CREATE TABLE commits (id INTEGER PRIMARY KEY, value INTEGER NOT NULL)");
    sqlite3_stmt* insert = db.Statement("INSERT INTO commits (value) VALUES (?1)");
    std::int64_t n = 0;
    rate = Rate(seconds, [&] {
      db.Exec("BEGIN IMMEDIATE");
      db.Run(insert, {++n});
      db.Exec("COMMIT");
    });
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  return rate;
}

PostgresCommitRates PostgresCommitsPerSecond(const std::string& server, double seconds) {
  PqPipeline db(server);
  db.Prepare("ddl", "DROP TABLE IF EXISTS tarvik_bench_commits");
  db.Send("ddl", {});
  db.Prepare("create", "CREATE TABLE tarvik_bench_commits (id bigint PRIMARY KEY, value bigint NOT NULL)");
  db.Send("create", {});
  db.Sync();
  db.Prepare("begin", "BEGIN");
  db.Prepare("insert", "INSERT INTO tarvik_bench_commits (id, value) VALUES ($1::bigint, 1)");
  db.Prepare("commit", "COMMIT");
  db.Sync();
  std::int64_t n = 0;
  PostgresCommitRates rates;
  rates.plain = Rate(seconds, [&] {
    db.Send("begin", {});
    db.Sync();
    db.Send("insert", {++n});
    db.Sync();
    db.Send("commit", {});
    db.Sync();
  });
  rates.pipelined = Rate(seconds, [&] {
    db.Send("begin", {});
    db.Send("insert", {++n});
    db.Send("commit", {});
    db.Sync();
  });
  db.Send("ddl", {});
  db.Sync();
  return rates;
}

}  // namespace tarvik::bench
