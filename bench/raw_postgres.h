// The physical limit of this design on PostgreSQL: the statements of the
// stored queries prepared once on libpqxx, bound with the same values,
// inside the same transactions, with nothing of the component in between.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/raw_sqlite.h"

namespace tarvik::bench {

class RawPostgres {
 public:
  using Handle = std::size_t;
  explicit RawPostgres(const std::string& uri);  // same session settings as the backend
  ~RawPostgres();
  RawPostgres(const RawPostgres&) = delete;
  RawPostgres& operator=(const RawPostgres&) = delete;

  void Exec(const char* sql);
  void BeginWrite() { Exec("BEGIN ISOLATION LEVEL READ COMMITTED"); }
  // ?n markers as the classic SQL of the catalog writes them.
  Handle Statement(const std::string& sql);
  void Run(Handle st, const std::vector<RawValue>& values,
           std::vector<std::int64_t>* first_column = nullptr);
  void RunStored(const std::string& name, const std::vector<RawValue>& values,
                 std::vector<std::int64_t>* first_column = nullptr);

 private:
  struct Session;
  std::unique_ptr<Session> session_;
};

}  // namespace tarvik::bench
