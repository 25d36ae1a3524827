// SQLite under FULL, commits sent ahead in a chain: each commit's log pages
// are flushed before its Wait returns, a flush begun after two commits
// serves both, and whatever the connection does after the chain is flushed
// as FULL would. A file layer between SQLite and the disk counts the
// write-ahead log's writes and flushes, and can make a flush fail.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/transaction.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

struct LogCounts {
  long writes = 0;         // writes to a -wal file so far
  long flushed = 0;        // of them, those a successful flush has covered
  long flushes = 0;        // successful flushes of a -wal file
  bool fail_flush = false;
};
LogCounts counts;

struct File {
  sqlite3_file base;
  bool log;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};
File* F(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
sqlite3_vfs* real_vfs = nullptr;

int Write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  if (F(f)->log) ++counts.writes;
  return F(f)->real()->pMethods->xWrite(F(f)->real(), data, amount, offset);
}
int Sync(sqlite3_file* f, int flags) {
  if (!F(f)->log) return F(f)->real()->pMethods->xSync(F(f)->real(), flags);
  if (counts.fail_flush) return SQLITE_IOERR_FSYNC;
  const long covers = counts.writes;
  const int rc = F(f)->real()->pMethods->xSync(F(f)->real(), flags);
  if (rc == SQLITE_OK) {
    counts.flushed = covers;
    ++counts.flushes;
  }
  return rc;
}

// Everything but the log's writes and flushes passes straight to the real file.
const sqlite3_io_methods* Methods() {
  static const sqlite3_io_methods methods = [] {
    sqlite3_io_methods m{};
    m.iVersion = 2;  // no memory-mapped reads: every page goes through xRead
    m.xClose = [](sqlite3_file* g) { return F(g)->real()->pMethods->xClose(F(g)->real()); };
    m.xRead = [](sqlite3_file* g, void* b, int n, sqlite3_int64 o) {
      return F(g)->real()->pMethods->xRead(F(g)->real(), b, n, o);
    };
    m.xWrite = Write;
    m.xTruncate = [](sqlite3_file* g, sqlite3_int64 s) { return F(g)->real()->pMethods->xTruncate(F(g)->real(), s); };
    m.xSync = Sync;
    m.xFileSize = [](sqlite3_file* g, sqlite3_int64* s) {
      return F(g)->real()->pMethods->xFileSize(F(g)->real(), s);
    };
    m.xLock = [](sqlite3_file* g, int l) { return F(g)->real()->pMethods->xLock(F(g)->real(), l); };
    m.xUnlock = [](sqlite3_file* g, int l) { return F(g)->real()->pMethods->xUnlock(F(g)->real(), l); };
    m.xCheckReservedLock = [](sqlite3_file* g, int* r) {
      return F(g)->real()->pMethods->xCheckReservedLock(F(g)->real(), r);
    };
    m.xFileControl = [](sqlite3_file* g, int op, void* a) {
      return F(g)->real()->pMethods->xFileControl(F(g)->real(), op, a);
    };
    m.xSectorSize = [](sqlite3_file* g) { return F(g)->real()->pMethods->xSectorSize(F(g)->real()); };
    m.xDeviceCharacteristics = [](sqlite3_file* g) {
      return F(g)->real()->pMethods->xDeviceCharacteristics(F(g)->real());
    };
    m.xShmMap = [](sqlite3_file* g, int p, int s, int e, void volatile** map) {
      return F(g)->real()->pMethods->xShmMap(F(g)->real(), p, s, e, map);
    };
    m.xShmLock = [](sqlite3_file* g, int o, int n, int fl) {
      return F(g)->real()->pMethods->xShmLock(F(g)->real(), o, n, fl);
    };
    m.xShmBarrier = [](sqlite3_file* g) { F(g)->real()->pMethods->xShmBarrier(F(g)->real()); };
    m.xShmUnmap = [](sqlite3_file* g, int d) { return F(g)->real()->pMethods->xShmUnmap(F(g)->real(), d); };
    return m;
  }();
  return &methods;
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  File* f = F(file);
  f->base.pMethods = nullptr;
  const int rc = real_vfs->xOpen(real_vfs, name, f->real(), flags, out_flags);
  if (rc != SQLITE_OK || !f->real()->pMethods) return rc;
  f->log = (flags & SQLITE_OPEN_WAL) != 0;
  f->base.pMethods = Methods();
  return rc;
}

