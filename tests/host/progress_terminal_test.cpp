// The progress bar as a clerk sees it: `tarvik create` run with its
// standard error on a terminal (a pseudo-terminal here), and without one.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/packed_orders.h"

extern char** environ;

namespace tarvik::host_test {
namespace {

constexpr int kFirstKey = 50000;
constexpr int kFirstOrder = 700000;
constexpr int kOrders = 1000;
constexpr const char* kEraseLine = "\r\x1b[K";

struct TerminalRun {
  int exit_code = -1;
  std::string terminal;  // what reached the terminal (standard error)
  std::string out;       // standard output, a file
};

// Runs tarvik with standard error on a new pseudo-terminal that is also the
// process's controlling terminal; reads it until the program ends.
TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::string& registry,
                          const TempDir& dir) {
  TerminalRun r;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    if (master >= 0) close(master);
    return r;
  }
  const std::string slave_name = ptsname(master);
  const std::string out_path = dir.file("terminal-run.out");

  std::vector<std::string> argv_text{TarvikPath()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_text) argv.push_back(s.data());
  argv.push_back(nullptr);
  const std::string registry_env = "TARVIK_CLASS_REGISTRY=" + registry;

  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const int slave = open(slave_name.c_str(), O_RDWR);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (slave < 0 || in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(slave, 2);
    close(master);
    putenv(const_cast<char*>(registry_env.c_str()));
    execv(argv[0], argv.data());
    _exit(127);
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n > 0) {
      r.terminal.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the last holder of the terminal is gone
    }
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile(out_path);
  return r;
}

class ProgressTerminalTest : public DatabaseTest {
 protected:
  std::vector<std::string> WithDatabase(std::vector<std::string> args) const {
    args.insert(args.end(), {"--db", db_});
    return args;
  }
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    testing::AddPackedOrders(*Db(), kFirstKey, kFirstOrder, kOrders);
  }
  std::vector<std::string> CreateArgs() const {
    return {"create", "--by", "order", "--from", std::to_string(kFirstOrder), "--to",
            std::to_string(kFirstOrder + kOrders - 1)};
  }
};

TEST_F(ProgressTerminalTest, ALongRunOnATerminalShowsAGrowingPercentageAndLeavesNoBarBehind) {
  const TerminalRun r = RunOnTerminal(WithDatabase(CreateArgs()), registry(), dir());
  ASSERT_EQ(r.exit_code, 0) << r.terminal;
  EXPECT_EQ(Number("SELECT COUNT(DISTINCT invoice_no) FROM Invoice_Detail WHERE order_key >= " +
                   std::to_string(kFirstKey)),
            kOrders);

  // Every drawing of the bar: "[####......] 45%".
  const std::regex bar(R"(\[(#*)(\.*)\] (?:\d+/\d+ )?(\d+)%)");
  std::vector<int> percents;
  for (auto it = std::sregex_iterator(r.terminal.begin(), r.terminal.end(), bar); it != std::sregex_iterator();
       ++it) {
    EXPECT_EQ((*it)[1].length() + (*it)[2].length(), 20U) << "the bar keeps its width";
    percents.push_back(std::stoi((*it)[3].str()));
  }
  ASSERT_GE(percents.size(), 2U) << "a run of " << kOrders << " orders draws the bar more than once:\n"
                                 << r.terminal;
  int distinct = 1;
  for (std::size_t i = 1; i < percents.size(); ++i) {
    if (percents[i] != percents[i - 1]) ++distinct;
  }
  EXPECT_GE(distinct, 2) << "the percentage moves";
  EXPECT_GE(percents.back(), percents.front());
  for (int p : percents) {
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 100);
  }
  EXPECT_EQ(r.terminal.find("steps"), std::string::npos) << "a bare step count tells a clerk nothing:\n" << r.terminal.substr(0, 600);

  // The bar is erased before the program ends, so the shell prompt and any
  // message stand on a clean line.
  const std::size_t last_bar = r.terminal.rfind('%');
  const std::size_t last_erase = r.terminal.rfind(kEraseLine);
  ASSERT_NE(last_erase, std::string::npos);
  EXPECT_GT(last_erase, last_bar);

  // The report of the run goes to standard output without any terminal codes.
  EXPECT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST_F(ProgressTerminalTest, WithoutATerminalNoBarIsDrawn) {
  const RunResult r = Run(CreateArgs());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('%'), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tarvik::host_test
