#include "data/backends/sqlite/sqlite_backend.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>


#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "data/backends/sqlite/log_checkpoint.h"
#include "data/backends/sqlite/sqlite_result_set.h"
#include "data/backends/sqlite/sqlite_statement.h"
#include "platform/ascii.h"
#include "platform/error.h"
#include "platform/file_access.h"

namespace tarvik::data {
namespace {

using namespace sqlite_detail;

constexpr int kBusyTimeoutMs = 10000;

// FULL: a commit is on disk when COMMIT returns. Benchmarks measure NORMAL
// beside it through the environment (docs/durability.md).
std::string SynchronousSetting() {
  const char* given = std::getenv("TARVIK_SQLITE_SYNCHRONOUS");
  if (!given || !*given) return "FULL";
  for (const char* setting : {"FULL", "NORMAL", "EXTRA"}) {
    if (EqualsNoCase(given, setting)) return setting;
  }
  RaiseError(kErrDatabase, std::string("TARVIK_SQLITE_SYNCHRONOUS must be FULL, NORMAL or EXTRA, not '") + given + "'.");
}

class SqliteBackend : public Backend {
 public:
  SqliteBackend(const std::string& path, const std::string& target, int flags)
      // One connection is used by one thread at a time (objects live in
      // their apartment), so SQLite's lock around every call on it is
      // dropped: some 3% of the instructions of a posting run.
      : path_(path), db_(target, flags | SQLite::OPEN_NOMUTEX, kBusyTimeoutMs) {
    const bool log = (flags & SQLite::OPEN_READWRITE) && ReadyForWriting();
    db_.exec("PRAGMA foreign_keys=ON");
    db_.exec("PRAGMA cache_size=-" + std::to_string(kSqlitePageCacheKib));
    const std::string synchronous = SynchronousSetting();
    db_.exec("PRAGMA synchronous=" + synchronous);
    may_go_ahead_ = log && synchronous == "FULL";
    if (log) checkpoint_ = std::make_unique<LogCheckpoint>(db_.getHandle(), synchronous);
  }
  ~SqliteBackend() override {
    try {
      if (flushed_ < sent_) FlushLog();
    } catch (...) {
      // Only a caller already leaving on another error gets here unflushed.
    }
  }
  Dialect dialect() const override { return Dialect::kSqlite; }
  std::string DatabaseName() const override { return path_; }

  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    TightenOutsideTransaction();
    const std::int64_t changes = Run(sql, params);
    FlushIfEndedRelaxed();  // the caller's own statement may have ended it
    return changes;
  }
  std::unique_ptr<ResultSet> Query(const std::string& sql, const std::vector<Value>& params) override {
    TightenOutsideTransaction();
    return NewSqliteResultSet(db_, cache_, sql, params);
  }
  void ExecuteScript(std::string_view sql) override {
    TightenOutsideTransaction();
    Exec(std::string(sql));
    ParkIfTransactionEnded();
    FlushIfEndedRelaxed();
  }
  // SQLite looks a name up in temp before main, so a temp table of the same
  // name and columns hides the shared one; statements prepared earlier are
  // prepared again when the temp schema changes.
  void MakeSessionTables(const std::vector<std::string>& names) override {
    TightenOutsideTransaction();
    for (const std::string& name : names) {
      SQLite::Statement find(db_, "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND lower(name) = lower(?1)");
      find.bind(1, name);
      if (!find.executeStep()) continue;
      const std::string create = find.getColumn(0).getString();
      const std::size_t columns = create.find('(');
      if (columns == std::string::npos) continue;
      Exec("CREATE TEMP TABLE IF NOT EXISTS \"" + name + "\" " + create.substr(columns));
    }
  }
  // SQLite tells a statement that cannot write; a long one is stopped by a
  // progress handler once its time is up.
  RowsRead ReadOnlyRows(const std::string& sql, const std::vector<Value>& params,
                        const ReadLimits& limits) override {
    sqlite3_stmt* probe = nullptr;
    if (sqlite3_prepare_v2(db_.getHandle(), sql.c_str(), -1, &probe, nullptr) == SQLITE_OK && probe != nullptr) {
      const bool reads = sqlite3_stmt_readonly(probe) != 0;
      sqlite3_finalize(probe);
      if (!reads) RaiseError(kErrInvalidOperation, "Refused: a query here may only read (this statement writes).");
    }
    struct Deadline {
      std::chrono::steady_clock::time_point at;
      bool passed = false;
    } deadline{std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds)};
    sqlite3_progress_handler(db_.getHandle(), 10000, [](void* d) -> int {
      auto* deadline = static_cast<Deadline*>(d);
      deadline->passed = std::chrono::steady_clock::now() > deadline->at;
      return deadline->passed ? 1 : 0;
    }, &deadline);
    struct Unset {
      sqlite3* db;
      ~Unset() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
    } unset{db_.getHandle()};
    try {
      return Backend::ReadOnlyRows(sql, params, limits);
    } catch (const AutomationError&) {
      if (!deadline.passed) throw;
      RaiseError(kErrDatabase, TimeLimitMessage(limits.seconds));
    }
  }
  void Begin() override { Control("BEGIN IMMEDIATE"); }
  // Reads left stepping inside the transaction stop before it ends.
  void Commit() override {
    cache_->ParkAll();
    Control("COMMIT");
    FlushIfEndedRelaxed();
  }
  // A chain of transactions committed ahead (each relief its own): from the
  // second on they begin under synchronous=NORMAL, so COMMIT writes the log
  // without flushing it, and the caller goes on to the next one. Committed
  // flushes the log unless a flush begun after this commit already has:
  // one flush then carries the commit waited for and the one sent since.
  // A commit is durable before its Committed returns, as under FULL, and a
  // power cut in between loses a tail of the chain, never a commit out of
  // order (the log is one file, written in order). Another connection may
  // read such a commit for the flush's duration before it is on disk; one
  // that then writes flushes it with its own commit.
  std::uint64_t CommitAhead() override {
    if (!may_go_ahead_ || !relaxed_) {
      Commit();
      if (may_go_ahead_) Relax();  // the chain's first flushed itself
      return 0;
    }
    cache_->ParkAll();
    Control("COMMIT");
    return ++sent_;
  }
  void Committed(std::uint64_t ticket) override {
    if (ticket > flushed_) FlushLog();
  }
  void Rollback() override {
    cache_->ParkAll();
    Control("ROLLBACK");
  }
  void Savepoint(const std::string& name) override {
    TightenOutsideTransaction();  // opened outside one, its release commits
    Control("SAVEPOINT " + name);
  }
  // A savepoint opened outside a transaction ends it when released.
  void ReleaseSavepoint(const std::string& name) override { Control("RELEASE " + name); }
  void RollbackToSavepoint(const std::string& name) override {
    Control("ROLLBACK TO " + name);
    Control("RELEASE " + name);
  }