// Installed as the default for one test, the real layer's default again after.
class LogFlush : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestPostgresServer().empty()) GTEST_SKIP() << "the server flushes its own log";
    real_vfs = sqlite3_vfs_find(nullptr);
    vfs_ = *real_vfs;
    vfs_.zName = "tarvik-log-counting";
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_vfs->szOsFile;
    vfs_.xOpen = Open;
    vfs_.pNext = nullptr;
    ASSERT_EQ(sqlite3_vfs_register(&vfs_, 1), SQLITE_OK);
    counts = LogCounts();
    db_.emplace(false);
    data::OpenBackend(db_->path())->ExecuteScript("CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER)");
    c_ = db_->Connect();
  }
  void TearDown() override {
    if (!real_vfs) return;
    c_.reset();
    db_.reset();
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_vfs, 1);
  }
  // One transaction of two rows, committed ahead; the log's writes so far.
  data::PendingCommit Send(int key, long* written) {
    data::Transaction transaction(*c_);
    c_->Execute("INSERT INTO t (k, v) VALUES (" + std::to_string(key) + ", 1)");
    c_->Execute("INSERT INTO t (k, v) VALUES (" + std::to_string(key + 1000) + ", 1)");
    data::PendingCommit commit = transaction.CommitAhead();
    *written = counts.writes;
    return commit;
  }

  sqlite3_vfs vfs_{};
  std::optional<TempDatabase> db_;
  ComPtr<data::HostConnection> c_;
};

// As the reliefs run: the next is sent before the one before it is waited for.
TEST_F(LogFlush, EachCommitIsOnDiskBeforeItsWaitReturnsAndTwoShareAFlush) {
  constexpr int kChain = 12;
  std::vector<data::PendingCommit> commits(kChain);
  std::vector<long> written(kChain);
  long flushes_before = 0;
  int ahead = 0;
  for (int i = 0; i < kChain; ++i) {
    commits[i] = Send(i + 1, &written[i]);
    ahead += commits[i].ahead() ? 1 : 0;
    if (i == 0) {
      EXPECT_GE(counts.flushed, written[0]) << "the first of a chain flushes itself";
      flushes_before = counts.flushes;
      continue;
    }
    commits[i - 1].Wait();
    EXPECT_GE(counts.flushed, written[i - 1]) << "commit " << i - 1 << " not on disk after its Wait";
  }
  commits[kChain - 1].Wait();
  EXPECT_GE(counts.flushed, written[kChain - 1]);
  EXPECT_EQ(ahead, kChain - 1) << "only the first of a chain commits at once";
  // One flush per commit would be 11 more; one per pair is 6.
  EXPECT_LE(counts.flushes - flushes_before, kChain / 2);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM t"), 2 * kChain);
  EXPECT_EQ(ScalarNumber(*c_, "PRAGMA synchronous"), 2) << "back to FULL once the chain is left";
}

// Whatever ends the chain flushes everything before it, as FULL does.
TEST_F(LogFlush, WhatFollowsAChainIsFlushedAsUnderFull) {
  const struct {
    const char* name;
    void (*after)(data::HostConnection&);
  } cases[] = {
      {"a transaction committed at once",
       [](data::HostConnection& c) {
         data::Transaction transaction(c);
         c.Execute("INSERT INTO t (k, v) VALUES (500, 1)");
         transaction.Commit();
       }},
      {"a statement outside a transaction", [](data::HostConnection& c) {
         c.Execute("INSERT INTO t (k, v) VALUES (501, 1)");
       }},
      {"a savepoint opened outside a transaction, released", [](data::HostConnection& c) {
         c.Execute("SAVEPOINT outside");
         c.Execute("INSERT INTO t (k, v) VALUES (502, 1)");
         c.Execute("RELEASE outside");
       }},
  };
  int key = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    long written = 0;
    data::PendingCommit first = Send(key++, &written);
    data::PendingCommit second = Send(key++, &written);  // unwaited while what follows runs
    ASSERT_TRUE(second.ahead());
    c.after(*c_);
    EXPECT_EQ(counts.flushed, counts.writes) << "left unflushed: " << counts.writes - counts.flushed << " writes";
    EXPECT_EQ(ScalarNumber(*c_, "PRAGMA synchronous"), 2);
    const long flushes = counts.flushes;
    first.Wait();
    second.Wait();
    EXPECT_EQ(counts.flushes, flushes) << "already on disk: nothing more to flush";
  }
}

// A flush that fails is the error of the commit waited for; the commit
// stays in the books (it was written), and a later flush that works covers it.
TEST_F(LogFlush, AFailedFlushIsTheErrorOfTheCommitWaitedFor) {
  long written = 0;
  data::PendingCommit first = Send(1, &written);
  data::PendingCommit second = Send(2, &written);
  ASSERT_TRUE(second.ahead());
  first.Wait();
  counts.fail_flush = true;
  data::PendingCommit third = Send(3, &written);
  try {
    second.Wait();
    ADD_FAILURE() << "the failed flush was not reported";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), kErrDatabase);
    EXPECT_NE(e.description().find("could not be flushed"), std::string::npos) << e.description();
  }
  counts.fail_flush = false;
  EXPECT_NO_THROW(third.Wait());
  EXPECT_EQ(counts.flushed, counts.writes);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM t"), 6);
}

}  // namespace
}  // namespace tarvik::testing
