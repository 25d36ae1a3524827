// The progress bar as a clerk sees it: `tarvik create` run with its
// standard error on a terminal (a pseudo-terminal here), and without one.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"
#include "tests/support/packed_orders.h"

namespace tarvik::host_test {
namespace {

constexpr int kFirstKey = 50000;
constexpr int kFirstOrder = 700000;
constexpr int kOrders = 1000;
constexpr const char* kEraseLine = "\r\x1b[K";

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
