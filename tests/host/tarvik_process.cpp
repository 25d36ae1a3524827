#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <csignal>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace tarvik::host_test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "tarvik-host-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TarvikPath() {
  const char* dir = std::getenv("TARVIK_BUILD_DIR");
  return std::string(dir ? dir : TARVIK_BUILD_DIR_DEFAULT) + "/tarvik";
}

std::vector<nlohmann::json> EventLines(const std::string& err) {
  std::string events;
  std::size_t start = 0;
  while (start < err.size()) {
    std::size_t end = err.find('\n', start);
    if (end == std::string::npos) end = err.size();
    if (err[start] == '{') events += err.substr(start, end - start) + "\n";
    start = end + 1;
  }
  return JsonLines(events);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TarvikChild::TarvikChild(const std::vector<std::string>& args, const std::string& input,
                         const std::string& registry, const std::string& cwd,
                         const std::vector<std::string>& launcher) {
  std::ofstream(io_.file("in"), std::ios::binary) << input;

  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("TARVIK_CLASS_REGISTRY=", 0) != 0) env_text.emplace_back(*e);
  }
  env_text.push_back("TARVIK_CLASS_REGISTRY=" + registry);
  std::vector<char*> env;
  for (auto& s : env_text) env.push_back(s.data());
  env.push_back(nullptr);

  std::vector<std::string> argv_text = launcher;
  argv_text.push_back(TarvikPath());
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_text) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, io_.file("in").c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, io_.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, io_.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    start_error_ = "cannot start " + argv_text[0];
  }
}

TarvikChild::~TarvikChild() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
}

bool TarvikChild::Running() {
  if (pid_ <= 0 || reaped_) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

void TarvikChild::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

bool TarvikChild::Hold() {
  if (!Running()) return false;
  kill(pid_, SIGSTOP);
  int status = 0;
  if (waitpid(pid_, &status, WUNTRACED) != pid_) return false;
  if (WIFSTOPPED(status)) return true;
  status_ = status;
  reaped_ = true;
  return false;
}

void TarvikChild::Resume() {
  if (Running()) kill(pid_, SIGCONT);
}

std::string TarvikChild::ErrSoFar() const { return ReadFile(io_.file("err")); }

RunResult TarvikChild::Wait(std::chrono::milliseconds limit) {
  RunResult r;
  if (pid_ <= 0) {
    r.err = start_error_;
    return r;
  }
  if (!reaped_ && limit == std::chrono::milliseconds::zero()) {
    waitpid(pid_, &status_, 0);
    reaped_ = true;
  } else if (!reaped_) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        reaped_ = true;
        r.hung = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  r.exit_code = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  if (WIFSIGNALED(status_)) r.killed_by = WTERMSIG(status_);
  r.out = ReadFile(io_.file("out"));
  r.err = ReadFile(io_.file("err"));
  return r;
}

RunResult RunTarvik(const std::vector<std::string>& args, const std::string& input,
                    const std::string& registry, const std::string& cwd,
                    std::chrono::milliseconds limit, const std::vector<std::string>& launcher) {
  return TarvikChild(args, input, registry, cwd, launcher).Wait(limit);
}

TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::string& registry,
                          const TempDir& dir, const std::optional<std::string>& typed,
                          std::chrono::milliseconds limit) {
  TerminalRun r;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    if (master >= 0) close(master);
    return r;
  }
  const std::string slave_name = ptsname(master);
  // Held open until the child has its own, so what is typed ahead is kept.
  const int held = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
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
    const int slave = open(slave_name.c_str(), O_RDWR);  // the controlling terminal
    const int in = typed ? slave : open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (slave < 0 || in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(slave, 2);
    close(master);
    if (held >= 0) close(held);
    putenv(const_cast<char*>(registry_env.c_str()));
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (typed && !typed->empty() && write(master, typed->data(), typed->size()) < 0) {
    ADD_FAILURE() << "cannot type on the terminal";
  }
  if (held >= 0) close(held);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buf[4096];
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      r.hung = true;
      break;
    }
    pollfd ready{master, POLLIN, 0};
    const int n_ready = poll(&ready, 1, 100);
    if (n_ready < 0 && errno == EINTR) continue;
    if (n_ready == 0) continue;
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

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto j = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "not a JSON line: " << line;
    if (!j.is_discarded()) lines.push_back(std::move(j));
  }
  return lines;
}

