// A checking read that would run without end (a recursive query without a
// stop, counted so that no row ever comes) is stopped at its time limit on
// both backends, with the message the script driver passes on; every other
// PostgreSQL statement has the session's limit.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "data/host_connection.h"
#include "data/read_only_query.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarText;
using testing::TempDatabase;

TEST(ReadTimeLimit, AReadPastItsTimeIsStoppedAndTheConnectionGoesOn) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  ReadLimits limits;
  limits.seconds = 1;
  std::string said;
  const auto began = std::chrono::steady_clock::now();
  try {
    c->ReadOnlyRows("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n) SELECT count(*) FROM n",
                    limits);
  } catch (const AutomationError& e) {
    said = e.description();
  }
  EXPECT_EQ(said, "The query ran longer than 1 second and was stopped.");
  // Stopped by its own limit, not by the session's two minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(60));
  const RowsRead read = c->ReadOnlyRows("SELECT 2 AS k", limits);
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows.front().front(), Value{std::int64_t{2}});
}

TEST(ReadTimeLimit, PostgresSessionsLimitEveryStatement) {
  TempDatabase db(true, false);
  if (!db.postgres()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
  auto c = db.Connect();
  EXPECT_EQ(ScalarText(*c, "SELECT current_setting('statement_timeout')"), "2min");
}

}  // namespace
}  // namespace tarvik::data
