// Short crash runs inside the test suite (the long ones are
// tarvik_crash_harness), the power-cut VFS on its own, and the workflows
// the crashes interrupt, each run to its end.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/support/books_invariants.h"
#include "tests/reliability/crash_harness.h"
#include "tests/reliability/crash_workflows.h"
#include "tests/reliability/power_loss_vfs.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

TEST(CrashConsistency, KilledJobsLeaveAWholeDatabase) {
  CrashRun run;
  run.kills = TestPostgresServer().empty() ? 20 : 10;
  run.seed = 7;
  run.copies = 5;
  std::ostringstream report;
  const CrashResult result = RunCrashHarness(run, report);
  std::cout << report.str();
  EXPECT_EQ(result.kills, run.kills) << report.str();
  EXPECT_EQ(result.consistent, result.kills) << report.str();
  EXPECT_GT(result.progressed, 0) << "no kill landed after committed work\n" << report.str();
}

TEST(CrashConsistency, PowerCutsLeaveAWholeDatabase) {
  if (!TestPostgresServer().empty()) GTEST_SKIP() << "a power cut is simulated for SQLite files";
  CrashRun run;
  run.kills = 12;
  run.seed = 11;
  run.copies = 5;
  std::ostringstream report;
  const CrashResult result = RunPowerLossHarness(run, report);
  std::cout << report.str();
  EXPECT_EQ(result.kills, run.kills) << report.str();
  EXPECT_EQ(result.consistent, result.kills) << report.str();
}

// Each workflow, run alone to its end on books where it has work, keeps
// every rule of whole books: the rules do not flag a finished posting.
TEST(CrashWorkflows, EachFinishedWorkflowLeavesWholeBooks) {
  TempDatabase books;
  {
    auto c = books.Connect();
    PrepareCrashBooks(*c, 1);
  }
  WorkflowEnv env(books.path(), /*copy=*/false);
  WorkContext cx{std::mt19937(3), nullptr, "t", 0};
  // A delete after each creation gives the next one packed lines again.
  for (const char* name : {"create-by-custorder", "backorder", "delete", "create-by-shipto", "print",
                           "delete", "create-by-customer", "backorder", "delete", "create-by-order",
                           "print", "delete"}) {
    SCOPED_TRACE(name);
    const CrashWorkflow* w = nullptr;
    for (const CrashWorkflow& candidate : CrashWorkflows()) {
      if (std::string(candidate.name) == name) w = &candidate;
    }
    ASSERT_NE(w, nullptr);
    ASSERT_GT(ScalarNumber(env.real(), w->ready), 0) << "nothing to do";
    const double ledger = ScalarNumber(env.real(), "SELECT count(*) FROM Inventory_Ledger") +
                          ScalarNumber(env.real(), "SELECT count(*) FROM Order_Header") +
                          ScalarNumber(env.real(), "SELECT count(*) FROM RPT_Invoice_Det");
    w->run(env, cx);
    const std::vector<std::string> broken = BrokenBooks(env.real());
    EXPECT_TRUE(broken.empty()) << broken.front();
    const double after = ScalarNumber(env.real(), "SELECT count(*) FROM Inventory_Ledger") +
                         ScalarNumber(env.real(), "SELECT count(*) FROM Order_Header") +
                         ScalarNumber(env.real(), "SELECT count(*) FROM RPT_Invoice_Det");
    EXPECT_NE(after, ledger) << "the workflow changed nothing";
  }
}

// A child writes through the VFS and is cut; the parent reads the file.
// keep 0: nothing since the last sync survives; keep 1: every write does.
struct VfsCase {
  const char* name;
  const char* synchronous;
  double keep;
  int rows_expected;  // committed rows found after the cut
};

class PowerLossVfs : public ::testing::TestWithParam<VfsCase> {};

TEST_P(PowerLossVfs, UnsyncedWritesAreLostAsConfigured) {
  if (!TestPostgresServer().empty()) GTEST_SKIP() << "SQLite files only";
  const VfsCase& c = GetParam();
  TempDatabase books(/*initialize=*/false);
  {
    auto setup = books.Connect();
    setup->Execute("CREATE TABLE T (n INTEGER)");
  }
  const pid_t child = fork();
  if (child == 0) {
    InstallPowerLossVfs({1000000, 1, c.keep, kPowerCutStatus});
    try {
      auto conn = data::OpenConnection(books.path());
      conn->Execute(std::string("PRAGMA synchronous=") + c.synchronous);
      for (int i = 0; i < 10; ++i) conn->Execute("INSERT INTO T VALUES (" + std::to_string(i) + ")");
      CutPower();
    } catch (...) {
    }
    _exit(2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  auto conn = books.Connect();
  EXPECT_EQ(ScalarText(*conn, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(ScalarNumber(*conn, "SELECT count(*) FROM T"), c.rows_expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PowerLossVfs,
    ::testing::Values(VfsCase{"FullSyncKeepsEveryCommit", "FULL", 0.0, 10},
                      VfsCase{"NormalSyncLosesUnsyncedCommits", "NORMAL", 0.0, 0},
                      VfsCase{"WritesThatReachTheDiskStay", "NORMAL", 1.0, 10}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
