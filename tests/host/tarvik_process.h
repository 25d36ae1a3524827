// Runs the built `tarvik` program as a subprocess, the way a suite script
// would, with its own class registry file so parallel tests never share one.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "data/host_connection.h"
#include "platform/com.h"

namespace tarvik::host_test {

// True when part stands anywhere in text (output checks).
inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
  bool hung = false;  // still running at the limit, and killed
  int killed_by = 0;  // the signal that ended it, 0 when it exited
};

// A fresh folder under the system temp folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// $TARVIK_BUILD_DIR/tarvik.
std::string TarvikPath();

// A tarvik process left running, for tests that signal it. Standard input,
// output and error are files, so nothing blocks however much it writes.
// `launcher` goes before the program (e.g. runuser -u nobody --).
class TarvikChild {
 public:
  TarvikChild(const std::vector<std::string>& args, const std::string& input,
              const std::string& registry, const std::string& cwd,
              const std::vector<std::string>& launcher = {});
  // A child still running is killed (SIGKILL) and reaped.
  ~TarvikChild();
  TarvikChild(const TarvikChild&) = delete;
  TarvikChild& operator=(const TarvikChild&) = delete;

  bool Running();
  void Signal(int signal);
  // Stops the child (SIGSTOP) and waits until it is stopped; false when it
  // exited instead. Signals sent while it is held are handled on Resume.
  bool Hold();
  void Resume();
  // What it has written to standard error so far.
  std::string ErrSoFar() const;
  // Waits for the end; with a limit, a run still going past it is killed
  // (SIGKILL) and marked hung.
  RunResult Wait(std::chrono::milliseconds limit = std::chrono::milliseconds::zero());

 private:
  TempDir io_;
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string start_error_;
};

// Runs tarvik with args, input on stdin; TARVIK_CLASS_REGISTRY = registry.
// Working folder: cwd. With a limit, a run still going past it is killed
// (SIGKILL) and marked hung, so a deadlock fails a test instead of stalling it.
RunResult RunTarvik(const std::vector<std::string>& args, const std::string& input,
                    const std::string& registry, const std::string& cwd,
                    std::chrono::milliseconds limit = std::chrono::milliseconds::zero(),
                    const std::vector<std::string>& launcher = {});

// A run on a pseudo-terminal that is the process's controlling terminal:
// standard error is on it, and standard input too when `typed` is given
// (the text is typed ahead, a line per answer); otherwise standard input is
// /dev/null. Standard output is a file. A run still going at `limit` is
// killed (SIGKILL) and marked hung, so a prompt waiting for more input
// fails the test instead of stalling it.
struct TerminalRun {
  int exit_code = -1;
  std::string terminal;  // what reached the terminal, the typed echo included
  std::string out;       // standard output
  bool hung = false;
};
TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::string& registry,
                          const TempDir& dir, const std::optional<std::string>& typed = std::nullopt,
                          std::chrono::milliseconds limit = std::chrono::minutes(4));

// One JSON value per non-empty line; a line that is not JSON fails the test.
std::vector<nlohmann::json> JsonLines(const std::string& text);

// The event lines (JSON objects) of standard error, without the host's own
// "tarvik: ..." lines between them.
std::vector<nlohmann::json> EventLines(const std::string& err);

std::string ReadFile(const std::string& path);

// Each test gets a folder and a registry of its own.
class TarvikTest {
 public:
  RunResult RunCli(const std::vector<std::string>& args, const std::string& input = {}) const;
  // Runs `tarvik script` on the lines; expects exit 0; returns every output line.
  std::vector<nlohmann::json> Script(const std::vector<std::string>& lines,
                                     const std::vector<std::string>& extra_args = {}) const;
  // Runs `prelude` then `lines` through `tarvik script`. Every reply must
  // come and the prelude's must succeed; returns the replies of `lines`,
  // and keeps the boxes shown (event lines) in *events when given.
  std::vector<nlohmann::json> ScriptAfter(const std::vector<std::string>& prelude,
                                          const std::vector<std::string>& lines,
                                          std::vector<nlohmann::json>* events = nullptr) const;
  // Creates a database in the test folder and returns its path.
  std::string InitDatabase(const std::string& name, bool demo) const;
  std::string registry() const { return dir_.file("classes.json"); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
};

// Only the reply lines (not the event lines) of a script run.
std::vector<nlohmann::json> Replies(const std::vector<nlohmann::json>& lines);

// A test on one database of its own (db_, made by the test's SetUp): runs
// commands on it and reads it back.
class DatabaseTest : public ::testing::Test, public TarvikTest {
 protected:
  ComPtr<data::HostConnection> Db() const;
  double Number(const std::string& sql) const;
  std::string Text(const std::string& sql) const;
  // args, then --db db_.
  RunResult Run(std::vector<std::string> args) const;
  // args with --json on db_; expects exit 0 and returns the document.
  nlohmann::json RunJson(std::vector<std::string> args) const;

  std::string db_;
};

// Script lines, object "i" and connection "c" unless named.
namespace line {
std::string Let(const std::string& member, const nlohmann::json& value, const std::string& obj = "i");
std::string Get(const std::string& member, const std::string& obj = "i");
std::string Call(const std::string& member, const nlohmann::json& args = nlohmann::json::array(),
                 const std::string& obj = "i");
std::string Sql(const std::string& query);
std::string Answers(const nlohmann::json& queue);
// Opens `db` as "c", creates each (as, progid) and connects it to "c".
std::vector<std::string> OpenAndConnect(const std::string& db,
                                        const std::vector<std::pair<std::string, std::string>>& objects);
}  // namespace line

}  // namespace tarvik::host_test
