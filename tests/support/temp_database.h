// A fresh SQLite database file in a temporary folder, removed afterwards.
#pragma once

#include <string>

#include "data/host_connection.h"

namespace tarvik::testing {

class TempDatabase {
 public:
  // demo: full schema and demo data; otherwise an empty file.
  explicit TempDatabase(bool initialize = true, bool demo = true);
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  const std::string& path() const { return path_; }
  ComPtr<data::HostConnection> Connect() const;

 private:
  std::string dir_;
  std::string path_;
};

// First column of the first row of a query, as a double (0 when no row or Null).
double ScalarNumber(data::HostConnection& c, const std::string& sql);
std::string ScalarText(data::HostConnection& c, const std::string& sql);

}  // namespace tarvik::testing
