// TARVIK_UI_ANSWERS and TARVIK_UI_LOG as the real program sees them: a
// command given no --answers takes the environment's, --answers wins over
// them, the log gets every box, and a bad list is said and defaulted.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/scoped_variable.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;
using testing::ScopedVariable;

constexpr const char* kQuestion = "Are you sure you want to delete Invoice '1041'?";

class EnvironmentAnswersTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("shop.db", true);
    ASSERT_TRUE(Db()->Execute(
        "INSERT INTO Invoice_Header (invoice_no, invoice_by, export_flag) VALUES (1041, 0, 0)"));
  }
  double Kept() const { return Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no = 1041"); }
  std::string LogPath() const { return dir().file("boxes.log"); }
  std::vector<json> LogLines() const { return JsonLines(ReadFile(LogPath())); }
};

TEST_F(EnvironmentAnswersTest, DeleteIsAnsweredFromTheEnvironmentUnlessAnswersAreGiven) {
  const struct {
    const char* name;
    std::optional<std::string> env_answers;
    bool log;
    std::vector<std::string> extra_args;
    int answer;  // the one the box got
    bool reported;  // the list was refused on stderr
  } cases[] = {
      {"yes from the list", "[6]", false, {}, 6, false},
      {"no from the list, logged", "[7]", true, {}, 7, false},
      {"the log alone: the default, No", std::nullopt, true, {}, 7, false},
      {"--answers wins and is logged too", "[7]", true, {"--answers", "[6]"}, 6, false},
      {"a bad list: said, then the default", "[6,", true, {}, 7, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(LogPath().c_str());
    ScopedVariable answers("TARVIK_UI_ANSWERS", c.env_answers);
    ScopedVariable log("TARVIK_UI_LOG", c.log ? std::optional<std::string>(LogPath()) : std::nullopt);
    std::vector<std::string> args = {"delete", "1041"};
    args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
    const RunResult r = Run(args);

    EXPECT_EQ(r.exit_code, c.answer == 6 ? 0 : 1) << r.err;
    EXPECT_EQ(Kept(), c.answer == 6 ? 0 : 1);
    EXPECT_EQ(Contains(r.err, "TARVIK_UI_ANSWERS ignored, every box takes its default"), c.reported)
        << r.err;
    // The box is echoed on stderr as with --answers.
    EXPECT_TRUE(Contains(r.err, R"("event":"msgbox")")) << r.err;
    if (c.log) {
      const std::vector<json> lines = LogLines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], json({{"event", "msgbox"},
                                {"text", kQuestion},
                                {"style", 308},
                                {"title", "Delete Records"},
                                {"answer", c.answer}}));
    }
    if (c.answer == 6) {
      ASSERT_TRUE(Db()->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by, export_flag) "
                                "VALUES (1041, 0, 0)"));
    }
  }
}

TEST_F(EnvironmentAnswersTest, AScriptTakesItsFirstQueueFromTheEnvironmentAndLogsItsBoxes) {
  ScopedVariable answers("TARVIK_UI_ANSWERS", "[7, 6]");
  ScopedVariable log("TARVIK_UI_LOG", LogPath());
  std::vector<std::string> lines = line::OpenAndConnect(db_, {{"i", "TarvikInvoice.Invoice"}});
  lines.insert(lines.end(), {line::Let("InvoiceNo", "1041"), line::Call("Delete"), line::Call("Delete")});
  std::string input;
  for (const auto& l : lines) input += l + "\n";
  const RunResult r = RunCli({"script"}, input);
  ASSERT_EQ(r.exit_code, 0) << r.err;

  std::vector<json> events;
  for (const json& line : JsonLines(r.out)) {
    if (line.contains("event")) events.push_back(line);
  }
  ASSERT_EQ(events.size(), 2u) << r.out;
  EXPECT_EQ(events[0]["answer"], 7);
  EXPECT_EQ(events[1]["answer"], 6);
  // The log holds the same lines as the output.
  EXPECT_EQ(LogLines(), events);
  EXPECT_EQ(Kept(), 0);
}

}  // namespace
}  // namespace tarvik::host_test
