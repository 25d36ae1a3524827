// A libpq connection in pipeline mode: statements prepared once, sent back
// to back, and one wait for the server per Sync. The best-possible
// PostgreSQL baseline and the commit limit run on it.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/raw_sqlite.h"

namespace tarvik::bench {

class PqPipeline {
 public:
  // Same session settings as the component's backend; pipeline mode on.
  explicit PqPipeline(const std::string& uri);

  // Queues the preparation of `sql` ($n markers) under `name`.
  void Prepare(const std::string& name, const std::string& sql);
  // Queues a prepared statement with its parameters (as text; monostate is NULL).
  void Send(const std::string& name, const std::vector<RawValue>& values);
  // Marks the end of an implicit transaction and waits for every queued
  // result: one round trip. Rows of the first column of queries are
  // appended to `first_column` when given; a failed statement throws (the
  // server has rolled the transaction back by then).
  void Sync(std::vector<std::int64_t>* first_column = nullptr);
  // Sync in two halves: the end marked and sent without waiting, so the
  // server works on while the client prepares the next; Answer then reads
  // the oldest unanswered one.
  void SyncAhead();
  void Answer(std::vector<std::int64_t>* first_column = nullptr);

  std::uint64_t round_trips() const { return round_trips_; }

 private:
  struct Finish {
    void operator()(PGconn* c) const { PQfinish(c); }
  };
  std::unique_ptr<PGconn, Finish> conn_;
  std::uint64_t round_trips_ = 0;
};

}  // namespace tarvik::bench
