// The write-ahead log of a writing connection is copied back into the
// books on a thread of its own: under a steady stream of commits the log
// stays bounded and the file takes the pages while the connection is still
// open; closing in the middle of a copy, or while another connection holds
// an old snapshot, loses no commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "data/backend.h"
#include "data/host_connection.h"
#include "tests/support/temp_database.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

constexpr std::uintmax_t kPage = 4096;         // SQLite's page, which the books keep
constexpr std::uintmax_t kFrame = kPage + 24;  // a page in the log, with its header
// Pages in the log at which the committing connection copies it back
// itself, whatever the thread has done.
constexpr std::uintmax_t kLastResort = 8000;
// A row of some three pages: each insert is a commit of about four.
constexpr const char* kInsert = "INSERT INTO t (v) VALUES (randomblob(10000))";

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

class LogCheckpoint : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "the server checkpoints its own log";
    db_.emplace(false);
    OpenBackend(db_->path())->ExecuteScript("CREATE TABLE t (k INTEGER PRIMARY KEY, v BLOB NOT NULL)");
  }
  // Every row there and the file whole, read by a fresh connection.
  void ExpectRows(int rows) {
    auto connection = OpenConnection(db_->path());
    EXPECT_EQ(ScalarNumber(*connection, "SELECT count(*) FROM t WHERE length(v) = 10000"), rows);
    EXPECT_EQ(ScalarText(*connection, "PRAGMA integrity_check"), "ok");
  }
  std::optional<TempDatabase> db_;
};

TEST_F(LogCheckpoint, TheLogStaysBoundedWhileCommitsGoOn) {
  const std::string path = db_->path();
  constexpr int kRows = 3000;  // some 12,000 log pages in all
  auto backend = OpenBackend(path);
  const std::uintmax_t file_before = SizeOf(path);
  std::uintmax_t largest_log = 0;
  for (int i = 0; i < kRows; ++i) {
    backend->Execute(kInsert, {});
    largest_log = std::max(largest_log, SizeOf(path + "-wal"));
  }
  EXPECT_GT(largest_log, 0u);
  EXPECT_LT(largest_log, (kLastResort + 8) * kFrame + 32) << "the log was never copied back";
  EXPECT_GT(SizeOf(path), file_before + 1000 * kPage) << "the file took no pages while the connection was open";
  backend.reset();
  ExpectRows(kRows);
}

TEST_F(LogCheckpoint, ClosingWhileTheLogIsCopiedLosesNothing) {
  // Each round crosses the size at which the thread is asked, then closes
  // at once, while it may be copying.
  constexpr int kRounds = 4, kRowsPerRound = 300;
  for (int round = 0; round < kRounds; ++round) {
    auto backend = OpenBackend(db_->path());
    for (int i = 0; i < kRowsPerRound; ++i) backend->Execute(kInsert, {});
  }
  ExpectRows(kRounds * kRowsPerRound);
}

TEST_F(LogCheckpoint, AReaderOnAnOldSnapshotHoldsTheCopyBackNotTheCommits) {
  const std::string path = db_->path();
  auto writer = OpenBackend(path);
  writer->Execute(kInsert, {});
  // A transaction that has read keeps its snapshot: no copy may pass it.
  auto reader = OpenBackend(path, OpenMode::kReadOnly);
  reader->ExecuteScript("BEGIN; SELECT count(*) FROM t;");
  constexpr int kRows = 600;
  for (int i = 0; i < kRows; ++i) writer->Execute(kInsert, {});
  reader->ExecuteScript("ROLLBACK");
  reader.reset();
  // Once it has gone, the log can be copied back and begun anew.
  for (int i = 0; i < kRows; ++i) writer->Execute(kInsert, {});
  writer.reset();
  ExpectRows(2 * kRows + 1);
}

}  // namespace
}  // namespace tarvik::data
