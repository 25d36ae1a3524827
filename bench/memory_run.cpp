#include "bench/memory_run.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/books.h"
#include "bench/component.h"
#include "bench/invoicing_run.h"

extern char** environ;

namespace tarvik::bench {

// The kernel's ru_maxrss of a spawned child also counts the parent's pages
// it ran on before exec, which hides the child's own figure behind the
// parent's.
long OwnPeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  throw std::runtime_error("no VmHWM in /proc/self/status");
}

std::string ChildOutput(const char* self, const std::vector<std::string>& args) {
  std::vector<const char*> argv{self};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("cannot open a pipe to the memory child");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, self, &actions, nullptr, const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; spawned == 0 && (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  if (spawned != 0) throw std::runtime_error("cannot start a child run");
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) {
    throw std::runtime_error("a child run failed: " + args.front());
  }
  return out;
}

namespace {

// Peak resident memory of one child run, in KiB, as the child reports it.
long ChildPeakKib(const char* self, const std::string& path, int orders, bool raw) {
  return std::stol(
      ChildOutput(self, {raw ? "--memory-child-raw" : "--memory-child", path, std::to_string(orders)}));
}

}  // namespace

int MemoryChild(const char* path, int orders, bool raw) {
  if (raw) {
    RawOrderNumberRun(path, orders);
  } else {
    ComponentHost host(path);
    host.Let("InvoiceNo", Variant::String("1"));
    host.Let("PrintInvoiceBy", Variant::Long(0));
    host.Let("BeginOrder", Variant::String("100001"));
    host.Let("EndOrder", Variant::String(std::to_string(100000 + orders)));
    host.Let("TransactionMode", Variant::Long(1));
    if (!host.Succeeds("Save")) return 1;
  }
  std::printf("%ld\n", OwnPeakKib());
  return 0;
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
