// Interruptions from the server side of a PostgreSQL test database: ending
// the sessions on it, and stopping the whole test cluster as a crash of the
// server would (pg_ctl stop -m immediate), then starting it again.
#pragma once

#include <string>

namespace tarvik::testing {

// Ends every session on the database at uri but the caller's; true when
// there was one to end.
bool CutConnections(const std::string& uri);

// Waits until no session is left on the database at uri (at most 10 s).
void AwaitNoSessions(const std::string& uri);

// The test cluster's data folder, from TARVIK_TEST_PG_DATA; empty when the
// cluster is not ours to stop.
std::string TestClusterFolder();

// pg_ctl on that folder: a stop that lets no process finish its work, and a
// start with the options the server ran with, waiting until it takes
// connections. Both throw std::runtime_error when pg_ctl fails.
void StopClusterImmediately(const std::string& folder);
void StartCluster(const std::string& folder);

}  // namespace tarvik::testing
