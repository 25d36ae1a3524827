// Kills a process in the middle of large Save, BackOrder and Delete jobs,
// over and over, and checks after each kill that the database reopens whole
// and keeps its invariants. On a PostgreSQL server (TARVIK_TEST_POSTGRES)
// every other kill ends the job's server session first.
#pragma once

#include <cstdint>
#include <ostream>

namespace tarvik::testing {

struct CrashRun {
  int kills = 500;
  std::uint32_t seed = 1;
  int copies = 20;  // each copy adds the demo's orders again under new numbers
};

struct CrashResult {
  int kills = 0;       // children killed while working
  int consistent = 0;  // reopenings that passed every check
  int progressed = 0;  // kills after which the job had committed more work
  int cuts = 0;        // of the kills, those made by ending the server session
};

// Prints one line per inconsistency found and the summary line to out.
CrashResult RunCrashHarness(const CrashRun& run, std::ostream& out);

}  // namespace tarvik::testing