 private:
  std::int64_t Run(const std::string& sql, const std::vector<Value>& params) {
    Stmt st = cache_->Acquire(sql);
    try {
      Bind(*st, params);
      while (Step(*st)) {
      }
    } catch (...) {
      cache_->Release(std::move(st));
      ParkIfTransactionEnded();  // some errors roll the transaction back
      throw;
    }
    const std::int64_t changes = db_.getChanges();
    cache_->Release(std::move(st));
    ParkIfTransactionEnded();
    return changes;
  }
  void ParkIfTransactionEnded() {
    if (sqlite3_get_autocommit(db_.getHandle())) cache_->ParkAll();
  }
  // SQLite quietly opens a file it may not write read-only; the first
  // posting would then fail half-way through a command. Whether the file
  // now keeps a write-ahead log (a file system without shared memory
  // refuses it).
  bool ReadyForWriting() {
    if (sqlite3_db_readonly(db_.getHandle(), "main") == 1) {
      RaiseError(kErrDatabase, "Cannot write database '" + path_ + "': the file is read-only for this user");
    }
    return EqualsNoCase(db_.execAndGet("PRAGMA journal_mode=WAL").getString(), "wal");
  }
  // The safety level changes only between transactions; a statement run
  // outside one commits by itself and must flush as FULL does. Under FULL
  // nothing sent ahead is left unflushed.
  void Relax() {
    Control("PRAGMA synchronous=NORMAL");
    relaxed_ = true;
  }
  void Tighten() {
    if (flushed_ < sent_) FlushLog();
    Control("PRAGMA synchronous=FULL");
    relaxed_ = false;
  }
  void TightenOutsideTransaction() {
    if (relaxed_ && sqlite3_get_autocommit(db_.getHandle())) Tighten();
  }
  void FlushIfEndedRelaxed() {
    if (relaxed_ && sqlite3_get_autocommit(db_.getHandle())) {
      FlushLog();
      Tighten();
    }
  }
  // What COMMIT does under FULL, after the fact: the log's file flushed
  // through SQLite's own file layer (and with it every commit before).
  void FlushLog() {
    const std::uint64_t covers = sent_;
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(db_.getHandle(), "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK && log &&
        log->pMethods) {
      const int rc = log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
      if (rc != SQLITE_OK) {
        RaiseSqlite(rc, "The write-ahead log of '" + path_ +
                            "' could not be flushed to disk: the last transactions may not survive a power cut");
      }
    }
    flushed_ = covers;
  }
  // Transaction control runs once a statement, many times a second: the
  // few texts are prepared once and kept with the others (Run parks the
  // stepping reads when the transaction has ended).
  void Control(const std::string& sql) { Run(sql, {}); }
  void Exec(const std::string& sql) {
    try {
      db_.exec(sql);
    } catch (const SQLite::Exception& e) {
      RaiseSqlite(e);
    }
  }
  std::string path_;
  SQLite::Database db_;  // before the cache: statements finalize first
  std::shared_ptr<StatementCache> cache_ = std::make_shared<StatementCache>(db_);
  std::unique_ptr<LogCheckpoint> checkpoint_;  // stops before the connection closes
  bool may_go_ahead_ = false;  // FULL on a write-ahead log
  bool relaxed_ = false;       // running under NORMAL inside a chain
  std::uint64_t sent_ = 0;     // commits made ahead
  std::uint64_t flushed_ = 0;  // the last of them known on disk
};

