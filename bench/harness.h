// A small benchmark harness: wall-clock timing, peak memory, a table of
// figures and the closing target lines ("target <name>: <measured> (limit
// <limit>) pass|fail").
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarvik::bench {

// Seconds taken by f (one run).
double Seconds(const std::function<void()>& f);
// The smallest of `runs` timings: the least disturbed by other load.
double BestSeconds(int runs, const std::function<void()>& f);

// Peak resident set of this process so far, in KiB.
long PeakRssKib();
// Processor seconds (user and system) in a usage record, and those this
// process has used so far.
double CpuSeconds(const rusage& usage);
double ProcessCpuSeconds();

struct Figure {
  std::string benchmark;
  std::string measure;  // what was measured, e.g. "invoices/s"
  double component = 0;
  double baseline = 0;  // 0 when there is none
  // The invoicing runs: the raw baseline that runs the component's own
  // stored SQL (the baseline column then holds the best-possible one).
  double same_sql = 0;  // 0 when there is none
};

struct Target {
  std::string name;
  double measured = 0;
  double limit = 0;
  bool at_most = true;  // measured must be <= limit (else >=)
  bool pass() const { return at_most ? measured <= limit : measured >= limit; }
};

class Report {
 public:
  void Add(Figure f) { figures_.push_back(std::move(f)); }
  void Check(Target t) { targets_.push_back(std::move(t)); }
  // Prints the table and the target lines; true when every target passed.
  bool Print() const;

 private:
  std::vector<Figure> figures_;
  std::vector<Target> targets_;
};

}  // namespace tarvik::bench
