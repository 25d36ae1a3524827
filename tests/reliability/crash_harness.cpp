#include "tests/reliability/crash_harness.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <filesystem>
#include <random>
#include <thread>

#include "data/backend.h"
#include "platform/error.h"
#include "platform/late_bound.h"
#include "tests/reliability/workflow_env.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

// The demo's orders again, copies times over, under new keys and numbers,
// so one Save has hundreds of invoices to make.
void Enlarge(data::HostConnection& c, int copies) {
  c.BeginTrans();
  for (int n = 1; n <= copies; ++n) {
    const std::string key = std::to_string(100000 * n), number = std::to_string(10000 * n);
    c.Execute(
        "INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, reference_no, "
        "order_date, due_date, order_header_discount, ship_via, price_struct, oeextra1, oeextra2, "
        "nonmerch_order, header_text_a, header_text_b, order_flag, order_comment, order_status) "
        "SELECT order_key + " + key + ", CAST(CAST(order_number AS INTEGER) + " + number +
        " AS TEXT), cust_id, shipto_name, reference_no, order_date, due_date, order_header_discount, "
        "ship_via, price_struct, oeextra1, oeextra2, nonmerch_order, header_text_a, header_text_b, "
        "order_flag, order_comment, order_status FROM Order_Header WHERE order_key < 100000");
    c.Execute(
        "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
        "quantity_picked, quantity_packed, quantity_invoiced, unit_price, order_detail_discount, "
        "line_code, line_flag_a, line_flag_b, line_status, backorder_key) "
        "SELECT order_key + " + key + ", line_no, item_number, site, quantity_ordered, "
        "quantity_picked, quantity_packed, quantity_invoiced, unit_price, order_detail_discount, "
        "line_code, line_flag_a, line_flag_b, line_status, backorder_key FROM Order_Detail "
        "WHERE order_key < 100000");
  }
  c.Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Invoice No Partial Picking'");
  c.Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Auto Backorder'");
  c.CommitTrans();
}

// The child's endless job: invoice everything, back-order the rest of the
// first invoice, then delete every invoice again, which reopens the orders.
[[noreturn]] void Work(const std::string& path, int cycle_seed) {
  try {
    WorkflowEnv env(path, /*copy=*/false);
    for (int cycle = 0;; ++cycle) {
      env.LetNumber("PrintInvoiceBy", 0);
      env.Let("BeginOrder", "1");
      env.Let("EndOrder", "999999999");
      const auto next = static_cast<long>(ScalarNumber(env.real(), "SELECT coalesce(max(invoice_no), 0) + 1 FROM Invoice_Header"));
      env.Let("InvoiceNo", std::to_string(next));
      env.LetNumber("TransactionMode", 1);
      env.Call("Save");

      std::vector<ScriptedUi::Answer> answers{{true, 6, std::nullopt}};
      for (int i = 0; i < 64; ++i) {
        answers.push_back({false, 0, "B" + std::to_string(cycle_seed) + "-" + std::to_string(cycle) + "-" + std::to_string(i)});
      }
      env.ui().SetAnswers(std::move(answers));
      env.real().Execute("UPDATE System SET option_value = '1' WHERE option_name = 'Auto Backorder'");
      env.CallBackOrder(std::to_string(next));
      env.real().Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Auto Backorder'");

      const std::string numbers = JoinedColumn(env.real(), "SELECT invoice_no FROM Invoice_Header ORDER BY 1");
      std::size_t at = 0;
      while (at < numbers.size()) {
        const std::size_t comma = numbers.find(',', at);
        const std::string n = numbers.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        at = comma == std::string::npos ? numbers.size() : comma + 1;
        env.ui().SetAnswers({{true, 6, std::nullopt}});
        env.Let("InvoiceNo", n);
        env.Let("UserID", "crash");
        env.Call("Delete");
      }
    }
  } catch (...) {
  }
  _exit(3);  // only an error ends the job; a clean run is always killed
}

