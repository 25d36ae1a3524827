// Builds without libpq (the Windows DLLs) know PostgreSQL URIs only to
// refuse them clearly.
#include "data/backends/postgres/postgres_backend.h"
#include "data/backends/postgres/round_trips.h"
#include "platform/error.h"

namespace tarvik::data {

std::unique_ptr<Backend> OpenPostgresBackend(const std::string& uri, OpenMode) {
  RaiseError(kErrDatabase, "Cannot open database '" + RedactedUri(uri) +
                               "': this build has no PostgreSQL client; use a SQLite database file");
}

// No server, no round trips.
std::uint64_t PostgresRoundTrips() { return 0; }

}  // namespace tarvik::data
