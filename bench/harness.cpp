#include "bench/harness.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace tarvik::bench {

double Seconds(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BestSeconds(int runs, const std::function<void()>& f) {
  double best = std::numeric_limits<double>::infinity();
  for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(f));
  return best;
}

long PeakRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

bool Report::Print() const {
  std::printf("\n%-44s %-14s %14s %14s %8s\n", "benchmark", "measure", "component", "baseline",
              "ratio");
  for (const Figure& f : figures_) {
    if (f.baseline > 0) {
      std::printf("%-44s %-14s %14.4g %14.4g %8.2f\n", f.benchmark.c_str(), f.measure.c_str(),
                  f.component, f.baseline, f.component / f.baseline);
    } else {
      std::printf("%-44s %-14s %14.4g %14s %8s\n", f.benchmark.c_str(), f.measure.c_str(),
                  f.component, "-", "-");
    }
  }
  std::printf("\n");
  bool all = true;
  for (const Target& t : targets_) {
    std::printf("target %s: %.4g (limit %s%.4g) %s\n", t.name.c_str(), t.measured,
                t.at_most ? "" : ">= ", t.limit, t.pass() ? "pass" : "fail");
    all = all && t.pass();
  }
  return all;
}

}  // namespace tarvik::bench
