#include "bench/host_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/books.h"
#include "bench/component.h"

extern char** environ;

namespace tarvik::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kFirstOrder = 100001;

struct Folder {
  std::string dir = (fs::temp_directory_path() / "tarvik-bench-host").string();
  Folder() { fs::create_directories(dir); }
  std::string file(const std::string& name) const { return dir + "/" + name; }
};

// Seconds for one run of the program, its output thrown away; a failed run
// stops the benchmark with what it said. *cpu gets the processor seconds
// it used, which the other load on the machine disturbs less.
double RunTarvik(const std::string& tarvik, const Folder& folder, std::vector<std::string> args,
                 double* cpu = nullptr) {
  const std::string err_file = folder.file("tarvik.err");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  args.insert(args.begin(), tarvik);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int status = 0;
  rusage usage{};
  const double seconds = Seconds([&] {
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, tarvik.c_str(), &files, nullptr, argv.data(), environ);
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid) status = -1;
  });
  if (cpu) *cpu = CpuSeconds(usage);
  posix_spawn_file_actions_destroy(&files);
  if (status != 0) {
    std::ostringstream said;
    said << std::ifstream(err_file).rdbuf();
    std::string command;
    for (std::size_t i = 1; i + 1 < argv.size(); ++i) command += std::string(" ") + argv[i];
    throw std::runtime_error("tarvik" + command + " failed: " + said.str());
  }
  return seconds;
}

std::string LastOrder(int orders) { return std::to_string(kFirstOrder - 1 + orders); }

// The component's Save alone, the way the host's create sets it up.
void SaveAlone(const std::string& path, int orders) {
  ComponentHost host(path);
  host.Let("InvoiceNo", Variant::String("500"));
  host.Let("PrintInvoiceBy", Variant::Long(0));
  host.Let("BeginOrder", Variant::String(std::to_string(kFirstOrder)));
  host.Let("EndOrder", Variant::String(LastOrder(orders)));
  host.Let("CustID", Variant::String(""));
  host.Let("ShipTo", Variant::String(""));
  host.Let("TransactionMode", Variant::Long(1));
  if (!host.Succeeds("Save")) throw std::runtime_error("Save answered False");
}

struct GroupingCase {
  const char* name;
  std::vector<std::string> selection;  // after --by name; {last} stands for the last order
};

// One customer holds every order, so the groupings by customer make one
// invoice of all of them; the unit is the order either way.
const std::vector<GroupingCase> kGroupings = {
    {"order", {"--from", std::to_string(kFirstOrder), "--to", "{last}"}},
    {"shipto", {"--customer", "C1001", "--shipto", "HQ"}},
    {"customer", {"--customer", "C1001"}},
    {"custorder", {"--customer", "C1001", "--from", std::to_string(kFirstOrder), "--to", "{last}"}},
};

double CreateSeconds(const HostRunOptions& o, const Folder& folder, const GroupingCase& g, int orders) {
  const std::string books = folder.file(std::string("create-") + g.name + ".db");
  CreateBooks(books, {orders, 5, 1, 0});
  std::vector<std::string> args = {"--db", books, "create", "--by", g.name};
  for (const auto& s : g.selection) args.push_back(s == "{last}" ? LastOrder(orders) : s);
  return RunTarvik(o.tarvik, folder, args);
}

// Books of `headers` invoice headers plus two real invoices (numbers
// headers + 1 and + 2) of orders with lines left open.
std::string OneInvoiceBooks(const HostRunOptions& o, const Folder& folder, int headers) {
  const std::string books = folder.file("one-invoice-" + std::to_string(headers) + ".db");
  CreateBooks(books, {4, 5, 1, headers, 1});
  RunTarvik(o.tarvik, folder,
            {"--db", books, "--answers", "[7]", "create", "--by", "order", "--from",
             std::to_string(kFirstOrder), "--to", std::to_string(kFirstOrder + 1), "--invoice-no",
             std::to_string(headers + 1)});
  return books;
}

struct OneInvoiceCase {
  const char* name;
  std::vector<std::string> args;  // {n} stands for the first real invoice, {m} for the second
};

// In the order they run: delete changes the books last.
const std::vector<OneInvoiceCase> kOneInvoice = {
    {"show", {"show", "{n}"}},
    {"show --json", {"show", "{n}", "--json"}},
    {"print --generate-only", {"print", "{n}", "--generate-only"}},
    {"check", {"check"}},
    {"delete", {"delete", "{m}", "--yes"}},
};

double OneInvoiceSeconds(const HostRunOptions& o, const Folder& folder, const std::string& books,
                         int headers, const OneInvoiceCase& c) {
  std::vector<std::string> args = {"--db", books};
  for (const auto& a : c.args) {
    args.push_back(a == "{n}" ? std::to_string(headers + 1)
                   : a == "{m}" ? std::to_string(headers + 2)
                                : a);
  }
  return RunTarvik(o.tarvik, folder, args);
}

