// Interrupts a child process in the middle of the invoicing workflows
// (crash_workflows.h), aiming at one chosen at random each time, over and
// over, and after each interruption opens the
// books as a host would (recovery of unfinished postings first) and checks
// that they are whole (books_invariants.h) and that what the child had seen
// committed is still there (commit_log.h).
//
// Interruptions: SIGKILL at a random moment; on a PostgreSQL server
// (TARVIK_TEST_POSTGRES) also the end of the child's server sessions and,
// when the cluster's data folder is known (TARVIK_TEST_PG_DATA), an
// immediate stop of the whole server; on SQLite a simulated power cut
// (power_loss_vfs.h).
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

namespace tarvik::testing {

struct CrashRun {
  int kills = 500;
  std::uint32_t seed = 1;
  int copies = 20;      // each copy adds the demo's orders again under new numbers
  bool recover = true;  // false: check the books as the crash left them
  // At or above 0: only the interruptions from the fresh books before this
  // one up to it, to reproduce what it found.
  int only = -1;
};

struct CrashResult {
  int kills = 0;         // interruptions that landed while the job worked
  int consistent = 0;    // after which the books were whole (for kills: nothing committed lost)
  int unfinished = 0;    // after which the books were not whole before recovery
  int repaired = 0;      // after which the recovery completed or removed something
  int progressed = 0;    // after which the job had committed more work
  int cuts = 0;          // of the kills, those made by ending the server sessions
  int server_stops = 0;  // of the kills, those made by stopping the server
  int commits_lost = 0;  // interruptions after which a committed invoice was missing
  std::map<std::string, int> landed_in;      // workflow the interruption hit -> count
  std::map<std::string, int> unfinished_in;  // the same, of those that left it unfinished
};

// SIGKILL, connection cuts and server stops; ends with the line
// "target crash-consistency[-postgres]: ...".
CrashResult RunCrashHarness(const CrashRun& run, std::ostream& out);

// SQLite only: power cuts; ends with the line "target power-loss: ...".
CrashResult RunPowerLossHarness(const CrashRun& run, std::ostream& out);

}  // namespace tarvik::testing
