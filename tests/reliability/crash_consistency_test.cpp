// A short crash run inside the test suite; the long one is tarvik_crash_harness.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "tests/reliability/crash_harness.h"
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
}

}  // namespace
}  // namespace tarvik::testing
