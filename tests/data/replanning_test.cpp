// A long session on PostgreSQL keeps finding rows by key as its tables grow:
// the plans the server keeps for the session (a foreign key's check above
// all) must not stay those made while a table's statistics said it was
// empty, which scan the whole table for every row written.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "data/backend.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

TEST(Replanning, ForeignKeyChecksFindTheirRowByKeyAsTheTablesGrow) {
  TempDatabase db(false);
  if (!db.postgres()) GTEST_SKIP() << "SQLite plans every statement for the table as it is";
  auto backend = data::OpenBackend(db.path());
  // Statistics of empty tables, as an ANALYZE or autovacuum leaves them on
  // books just set up.
  backend->ExecuteScript(
      "CREATE TABLE parent (id BIGINT PRIMARY KEY);"
      "CREATE TABLE child (parent BIGINT NOT NULL REFERENCES parent (id), n INTEGER NOT NULL);"
      "ANALYZE parent; ANALYZE child");
  // Scans of parent in the transaction under way, the key checks' included.
  auto sequential_scans = [&] {
    auto rows = backend->Query("SELECT seq_scan FROM pg_stat_xact_user_tables WHERE relname = 'parent'", {});
    rows->Seek(0);
    return std::get<std::int64_t>(rows->Column(0));
  };
  constexpr int kParents = 6000;
  constexpr int kMeasured = 1000;  // the last ones
  backend->Begin();
  std::int64_t before = 0;
  for (int i = 1; i <= kParents; ++i) {
    if (i == kParents - kMeasured + 1) before = sequential_scans();
    backend->Execute("INSERT INTO parent (id) VALUES ($1)", {std::int64_t{i}});
    backend->Execute("INSERT INTO child (parent, n) VALUES ($1, 1)", {std::int64_t{i}});
  }
  const std::int64_t late = sequential_scans() - before;
  backend->Rollback();
  // Before, every child of the run checked its parent by reading them all.
  EXPECT_EQ(late, 0) << "the last " << kMeasured << " children's key checks scanned parent " << late << " times";
  EXPECT_GT(before, 0) << "the empty tables' plans were never made: the run no longer shows what it guards";
}

}  // namespace
}  // namespace tarvik::testing
