// What the real program does with a database it may only read, and with
// files that are not its databases: reading commands work and change
// nothing, writing commands say why they cannot, and nothing is created or
// converted. A database this user may not write is made by taking away the
// write permissions; as root the program then runs as `nobody`.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadFile(entry.path().string());
  }
  return files;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  return names;
}

// The user the program runs as when it may only read: `nobody` under root,
// else the test's own user, whom the permissions already bind.
std::vector<std::string> ReaderLauncher() {
  if (geteuid() != 0) return {};
  return {"runuser", "-u", "nobody", "--"};
}

constexpr fs::perms kReadOnlyFile = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kReadOnlyFolder = kReadOnlyFile | fs::perms::owner_exec | fs::perms::group_exec |
                                      fs::perms::others_exec;
constexpr fs::perms kOpenFolder = fs::perms::all;

class BooksTest : public ::testing::Test, public TarvikTest {
 protected:
  void SetUp() override {
    if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "file permissions: SQLite only";
    if (geteuid() == 0 && system("runuser -u nobody -- true") != 0) {
      GTEST_SKIP() << "running as root without runuser";
    }
    // The books in a folder of their own, so the registry beside them stays apart.
    folder_ = dir().path() / "books";
    fs::create_directory(folder_);
    db_ = (folder_ / "books.db").string();
    ASSERT_EQ(RunCli({"init", "--demo", db_}).exit_code, 0);
    RunResult made = RunCli({"--db", db_, "create", "--by", "order", "--from", "1001", "--to", "1004"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    // `nobody` must reach the folder and read the registry the runs above
    // wrote; the books are the owner's alone until shared on purpose.
    for (const auto& file : fs::directory_iterator(folder_)) {
      fs::permissions(file.path(), kReadOnlyFile, fs::perm_options::add);
    }
    fs::permissions(dir().path(), kReadOnlyFolder);
    fs::permissions(registry(), kReadOnlyFile, fs::perm_options::add);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir().path(), kOpenFolder, ec);
    fs::permissions(folder_, kOpenFolder, ec);
  }

  RunResult RunAsReader(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"--db", db_};
    all.insert(all.end(), args.begin(), args.end());
    return RunTarvik(all, "", registry(), dir().path().string(), std::chrono::seconds(60),
                     ReaderLauncher());
  }
  void SetJournalMode(const char* mode) {
    data::OpenBackend(db_)->ExecuteScript(std::string("PRAGMA journal_mode=") + mode);
  }

  fs::path folder_;
  std::string db_;
};

const std::vector<std::vector<std::string>> kReadingCommands = {
    {"list"}, {"list", "--export", "--json"}, {"show", "3"}, {"show", "3", "--json"},
    {"info"}, {"info", "--json"},           {"next-number"}, {"check"},
    {"check", "--json"},
};

struct ReadOnlyCase {
  const char* name;
  const char* journal_mode;
  bool folder_writable;
};

