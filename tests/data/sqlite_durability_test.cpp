// The synchronous setting SQLite connections open with: FULL unless the
// benchmarks' variable names another; a value it does not know is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "data/host_connection.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

constexpr const char* kVariable = "TARVIK_SQLITE_SYNCHRONOUS";

class SqliteDurability : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "the server's settings decide there";
    if (const char* v = std::getenv(kVariable)) saved_ = v;
  }
  void TearDown() override {
    if (saved_) {
      setenv(kVariable, saved_->c_str(), 1);
    } else {
      unsetenv(kVariable);
    }
  }
  std::optional<std::string> saved_;
};

TEST_F(SqliteDurability, FullByDefaultOtherwiseWhatTheVariableNames) {
  TempDatabase db(true, false);
  const struct {
    const char* value;  // nullptr: unset
    double synchronous;  // PRAGMA synchronous: 1 NORMAL, 2 FULL, 3 EXTRA
  } cases[] = {{nullptr, 2}, {"", 2}, {"FULL", 2}, {"normal", 1}, {"Extra", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    if (c.value) {
      setenv(kVariable, c.value, 1);
    } else {
      unsetenv(kVariable);
    }
    auto connection = OpenConnection(db.path());
    EXPECT_EQ(ScalarNumber(*connection, "PRAGMA synchronous"), c.synchronous);
    EXPECT_EQ(ScalarText(*connection, "PRAGMA journal_mode"), "wal");
  }
}

TEST_F(SqliteDurability, AnUnknownValueIsRefusedByName) {
  TempDatabase db(true, false);
  for (const char* value : {"OFF", "full; DROP TABLE Invoice_Header", "2"}) {
    setenv(kVariable, value, 1);
    try {
      OpenConnection(db.path());
      ADD_FAILURE() << value << " was taken";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kErrDatabase);
      EXPECT_NE(e.description().find(kVariable), std::string::npos) << e.description();
    }
  }
  unsetenv(kVariable);
  EXPECT_EQ(ScalarNumber(*OpenConnection(db.path()), "SELECT count(*) FROM Invoice_Header"), 0);
}

}  // namespace
}  // namespace tarvik::data