bool IsWalFile(const std::string& path) {
  // Bytes 18 and 19 of the header, the read and write format versions, are 2 in WAL mode.
  std::ifstream in(path, std::ios::binary);
  char header[20] = {};
  if (!in.read(header, sizeof header)) return false;
  return std::memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 2 && header[19] == 2;
}

// A WAL file is read through its -shm, which SQLite creates beside it when
// missing; where that cannot be done, reading the file as immutable is the
// only way, and a true one only while the -wal holds nothing.
bool NeedsImmutableRead(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!IsWalFile(path) || fs::exists(path + "-shm", ec)) return false;
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (CanCreateFilesIn(folder)) return false;
  const auto wal_size = fs::file_size(path + "-wal", ec);
  if (!ec && wal_size > 0) {
    RaiseError(kErrDatabase, "Cannot read database '" + path + "': its latest changes are still in " + path +
                                 "-wal, which can only be read with write access to its folder");
  }
  return true;
}

std::string ImmutableUri(const std::string& path) {
  const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
  std::string uri = "file:";
  for (const unsigned char ch : absolute) {
    if (std::isalnum(ch) || std::strchr("/-._~", ch)) {
      uri += static_cast<char>(ch);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", ch);
      uri += escaped;
    }
  }
  return uri + "?immutable=1";
}

}  // namespace

void ConfigureSqliteForThisProgram() {
  // SQLITE_MISUSE once SQLite is initialised: the process keeps its setting.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

std::unique_ptr<Backend> OpenSqliteBackend(const std::string& path, OpenMode mode) {
  try {
    if (mode == OpenMode::kReadWrite) {
      // The books are the owner's alone until someone shares them on purpose;
      // SQLite gives its journals the mode of the database file.
      try {
        if (!path.empty() && path != ":memory:" && path.rfind("file:", 0) != 0) {
          CreateOwnerOnlyFile(path);
        }
      } catch (const std::system_error&) {
        // SQLite says why it cannot open it.
      }
      return std::make_unique<SqliteBackend>(path, path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    }
    if (NeedsImmutableRead(path)) {
      return std::make_unique<SqliteBackend>(path, ImmutableUri(path), SQLite::OPEN_READONLY | SQLite::OPEN_URI);
    }
    return std::make_unique<SqliteBackend>(path, path, SQLite::OPEN_READONLY);
  } catch (const SQLite::Exception& e) {
    RaiseError(kErrDatabase, "Cannot open database '" + path + "': " + e.what());
  }
}

}  // namespace tarvik::data
