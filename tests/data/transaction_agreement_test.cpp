// Random runs of transactions, savepoints, failing statements and both ways
// of undoing a failure, on SQLite and on PostgreSQL at once: every call must
// raise on both or on neither, and both must keep the same rows. The two
// engines keep failures in different places (the connection, the server),
// so what one of them lets through the other must too.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/deferred_results.h"
#include "data/stored_query.h"
#include "db/initialize.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

enum class Op { kBegin, kCommit, kRollback, kInsert, kInsertBad, kHalfQuery, kWholeQuery, kRead, kAlone, kWhole, kEnd };
constexpr const char* kOpNames[] = {"begin", "commit", "rollback", "insert", "insert-bad", "half-query",
                                    "whole-query", "read", "alone", "whole", "end"};

constexpr const char* kSetup =
    "CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER CHECK (v >= 0));"
    "INSERT INTO QueryDefs (name, kind, sql) VALUES ('q_Half', 'action', "
    "'INSERT INTO t (k, v) VALUES (?1, 1); INSERT INTO t (k, v) VALUES (?1 + 1, -1)');"
    "INSERT INTO querydefparams (query_name, position, name, type) VALUES ('q_Half', 0, 'K', 'Long');"
    "INSERT INTO QueryDefs (name, kind, sql) VALUES ('q_Whole', 'action', "
    "'INSERT INTO t (k, v) VALUES (?1, 1); INSERT INTO t (k, v) VALUES (?1 + 1, 1)');"
    "INSERT INTO querydefparams (query_name, position, name, type) VALUES ('q_Whole', 0, 'K', 'Long');";

class Engine {
 public:
  explicit Engine(std::string path) : path_(std::move(path)) {
    auto backend = data::OpenBackend(path_);
    db::InitializeDatabase(*backend, false);
    backend->ExecuteScript(kSetup);
  }

  // Runs one step and answers whether it raised; every answer is waited
  // for, so an error belongs to the step that caused it.
  bool Raises(Op op, std::int64_t key) {
    try {
      Run(op, key);
      if (scope_) scope_->Settle();
      return false;
    } catch (const AutomationError&) {
      return true;
    }
  }

  // Ends whatever is open and reads what was kept.
  std::string Kept() {
    scope_.reset();
    while (c_->TransactionDepth() > 0) c_->Rollback();
    return JoinedColumn(*c_, "SELECT k FROM t ORDER BY k");
  }

  void Reset() {
    scope_.reset();
    c_ = data::OpenConnection(path_);
    c_->Execute("DELETE FROM t");
  }

 private:
  void Run(Op op, std::int64_t key) {
    const std::string k = std::to_string(key);
    switch (op) {
      case Op::kBegin: return c_->BeginTrans();
      case Op::kCommit: return c_->CommitTrans();
      case Op::kRollback: return c_->Rollback();
      case Op::kInsert: c_->Execute("INSERT INTO t (k, v) VALUES (" + k + ", 1)"); return;
      case Op::kInsertBad: c_->Execute("INSERT INTO t (k, v) VALUES (" + k + ", -1)"); return;
      case Op::kHalfQuery: data::RunStoredQuery(*c_, "q_Half", {Variant::Long(static_cast<std::int32_t>(key))}); return;
      case Op::kWholeQuery: data::RunStoredQuery(*c_, "q_Whole", {Variant::Long(static_cast<std::int32_t>(key))}); return;
      case Op::kRead: JoinedColumn(*c_, "SELECT k FROM t ORDER BY k"); return;
      case Op::kAlone:
      case Op::kWhole:
        scope_.reset();
        scope_.emplace(*c_, op == Op::kAlone ? data::DeferredResults::Undo::kAlone : data::DeferredResults::Undo::kWhole);
        return;
      case Op::kEnd: scope_.reset(); return;
    }
  }

  std::string path_;
  ComPtr<data::HostConnection> c_;
  std::optional<data::DeferredResults> scope_;
};

TEST(TransactionAgreementTest, SqliteAndPostgresRaiseAndKeepAlike) {
  if (TestPostgresServer().empty()) GTEST_SKIP() << "needs both engines";
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("tarvik-agreement-" + std::to_string(std::random_device{}()))).string();
  std::filesystem::create_directories(dir);
  struct RemoveDir {
    std::string dir;
    ~RemoveDir() {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  } remove{dir};
  TempDatabase pg(false);
  Engine engines[] = {Engine(dir + "/agreement.db"), Engine(pg.path())};

  std::mt19937 random(20261209);
  // Transactions and statements come more often than scope changes.
  std::discrete_distribution<int> pick({4, 3, 3, 4, 2, 2, 2, 1, 1, 2, 1});
  for (int run = 0; run < 150; ++run) {
    std::vector<Op> ops(25);
    for (Op& op : ops) op = static_cast<Op>(pick(random));
    std::string traces[2];
    for (int e = 0; e < 2; ++e) {
      engines[e].Reset();
      std::int64_t key = 0;
      for (Op op : ops) {
        key += 10;
        traces[e] += std::string(kOpNames[static_cast<int>(op)]) + (engines[e].Raises(op, key) ? "! " : " ");
      }
      traces[e] += "| kept " + engines[e].Kept();
    }
    ASSERT_EQ(traces[0], traces[1]) << "run " << run << ": SQLite first, PostgreSQL second";
  }
}

}  // namespace
}  // namespace tarvik::testing