std::vector<nlohmann::json> Replies(const std::vector<nlohmann::json>& lines) {
  std::vector<nlohmann::json> replies;
  for (const auto& l : lines) {
    if (!l.contains("event")) replies.push_back(l);
  }
  return replies;
}

RunResult TarvikTest::RunCli(const std::vector<std::string>& args, const std::string& input) const {
  return RunTarvik(args, input, registry(), dir_.path().string());
}

std::vector<nlohmann::json> TarvikTest::Script(const std::vector<std::string>& lines,
                                               const std::vector<std::string>& extra_args) const {
  std::string input;
  for (const auto& l : lines) input += l + "\n";
  std::vector<std::string> args = extra_args;
  args.push_back("script");
  RunResult r = RunCli(args, input);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return JsonLines(r.out);
}

std::vector<nlohmann::json> TarvikTest::ScriptAfter(const std::vector<std::string>& prelude,
                                                    const std::vector<std::string>& lines,
                                                    std::vector<nlohmann::json>* events) const {
  std::vector<std::string> all = prelude;
  all.insert(all.end(), lines.begin(), lines.end());
  if (events) events->clear();
  std::vector<nlohmann::json> replies;
  for (nlohmann::json& line : Script(all)) {
    if (!line.contains("event")) {
      replies.push_back(std::move(line));
    } else if (events) {
      events->push_back(std::move(line));
    }
  }
  EXPECT_EQ(replies.size(), all.size());
  for (std::size_t i = 0; i < prelude.size() && i < replies.size(); ++i) {
    EXPECT_EQ(replies[i]["ok"], true) << all[i] << " -> " << replies[i].dump();
  }
  replies.erase(replies.begin(), replies.begin() + static_cast<long>(std::min(prelude.size(), replies.size())));
  return replies;
}

std::string TarvikTest::InitDatabase(const std::string& name, bool demo) const {
  // Against a PostgreSQL server every call gets its own fresh database.
  std::string path = testing::TestPostgresServer().empty() ? dir_.file(name) : testing::NewPostgresDatabase();
  std::vector<std::string> args = {"init"};
  if (demo) args.push_back("--demo");
  args.push_back(path);
  RunResult r = RunCli(args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return path;
}

ComPtr<data::HostConnection> DatabaseTest::Db() const { return data::OpenConnection(db_); }
double DatabaseTest::Number(const std::string& sql) const { return testing::ScalarNumber(*Db(), sql); }
std::string DatabaseTest::Text(const std::string& sql) const { return testing::ScalarText(*Db(), sql); }

RunResult DatabaseTest::Run(std::vector<std::string> args) const {
  args.insert(args.end(), {"--db", db_});
  return RunCli(args);
}

nlohmann::json DatabaseTest::RunJson(std::vector<std::string> args) const {
  args.push_back("--json");
  RunResult r = Run(args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return nlohmann::json::parse(r.out);
}

namespace line {
using nlohmann::json;
std::string Let(const std::string& member, const json& value, const std::string& obj) {
  return json{{"op", "let"}, {"obj", obj}, {"member", member}, {"value", value}}.dump();
}
std::string Get(const std::string& member, const std::string& obj) {
  return json{{"op", "get"}, {"obj", obj}, {"member", member}}.dump();
}
std::string Call(const std::string& member, const json& args, const std::string& obj) {
  return json{{"op", "call"}, {"obj", obj}, {"member", member}, {"args", args}}.dump();
}
std::string Sql(const std::string& query) {
  return json{{"op", "sql"}, {"conn", "c"}, {"query", query}}.dump();
}
std::string Answers(const json& queue) { return json{{"op", "answers"}, {"queue", queue}}.dump(); }
std::vector<std::string> OpenAndConnect(const std::string& db,
                                        const std::vector<std::pair<std::string, std::string>>& objects) {
  std::vector<std::string> lines = {json{{"op", "open"}, {"db", db}, {"as", "c"}}.dump()};
  for (const auto& [as, progid] : objects) {
    lines.push_back(json{{"op", "create"}, {"progid", progid}, {"as", as}}.dump());
    lines.push_back(json{{"op", "set"}, {"obj", as}, {"member", "Connect"}, {"ref", "c"}}.dump());
  }
  return lines;
}
}  // namespace line

}  // namespace tarvik::host_test