// A fresh work copy of the prepared books, the earlier one removed: a file
// copy, or on a server a new database made from the prepared one.
std::string FreshCopy(const std::string& prepared, const std::string& earlier) {
  if (!TestPostgresServer().empty()) {
    if (!earlier.empty()) DropPostgresDatabase(earlier);
    return CopyPostgresDatabase(prepared);
  }
  const std::string work = prepared + ".crash";
  std::filesystem::copy_file(prepared, work, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(work + "-journal");
  std::filesystem::remove(work + "-wal");
  return work;
}

// Ends the server sessions on the work database, as a failed network or an
// administrator would; true when there was one to end.
bool CutConnections(const std::string& work) {
  auto admin = data::OpenBackend(TestPostgresServer());
  auto rs = admin->Query(
      "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE datname = $1 AND pid <> pg_backend_pid()",
      {data::Value{PostgresDatabaseName(work)}});
  return rs->Seek(0) && std::get<std::int64_t>(rs->Column(0)) > 0;
}

// Waits until the server has ended every session of the work database, so
// that the checks and the next job do not meet a dying one.
void AwaitNoSessions(const std::string& work) {
  auto admin = data::OpenBackend(TestPostgresServer());
  for (int i = 0; i < 200; ++i) {
    auto rs = admin->Query("SELECT count(*) FROM pg_stat_activity WHERE datname = $1",
                           {data::Value{PostgresDatabaseName(work)}});
    if (rs->Seek(0) && std::get<std::int64_t>(rs->Column(0)) == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// Grows with every posting the job commits: proof the kills land mid-work.
double Progress(const std::string& path) {
  auto c = data::OpenConnection(path);
  return ScalarNumber(*c, "SELECT (SELECT count(*) FROM Inventory_Ledger) + (SELECT count(*) FROM Invoice_Delete)");
}

std::string Checked(const std::string& path) {
  auto c = data::OpenConnection(path);
  if (TestPostgresServer().empty()) {
    const std::string integrity = ScalarText(*c, "PRAGMA integrity_check");
    if (integrity != "ok") return "integrity_check: " + integrity;
  }
  std::string wrong;
  for (const std::string& broken : BrokenInvariants(*c)) wrong += (wrong.empty() ? "" : "; ") + broken;
  return wrong;
}

}  // namespace

CrashResult RunCrashHarness(const CrashRun& run, std::ostream& out) {
  const TempDatabase prepared;
  {
    auto c = data::OpenConnection(prepared.path());
    Enlarge(*c, run.copies);
  }
  const bool server = !TestPostgresServer().empty();
  std::string work;
  std::mt19937 random(run.seed);
  // The delay range grows while kills land before any commit, so a slow
  // machine (or a sanitizer build) is still killed in the middle of work.
  int longest_ms = 400;
  CrashResult result;
  double progress = -1;
  for (int i = 0; i < run.kills; ++i) {
    // A fresh copy now and then, so early states are hit again too.
    if (i % 25 == 0) {
      work = FreshCopy(prepared.path(), work);
      progress = Progress(work);
    }
    const int delay = std::uniform_int_distribution<int>(1, longest_ms)(random);
    std::cout.flush();
    out.flush();
    const pid_t child = fork();
    if (child == 0) Work(work, i);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    int status = 0;
    const bool ended_early = waitpid(child, &status, WNOHANG) == child;
    if (!ended_early) {
      // On a server every other kill cuts the job's connection instead: the
      // server ends the session in mid-transaction and the job dies of it.
      if (server && i % 2 == 1 && CutConnections(work)) {
        for (int wait = 0; wait < 100 && waitpid(child, &status, WNOHANG) != child; ++wait) {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ++result.cuts;
      }
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ++result.kills;
    } else {
      out << "kill " << i << ": the job ended by itself (status " << status << ")\n";
    }
    if (server) AwaitNoSessions(work);
    const std::string wrong = Checked(work);
    if (wrong.empty()) {
      const double now = Progress(work);
      if (now != progress) {
        ++result.progressed;
      } else if (longest_ms < 20000) {
        longest_ms *= 2;
      }
      progress = now;
    }
    if (wrong.empty() && !ended_early) {
      ++result.consistent;
    } else if (!wrong.empty()) {
      out << "kill " << i << " after " << delay << " ms: " << wrong << "\n";
    }
  }
  if (server) {
    DropPostgresDatabase(work);
  } else {
    std::filesystem::remove(work);
  }
  out << "kills after which committed work was found: " << result.progressed << "\n";
  out << "target crash-consistency" << (server ? "-postgres" : "") << ": " << result.kills << " kills";
  if (server) out << " (" << result.cuts << " by cutting the connection)";
  out << ", " << result.consistent << " consistent "
      << (result.kills == run.kills && result.consistent == result.kills ? "pass" : "fail") << std::endl;
  return result;
}

}  // namespace tarvik::testing
