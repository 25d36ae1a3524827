// The jobs a crash interrupts: invoice creation in each of the four
// groupings, deletion, back orders and printing. Each runs over every order
// or invoice it has work for, so that one run commits many times and a
// crash lands between its steps often.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "data/host_connection.h"
#include "tests/reliability/commit_log.h"
#include "tests/reliability/workflow_env.h"

namespace tarvik::testing {

struct WorkContext {
  std::mt19937 random;
  CommitLog* log = nullptr;  // may be null
  std::string tag;           // makes the numbers of new back orders unique
  int serial = 0;
};

struct CrashWorkflow {
  const char* name;
  const char* ready;  // counts what the workflow has to work on; 0: nothing to do
  void (*run)(WorkflowEnv& env, WorkContext& context);
  // How often a crash aims at it, relative to the others: creation has the
  // most steps to interrupt.
  int weight;
};

const std::vector<CrashWorkflow>& CrashWorkflows();

// The demo books grown for long runs: its orders again, copies times over
// under new keys and numbers, and automatic back orders on.
void PrepareCrashBooks(data::HostConnection& c, int copies);

// The child's endless job on the database: a workflow chosen at random
// among those with work, again and again. Only an error ends it (status 3);
// a crash is expected first. The workflow named first runs first when it
// has work; starting hears the name of each workflow as it starts.
using WorkflowStarting = std::function<void(const std::string& name, WorkflowEnv& env)>;
[[noreturn]] void WorkUntilKilled(const std::string& database, std::uint32_t seed,
                                  const std::string& commit_log, const std::string& first = {},
                                  const WorkflowStarting& starting = {});

}  // namespace tarvik::testing
