// A password given in a PostgreSQL URI, in the user part or as a parameter,
// never shows: not in what the commands print, not in their errors, not in
// the process list once the options are read.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

constexpr const char* kPassword = "Pw4Books";

// The test server trusts local connections, so a password in the URI is
// carried to the server and everywhere the URI goes, but not needed.
std::string InUserPart(const std::string& uri) {
  const std::size_t at = uri.find('@');
  if (at == std::string::npos) return {};
  return uri.substr(0, at) + ":" + kPassword + uri.substr(at);
}
std::string AsParameter(const std::string& uri) {
  return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "password=" + kPassword;
}

class SecretsTest : public ::testing::Test, public TarvikTest {
 protected:
  void SetUp() override {
    if (testing::TestPostgresServer().empty()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
    uri_ = testing::NewPostgresDatabase();
    if (InUserPart(uri_).empty()) GTEST_SKIP() << "the server URI names no user";
  }
  // Every form of the password stays out of what a run said.
  static void ExpectNoPassword(const RunResult& r) {
    EXPECT_EQ((r.out + r.err).find(kPassword), std::string::npos) << r.out << r.err;
  }
  std::string uri_;
};

TEST_F(SecretsTest, CommandsNameTheDatabaseWithoutThePassword) {
  const RunResult init = RunCli({"init", InUserPart(uri_)});
  EXPECT_EQ(init.exit_code, 0) << init.err;
  ExpectNoPassword(init);
  EXPECT_TRUE(Contains(init.out + init.err, uri_)) << init.out << init.err;

  for (const std::string& given : {InUserPart(uri_), AsParameter(uri_)}) {
    SCOPED_TRACE(given == AsParameter(uri_) ? "parameter" : "user part");
    const RunResult again = RunCli({"init", given});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    ExpectNoPassword(again);
    const RunResult info = RunCli({"--db", given, "info"});
    EXPECT_EQ(info.exit_code, 0) << info.err;
    ExpectNoPassword(info);
    const RunResult json = RunCli({"--db", given, "info", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    ExpectNoPassword(json);
    const std::string named = nlohmann::json::parse(json.out).at("database").get<std::string>();
    EXPECT_EQ(named, given == AsParameter(uri_) ? uri_ + "?password=***" : uri_);
  }
}

TEST_F(SecretsTest, RefusalsAndConnectionErrorsLeaveThePasswordOut) {
  // Books of another program: init refuses them.
  data::OpenConnection(uri_)->ExecuteWith("CREATE TABLE their_table (a integer)", {});
  for (const std::string& given : {InUserPart(uri_), AsParameter(uri_)}) {
    const RunResult init = RunCli({"init", given});
    EXPECT_NE(init.exit_code, 0) << init.out;
    ExpectNoPassword(init);
    const RunResult info = RunCli({"--db", given, "info", "--json"});
    EXPECT_NE(info.exit_code, 0) << info.out;
    ExpectNoPassword(info);
  }
  // A database that is not there: the server's refusal quotes the connection.
  const std::string missing = uri_ + "_missing";
  for (const std::string& given : {InUserPart(missing), AsParameter(missing)}) {
    const RunResult info = RunCli({"--db", given, "info"});
    EXPECT_NE(info.exit_code, 0) << info.out;
    EXPECT_TRUE(Contains(info.err, "Cannot open database")) << info.err;
    ExpectNoPassword(info);
  }
}

// Another user of the machine reads /proc/PID/cmdline; the script command
// runs as long as its input stays open, so it is read while it waits.
TEST_F(SecretsTest, TheProcessListShowsTheUriWithoutThePassword) {
  ASSERT_EQ(RunCli({"init", uri_}).exit_code, 0);
  for (const std::string& given : {InUserPart(uri_), AsParameter(uri_)}) {
    int to_child[2], from_child[2];
    ASSERT_EQ(::pipe(to_child), 0);
    ASSERT_EQ(::pipe(from_child), 0);
    const std::string program = TarvikPath();
    const std::string registry_variable = "TARVIK_CLASS_REGISTRY=" + registry();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::dup2(to_child[0], 0);
      ::dup2(from_child[1], 1);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 2);
      ::close(to_child[1]);
      ::close(from_child[0]);
      ::putenv(const_cast<char*>(registry_variable.c_str()));
      const char* argv[] = {program.c_str(), "--db", given.c_str(), "script", nullptr};
      ::execv(program.c_str(), const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    // One answered line: the options have been read.
    const std::string request = "{\"op\":\"no such op\"}\n";
    ASSERT_EQ(::write(to_child[1], request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::string reply;
    char c = 0;
    while (::read(from_child[0], &c, 1) == 1 && c != '\n') reply += c;
    EXPECT_FALSE(reply.empty());

    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    const std::string shown((std::istreambuf_iterator<char>(cmdline)), {});
    ::close(to_child[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(from_child[0]);

    EXPECT_EQ(shown.find(kPassword), std::string::npos) << shown;
    EXPECT_NE(shown.find(uri_), std::string::npos) << shown;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

}  // namespace
}  // namespace tarvik::host_test
