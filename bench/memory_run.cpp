#include "bench/memory_run.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/invoicing_run.h"

extern char** environ;

namespace tarvik::bench {
namespace {

// Peak resident memory of one child run, in KiB.
long ChildPeakKib(const char* self, const std::string& path, int orders, bool raw) {
  const std::string count = std::to_string(orders);
  const char* argv[] = {self, raw ? "--memory-child-raw" : "--memory-child", path.c_str(),
                        count.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    throw std::runtime_error("cannot start the memory child");
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the memory child failed");
  }
  return usage.ru_maxrss;
}

}  // namespace

int MemoryChild(const char* path, int orders, bool raw) {
  if (raw) {
    RawOrderNumberRun(path, orders);
    return 0;
  }
  ComponentHost host(path);
  host.Let("InvoiceNo", Variant::String("1"));
  host.Let("PrintInvoiceBy", Variant::Long(0));
  host.Let("BeginOrder", Variant::String("100001"));
  host.Let("EndOrder", Variant::String(std::to_string(100000 + orders)));
  host.Let("TransactionMode", Variant::Long(1));
  return host.Succeeds("Save") ? 0 : 1;
}

void RunMemoryBenchmarks(const MemoryOptions& o, Report& report, const char* self) {
  const std::string dir = std::filesystem::temp_directory_path() / "tarvik-bench";
  std::filesystem::create_directories(dir);
  auto peak = [&](int orders, bool raw) {
    const std::string path = dir + "/memory-" + std::to_string(orders) + ".db";
    CreateBooks(path, {orders, 5, 10, 0});
    return ChildPeakKib(self, path, orders, raw);
  };
  const long small = peak(o.small_orders, false);
  const long large = peak(o.large_orders, false);
  const long raw_small = peak(o.small_orders, true);
  const long raw_large = peak(o.large_orders, true);
  report.Add({"peak memory, " + std::to_string(o.small_orders) + " orders", "KiB",
              static_cast<double>(small), static_cast<double>(raw_small)});
  report.Add({"peak memory, " + std::to_string(o.large_orders) + " orders", "KiB",
              static_cast<double>(large), static_cast<double>(raw_large)});
  report.Add({"memory growth, ten times the orders", "ratio", static_cast<double>(large) / small,
              static_cast<double>(raw_large) / raw_small});
  report.Check({"memory growth, ten times the orders", static_cast<double>(large) / small, 1.25, true});
}

}  // namespace tarvik::bench