class ReadOnlyBooksTest : public BooksTest, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyBooksTest, ReadingCommandsWorkAndLeaveTheFileAsItWas) {
  SetJournalMode(GetParam().journal_mode);
  fs::permissions(db_, kReadOnlyFile);
  fs::permissions(folder_, GetParam().folder_writable ? kOpenFolder : kReadOnlyFolder);
  const std::string before = ReadFile(db_);
  const auto files_before = Snapshot(folder_);
  for (const auto& command : kReadingCommands) {
    SCOPED_TRACE(command.front() + (command.size() > 1 ? " " + command[1] : ""));
    RunResult r = RunAsReader(command);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(r.out.empty());
    EXPECT_EQ(ReadFile(db_), before);
  }
  RunResult shown = RunAsReader({"show", "3", "--json"});
  EXPECT_EQ(json::parse(shown.out)["invoice"]["invoice_no"], 3) << shown.out;
  EXPECT_EQ(RunAsReader({"next-number"}).out, "5\n");
  // A WAL reader keeps its -shm and -wal beside the file where it may make them.
  if (!GetParam().folder_writable) {
    EXPECT_EQ(Names(Snapshot(folder_)), Names(files_before));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Journals, ReadOnlyBooksTest,
    ::testing::Values(ReadOnlyCase{"WalInAReadOnlyFolder", "WAL", false},
                      ReadOnlyCase{"WalInAWritableFolder", "WAL", true},
                      ReadOnlyCase{"RollbackJournalInAReadOnlyFolder", "DELETE", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BooksTest, CommandsThatWriteSayWhyTheyCannotAndChangeNothing) {
  fs::permissions(db_, kReadOnlyFile);
  fs::permissions(folder_, kReadOnlyFolder);
  const auto files_before = Snapshot(folder_);
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"print", "3", "--out", "/dev/null"}, "printing needs write access to "},
      {{"print", "3", "--generate-only"}, "printing needs write access to "},
      {{"edit", "3", "--paid", "10"}, "cannot write "},
      {{"delete", "3", "--yes"}, "cannot write "},
      {{"backorder", "3"}, "cannot write "},
      {{"create", "--by", "customer", "--customer", "C100"}, "cannot write "},
      {{"check", "--repair"}, "cannot write "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    RunResult r = RunAsReader(c.args);
    EXPECT_EQ(r.exit_code, 3) << "database unavailable for writing: " << r.out;
    EXPECT_TRUE(Contains(r.err, c.says)) << r.err;
    EXPECT_TRUE(Contains(r.err, "read-only for this user")) << r.err;
    EXPECT_EQ(Snapshot(folder_), files_before);
  }
}

TEST_F(BooksTest, AWalFileWhoseChangesCannotBeReadIsRefusedNotMisread) {
  // A writer still holds a change in the -wal; copying the file and its -wal
  // without the -shm leaves what a crashed writer leaves.
  auto writer = data::OpenConnection(db_);
  writer->Execute("UPDATE Invoice_Header SET paid = 99 WHERE invoice_no = 3");
  const fs::path copy = dir().path() / "copy";
  fs::permissions(dir().path(), kOpenFolder);
  fs::create_directory(copy);
  fs::copy_file(db_, copy / "books.db");
  fs::copy_file(db_ + "-wal", copy / "books.db-wal");
  ASSERT_GT(fs::file_size(copy / "books.db-wal"), 0u);
  // The books are made for their owner alone; shared for reading on purpose.
  fs::permissions(copy / "books.db", kReadOnlyFile);
  fs::permissions(copy / "books.db-wal", kReadOnlyFile);
  fs::permissions(dir().path(), kReadOnlyFolder);
  fs::permissions(copy, kReadOnlyFolder);
  const auto files_before = Snapshot(copy);
  db_ = (copy / "books.db").string();
  RunResult r = RunAsReader({"list"});
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_TRUE(Contains(r.err, "books.db-wal")) << r.err;
  EXPECT_EQ(Snapshot(copy), files_before);
  fs::permissions(copy, kOpenFolder);
}

// Files that are not the program's databases, by every command.
class NotOurFilesTest : public ::testing::Test, public TarvikTest {};

TEST_F(NotOurFilesTest, AreRefusedByEveryCommandAndLeftByteForByte) {
  if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "files: SQLite only";
  {
    auto other = data::OpenBackend(dir().file("other.db"));
    other->ExecuteScript("CREATE TABLE Invoice_Header (x INTEGER); PRAGMA journal_mode=DELETE;");
  }
  std::ofstream(dir().file("empty.db")).close();
  std::ofstream(dir().file("notes.db")) << "not a database\n";
  const std::vector<std::vector<std::string>> commands = {
      {"list"},  {"show", "1"}, {"info"}, {"next-number"}, {"check"}, {"check", "--repair"},
      {"edit", "1", "--paid", "1"}, {"delete", "1", "--yes"}, {"print", "1", "--generate-only"},
      {"backorder", "1"}, {"create", "--by", "customer", "--customer", "C100"},
  };
  for (const char* name : {"empty.db", "notes.db", "other.db"}) {
    const auto before = Snapshot(dir().path());
    for (const auto& command : commands) {
      SCOPED_TRACE(std::string(name) + " " + command.front());
      std::vector<std::string> args = {"--db", name};
      args.insert(args.end(), command.begin(), command.end());
      RunResult r = RunCli(args);
      EXPECT_EQ(r.exit_code, 3) << r.out;
      EXPECT_TRUE(Contains(r.err, std::string("tarvik: ") + name + " is not a database of this program"))
          << r.err;
      EXPECT_EQ(Snapshot(dir().path()), before);
    }
  }
}

TEST_F(NotOurFilesTest, AMissingFileIsNeverCreated) {
  for (const auto& command : std::vector<std::vector<std::string>>{
           {"list"}, {"info"}, {"check"}, {"edit", "1", "--paid", "1"}, {"check", "--repair"}}) {
    SCOPED_TRACE(command.front());
    std::vector<std::string> args = {"--db", "missing.db"};
    args.insert(args.end(), command.begin(), command.end());
    RunResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_TRUE(Contains(r.err, "no database at missing.db")) << r.err;
    EXPECT_FALSE(fs::exists(dir().file("missing.db")));
  }
}

}  // namespace
}  // namespace tarvik::host_test
