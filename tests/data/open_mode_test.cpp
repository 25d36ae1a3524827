// Opening for reading: writes are refused by the database itself, and on
// SQLite nothing is created or converted; opening for writing refuses a
// file SQLite could only open read-only.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/host_connection.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::ScalarText;
using testing::TempDatabase;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Bytes 18 and 19 of a SQLite header: 1 for a rollback journal, 2 for WAL.
int JournalFormat(const std::string& path) { return static_cast<unsigned char>(Bytes(path).at(18)); }

struct Folder {
  Folder() {
    std::string t = (fs::temp_directory_path() / "tarvik-open-XXXXXX").string();
    if (!mkdtemp(t.data())) throw std::runtime_error("mkdtemp failed");
    path = t;
  }
  ~Folder() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

TEST(OpenModeTest, AReadingConnectionReadsButTheDatabaseRefusesEveryWrite) {
  TempDatabase db;
  auto reader = data::OpenConnection(db.path(), data::OpenMode::kReadOnly);
  EXPECT_EQ(ScalarText(*reader, "SELECT option_value FROM System WHERE option_name = 'Auto Backorder'"),
            "1");
  EXPECT_THROW(reader->ExecuteWith("UPDATE System SET option_value = '0' WHERE option_name = "
                                   "'Auto Backorder'",
                                   {}),
               AutomationError);
  EXPECT_THROW(reader->Execute("DELETE FROM Customer"), AutomationError);
  EXPECT_EQ(ScalarText(*db.Connect(), "SELECT option_value FROM System WHERE option_name = "
                                      "'Auto Backorder'"),
            "1");
}

TEST(OpenModeTest, ReadingNeverCreatesAFile) {
  Folder folder;
  const std::string missing = folder.file("missing.db");
  EXPECT_THROW(data::OpenBackend(missing, data::OpenMode::kReadOnly)->Query("SELECT 1", {}),
               AutomationError);
  EXPECT_FALSE(fs::exists(missing));
}

TEST(OpenModeTest, ReadingLeavesAnEmptyFileAndAJournalModeAsTheyAre) {
  Folder folder;
  const std::string empty = folder.file("empty.db");
  std::ofstream(empty).close();
  {
    auto backend = data::OpenBackend(empty, data::OpenMode::kReadOnly);
    EXPECT_FALSE(backend->Query("SELECT name FROM sqlite_master", {})->Seek(0));
  }
  EXPECT_EQ(fs::file_size(empty), 0u);

  const std::string rollback = folder.file("rollback.db");
  {
    auto writer = data::OpenBackend(rollback);
    writer->ExecuteScript("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1); PRAGMA journal_mode=DELETE;");
  }
  ASSERT_EQ(JournalFormat(rollback), 1);
  const std::string before = Bytes(rollback);
  {
    auto backend = data::OpenBackend(rollback, data::OpenMode::kReadOnly);
    EXPECT_TRUE(backend->Query("SELECT x FROM t", {})->Seek(0));
  }
  EXPECT_EQ(Bytes(rollback), before);
  EXPECT_EQ(JournalFormat(rollback), 1);
  // The writing open still puts it in WAL mode.
  data::OpenBackend(rollback);
  EXPECT_EQ(JournalFormat(rollback), 2);
}

TEST(OpenModeTest, AWalFileInAFolderNobodyMayWriteIsReadWhenItsWalHoldsNothing) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write every folder";
  Folder folder;
  const std::string path = folder.file("books.db");
  {
    auto writer = data::OpenBackend(path);
    writer->ExecuteScript("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (7);");
  }
  ASSERT_EQ(JournalFormat(path), 2);
  ASSERT_FALSE(fs::exists(path + "-shm"));
  fs::permissions(folder.path, fs::perms::owner_read | fs::perms::owner_exec);
  auto backend = data::OpenBackend(path, data::OpenMode::kReadOnly);
  auto rs = backend->Query("SELECT x FROM t", {});
  ASSERT_TRUE(rs->Seek(0));
  EXPECT_EQ(std::get<std::int64_t>(rs->Column(0)), 7);
}

TEST(OpenModeTest, WritingRefusesAFileThisUserMayOnlyRead) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write every file";
  Folder folder;
  const std::string path = folder.file("books.db");
  data::OpenBackend(path)->ExecuteScript("CREATE TABLE t (x INTEGER)");
  fs::permissions(path, fs::perms::owner_read);
  try {
    data::OpenBackend(path);
    FAIL() << "opened for writing";
  } catch (const AutomationError& e) {
    EXPECT_NE(e.description().find("read-only for this user"), std::string::npos) << e.description();
  }
  EXPECT_NO_THROW(data::OpenBackend(path, data::OpenMode::kReadOnly)->Query("SELECT x FROM t", {}));
}

}  // namespace
}  // namespace tarvik
