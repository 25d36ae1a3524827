#include "data/backends/sqlite/log_checkpoint.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tarvik::data::sqlite_detail {

namespace {

std::string FileOf(sqlite3* db) {
  const char* name = sqlite3_db_filename(db, "main");
  return name ? name : "";
}

}  // namespace

struct LogCheckpoint::Worker {
  Worker(std::string path, std::string synchronous)
      : path(std::move(path)), synchronous(std::move(synchronous)), unavailable(this->path.empty()) {}

  // False when no thread can take the checkpoint: the caller runs it.
  bool Ask() {
    std::lock_guard<std::mutex> lock(mutex);
    if (unavailable) return false;
    if (!thread.joinable()) {
      try {
        thread = std::thread([this] { Run(); });
      } catch (const std::system_error&) {
        unavailable = true;
        return false;
      }
    }
    asked = true;
    wake.notify_one();
    return true;
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      if (connection) sqlite3_interrupt(connection);
    }
    wake.notify_one();
    if (thread.joinable()) thread.join();
  }

  void Run() {
    struct Close {
      void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    sqlite3* opened = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, Close> db(opened);
    const std::string pragma = "PRAGMA synchronous=" + synchronous;
    if (rc != SQLITE_OK || sqlite3_exec(db.get(), pragma.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::lock_guard<std::mutex> lock(mutex);
      unavailable = true;
      return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    connection = db.get();
    for (;;) {
      wake.wait(lock, [this] { return asked || stopping; });
      if (stopping) break;
      asked = false;
      lock.unlock();
      // Busy (another checkpoint, a reader pinning the log) or failed: the
      // pages stay in the log, and the next commit asks again.
      const std::uint32_t began_in = log.load() >> 32;
      int copied = 0;
      if (sqlite3_wal_checkpoint_v2(db.get(), "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, &copied) == SQLITE_OK &&
          copied > 0) {
        std::uint64_t seen = log.load();
        // A log begun anew meanwhile numbers its pages from one again.
        while (seen >> 32 == began_in && !log.compare_exchange_weak(seen, seen >> 32 << 32 | std::uint32_t(copied))) {
        }
      }
      lock.lock();
    }
    connection = nullptr;
  }

  const std::string path;
  const std::string synchronous;
  std::mutex mutex;
  std::condition_variable wake;
  std::thread thread;
  sqlite3* connection = nullptr;  // the thread's, while it is open
  bool asked = false;
  bool stopping = false;
  bool unavailable = false;
  // The committing side's count of logs begun anew (high half) and how
  // many pages of the current one the thread has copied (low half).
  std::atomic<std::uint64_t> log{0};
};

LogCheckpoint::LogCheckpoint(sqlite3* db, std::string synchronous)
    : db_(db), worker_(std::make_unique<Worker>(FileOf(db), std::move(synchronous))) {
  sqlite3_wal_hook(db_, &LogCheckpoint::Committed, this);
}

LogCheckpoint::~LogCheckpoint() {
  worker_->Stop();
  sqlite3_wal_autocheckpoint(db_, kAskAtPages);
}

// A log is begun anew only by a writer that finds every page of it copied;
// under a steady stream of commits the thread's copy is always a few pages
// short, so once it is close the committing connection copies those few
// itself and the log can start again from its beginning.
int LogCheckpoint::Committed(void* self, sqlite3* db, const char* schema, int pages) {
  auto* checkpoint = static_cast<LogCheckpoint*>(self);
  Worker& worker = *checkpoint->worker_;
  if (pages < checkpoint->last_pages_) worker.log.store(((worker.log.load() >> 32) + 1) << 32);
  checkpoint->last_pages_ = pages;
  if (pages < kAskAtPages) return SQLITE_OK;
  const int copied = static_cast<int>(worker.log.load() & 0xffffffffu);
  if (pages >= kRunAtPages || pages - copied <= kLeftToCommitter || !worker.Ask()) {
    sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }
  return SQLITE_OK;
}

}  // namespace tarvik::data::sqlite_detail
