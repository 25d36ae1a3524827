// Ctrl-C and SIGTERM in the middle of a large `tarvik create`: the program
// finishes the posting it is in, reports what it made and exits with
// 128 + the signal, and every invoice it saved is fully posted.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/order_copies.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {

using testing::ScalarNumber;

// The demo's orders again, copies times over, under new keys and numbers;
// no back-order offer and no partial-picking refusal get in the way.
void Enlarge(data::HostConnection& c, int copies) {
  testing::AddOrderCopies(c, copies);
  c.Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Invoice No Partial Picking'");
  c.Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Auto Backorder'");
}

bool HasTable(data::HostConnection& c, const std::string& name) {
  try {
    c.OpenQuery("SELECT COUNT(*) FROM " + name)->Seek(0);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

struct StopCase {
  const char* name;
  int signal;
  int exit_code;
};

class StopSignalTest : public ::testing::TestWithParam<StopCase>, public TarvikTest {};

TEST_P(StopSignalTest, ALargeCreateFinishesItsPostingReportsAndExitsWithTheSignal) {
  const std::string db = InitDatabase("big.db", true);
  Enlarge(*data::OpenConnection(db), 200);  // 4,800 orders: seconds of work

  TarvikChild child({"--db", db, "create", "--by", "order", "--from", "1", "--to", "999999999"}, "",
                    registry(), dir().path().string());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  ASSERT_TRUE(child.Running()) << "the run ended before the signal; enlarge the books";
  child.Signal(GetParam().signal);
  // The second signal must come after the first was handled and before the
  // run ends; a step can end within milliseconds, so the child is held still
  // while it is sent.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (child.Running() && !Contains(child.ErrSoFar(), "stopping after the current step") &&
         std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool held = child.Hold();
  if (held) {
    child.Signal(GetParam().signal);
    child.Resume();
  }
  const RunResult r = child.Wait(std::chrono::minutes(5));

  ASSERT_FALSE(r.hung);
  EXPECT_EQ(r.killed_by, 0) << "ended by the signal instead of exiting";
  EXPECT_EQ(r.exit_code, GetParam().exit_code) << r.err;
  EXPECT_TRUE(Contains(r.err, "tarvik: stopping after the current step...")) << r.err;
  // Only when the run was still going could it hear the second signal.
  if (held) {
    EXPECT_TRUE(Contains(r.err, "still finishing; the books stay whole")) << r.err;
  }
  EXPECT_TRUE(Contains(r.err, std::string("stopped by ") + GetParam().name)) << r.err;

  auto c = data::OpenConnection(db);
  const double invoices = ScalarNumber(*c, "SELECT COUNT(*) FROM Invoice_Header");
  EXPECT_GT(invoices, 0);
  EXPECT_TRUE(Contains(r.out, "Created " + std::to_string(static_cast<long>(invoices)) + " invoices."))
      << r.out.substr(0, 200);
  // Every invoice saved is relieved, in full, and its orders' status posted.
  EXPECT_EQ(ScalarNumber(*c, "SELECT COUNT(*) FROM Invoice_Header h WHERE NOT EXISTS "
                             "(SELECT 1 FROM Inventory_Ledger l WHERE l.invoice_no = h.invoice_no)"),
            0);
  EXPECT_DOUBLE_EQ(ScalarNumber(*c, "SELECT -SUM(quantity) FROM Inventory_Ledger"),
                   ScalarNumber(*c, "SELECT SUM(quantity) FROM Invoice_Detail"));
  EXPECT_EQ(ScalarNumber(*c, "SELECT COUNT(*) FROM Order_Header h WHERE h.order_status < 1 AND EXISTS "
                             "(SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND "
                             "d.quantity_invoiced > 0)"),
            0);
  for (const char* markers : {"Invoice_Pending", "Order_Status_Pending"}) {
    if (HasTable(*c, markers)) {
      EXPECT_EQ(ScalarNumber(*c, std::string("SELECT COUNT(*) FROM ") + markers), 0) << markers;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         ::testing::Values(StopCase{"SIGINT", SIGINT, 130},
                                           StopCase{"SIGTERM", SIGTERM, 143}),
                         [](const auto& info) { return std::string(info.param.name); });

// The demo runs many calls; a stop ends it between them, with its summary.
TEST(DemoStopTest, TheDemoStopsBetweenItsRunsAndSumsUpWhatItDid) {
  if (!testing::TestPostgresServer().empty()) GTEST_SKIP() << "the demo makes its own SQLite books";
  TarvikTest t;
  const std::string folder = t.dir().file("demo");
  TarvikChild child({"demo", "--dir", folder, "--json"}, "", t.registry(), t.dir().path().string());
  // The demo takes well under a second: it is held still once its books
  // exist, so the stop lands while it runs, whatever the machine's speed.
  while (child.Running() && !std::filesystem::exists(folder + "/demo.db")) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  child.Signal(SIGSTOP);
  ASSERT_TRUE(child.Running()) << "the demo ended before the signal";
  child.Signal(SIGINT);
  child.Signal(SIGCONT);
  const RunResult r = child.Wait(std::chrono::minutes(2));
  ASSERT_FALSE(r.hung);
  EXPECT_EQ(r.killed_by, 0);
  EXPECT_EQ(r.exit_code, 130) << r.err;
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  EXPECT_EQ(doc["stopped"], "SIGINT");
  EXPECT_EQ(doc["problems"], nlohmann::json::array());

  auto c = data::OpenConnection(folder + "/demo.db");
  EXPECT_EQ(ScalarNumber(*c, "SELECT COUNT(*) FROM Invoice_Header"),
            doc["summary"]["invoices_made"].get<double>());
  EXPECT_EQ(ScalarNumber(*c, "SELECT COUNT(*) FROM Invoice_Header h WHERE NOT EXISTS "
                             "(SELECT 1 FROM Inventory_Ledger l WHERE l.invoice_no = h.invoice_no)"),
            0);
}

}  // namespace
}  // namespace tarvik::host_test