// The cost per unit at the large size over that at the small one.
void CheckLinear(Report& report, const std::string& name, const std::string& unit, double small_s,
                 int small_n, double large_s, int large_n) {
  report.Add({name + ", " + std::to_string(small_n) + " " + unit, "seconds", small_s, 0});
  report.Add({name + ", " + std::to_string(large_n) + " " + unit, "seconds", large_s, 0});
  report.Check({"host " + name + " per " + unit + ", " + std::to_string(large_n) + " vs " +
                    std::to_string(small_n),
                (large_s / large_n) / (small_s / small_n), 1.3, true});
}

}  // namespace

std::string DefaultTarvikPath(const std::string& bench_program) {
  if (const char* given = std::getenv("TARVIK_BENCH_TARVIK")) return given;
  std::error_code ec;
  const fs::path self = fs::read_symlink(bench_program, ec);
  const fs::path dir = ec ? fs::absolute(bench_program).parent_path() : self.parent_path();
  return (dir / "tarvik").string();
}

void RunHostBenchmarks(const HostRunOptions& o, Report& report) {
  if (!fs::exists(o.tarvik)) throw std::runtime_error("no tarvik program at " + o.tarvik);
  const Folder folder;
  // The program registers its server in a registry of its own.
  setenv("TARVIK_CLASS_REGISTRY", folder.file("classes.json").c_str(), 1);
  std::printf("The tarvik program: %s\n", o.tarvik.c_str());

  {
    // Both sides on fresh copies of the same books, in turn, the best of
    // three each: one run of each let a slow stretch of the machine decide
    // the ratio (1.00 to 1.41 between full runs, the processor seconds too).
    const std::string books = folder.file("create-books.db");
    const std::string saved = folder.file("save-alone.db");
    const std::string created = folder.file("tarvik-create.db");
    CreateBooks(books, {o.create_orders, 5, 10, 0});
    double save = 1e300, host = 1e300, save_cpu = 1e300, host_cpu = 1e300;
    for (int run = 0; run < 3; ++run) {
      CopyBooks(books, saved);
      const double cpu_before = ProcessCpuSeconds();
      save = std::min(save, Seconds([&] { SaveAlone(saved, o.create_orders); }));
      save_cpu = std::min(save_cpu, ProcessCpuSeconds() - cpu_before);
      double cpu = 0;
      host = std::min(host, RunTarvik(o.tarvik, folder,
                                      {"--db", CopyBooks(books, created), "create", "--by", "order", "--from",
                                       std::to_string(kFirstOrder), "--to", LastOrder(o.create_orders),
                                       "--invoice-no", "500"},
                                      &cpu));
      host_cpu = std::min(host_cpu, cpu);
    }
    const std::string name = "tarvik create, " + std::to_string(o.create_orders) + " orders | Save";
    report.Add({name, "seconds", host, save});
    report.Add({name, "cpu seconds", host_cpu, save_cpu});
    report.Check({"tarvik create vs the component's Save alone", host / save, 1.3, true});
  }

  for (const auto& g : kGroupings) {
    const double small = CreateSeconds(o, folder, g, o.orders_small);
    const double large = CreateSeconds(o, folder, g, o.orders_large);
    CheckLinear(report, std::string("create --by ") + g.name, "orders", small, o.orders_small, large,
                o.orders_large);
  }

  for (const char* command : {"list", "info"}) {
    double seconds[2] = {0, 0};
    const int headers[2] = {o.list_small, o.list_large};
    for (int size = 0; size < 2; ++size) {
      const std::string books = folder.file("list.db");
      CreateBooks(books, {10, 1, 1, headers[size]});
      // The best of three: one slow stretch of the machine made a run of
      // 1,000,000 headers take 14 s where the next ones took 10.
      seconds[size] = BestSeconds(3, [&] { RunTarvik(o.tarvik, folder, {"--db", books, command}); });
    }
    CheckLinear(report, command, "headers", seconds[0], headers[0], seconds[1], headers[1]);
  }

  // One invoice reported: the same cost on small and large books.
  const std::string small_books = OneInvoiceBooks(o, folder, o.headers_small);
  const std::string large_books = OneInvoiceBooks(o, folder, o.headers_large);
  for (const auto& c : kOneInvoice) {
    // Runs of half a second: the best of three, but a deletion happens once.
    const int runs = c.args.front() == "delete" ? 1 : 3;
    const double small =
        BestSeconds(runs, [&] { OneInvoiceSeconds(o, folder, small_books, o.headers_small, c); });
    const double large =
        BestSeconds(runs, [&] { OneInvoiceSeconds(o, folder, large_books, o.headers_large, c); });
    const std::string few = std::to_string(o.headers_small) + " headers";
    const std::string many = std::to_string(o.headers_large) + " headers";
    report.Add({std::string("tarvik ") + c.name + ", " + many + " | " + few, "seconds", large, small});
    report.Check({std::string("host ") + c.name + ", " + many + " vs " + few, large / small, 1.3, true});
  }
  fs::remove_all(folder.dir);
}

}  // namespace tarvik::bench
