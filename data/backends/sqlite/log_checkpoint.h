// Checkpoints of a connection's write-ahead log, run on a thread of their
// own. SQLite's automatic checkpoint runs inside the COMMIT that crosses
// its size, so that one commit writes back every page the ones before it
// changed, in place, and flushes the database file. On books whose postings
// land on pages spread over a large stock, those writes cost a commit more
// than its own log pages did. Here the commit only asks; a second
// connection copies the log back on another processor while the next
// transactions go on.
//
// Durability does not change: a checkpoint flushes the log before it
// copies a page (commits sent ahead, not yet flushed, included), and one
// interrupted at any point leaves the log to replay.
// If the thread falls far behind (another process reading an old
// snapshot, a slow disk), the committing connection checkpoints itself, as
// SQLite would, so the log stays bounded.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace tarvik::data::sqlite_detail {

class LogCheckpoint {
 public:
  // Takes over the automatic checkpoints of `db`, a read-write connection
  // in WAL mode. The checkpointing connection opens the same file (by the
  // full name SQLite resolved) and uses `synchronous` (FULL, NORMAL or
  // EXTRA) as `db` does. Starts no thread until the log first reaches its
  // size.
  LogCheckpoint(sqlite3* db, std::string synchronous);
  // Stops a checkpoint under way (the log keeps what it had not copied) and
  // gives `db` its automatic checkpoints back.
  ~LogCheckpoint();

  LogCheckpoint(const LogCheckpoint&) = delete;
  LogCheckpoint& operator=(const LogCheckpoint&) = delete;

  // Log pages at which a commit asks for a checkpoint (SQLite's own
  // default), and at which it runs one itself.
  static constexpr int kAskAtPages = 1000;
  static constexpr int kRunAtPages = 8 * kAskAtPages;
  // Pages the thread may leave for the committing connection to copy.
  static constexpr int kLeftToCommitter = kAskAtPages / 4;

 private:
  struct Worker;
  static int Committed(void* self, sqlite3* db, const char* schema, int pages);

  sqlite3* db_;
  std::unique_ptr<Worker> worker_;
  int last_pages_ = 0;  // in the log after the last commit
};

}  // namespace tarvik::data::sqlite_detail
