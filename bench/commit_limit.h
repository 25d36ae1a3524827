// The physical limit of committing each invoice's relief on its own: how
// many durable one-row transactions a second the disk allows, measured in
// the same run, on the same folder or server, as the invoicing.
#pragma once

#include <string>

namespace tarvik::bench {

// One-row INSERT + COMMIT on a fresh WAL file in `dir` under
// synchronous=FULL, for about `seconds`.
double SqliteCommitsPerSecond(const std::string& dir, double seconds);

struct PostgresCommitRates {
  double plain = 0;      // BEGIN, INSERT, COMMIT: three round trips
  double pipelined = 0;  // the same three in one pipeline: one round trip
};
// On a throw-away table of `server`'s database, for about `seconds` each;
// durable when the server is.
PostgresCommitRates PostgresCommitsPerSecond(const std::string& server, double seconds);

}  // namespace tarvik::bench
