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

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

bool Report::Print() const {
  int width = 44;
  for (const Figure& f : figures_) width = std::max(width, static_cast<int>(f.benchmark.size()));
  std::printf("\n%-*s %-13s %11s %11s %7s %11s %7s\n", width, "benchmark", "measure", "component", "baseline",
              "ratio", "same SQL", "ratio");
  // A baseline and the component's ratio to it, or dashes.
  auto column = [](double value, double component) {
    if (value <= 0) {
      std::printf(" %11s %7s", "-", "-");
    } else {
      std::printf(" %11.4g %7.2f", value, component / value);
    }
  };
  for (const Figure& f : figures_) {
    std::printf("%-*s %-13s %11.4g", width, f.benchmark.c_str(), f.measure.c_str(), f.component);
    column(f.baseline, f.component);
    column(f.same_sql, f.component);
    std::printf("\n");
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
