// Several `tarvik` processes working one database at once. Invoice numbers
// are not reserved, so racing creators clash on the key and retry with a
// fresh number; whatever the interleaving, every packed order ends up
// invoiced once and the stock agrees with the ledger.

#include <chrono>
#include <cstdio>
#include <map>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data/host_connection.h"
#include "tests/host/tarvik_process.h"
#include "tests/support/temp_database.h"

namespace tarvik::host_test {
namespace {


constexpr int kFirstOrder = 9000;
constexpr auto kProcessLimit = std::chrono::seconds(60);
constexpr int kAttempts = 40;

RunResult RunBounded(const std::vector<std::string>& args, const std::string& registry, const std::string& cwd) {
  return RunTarvik(args, "", registry, cwd, kProcessLimit);
}

// A run that lost a race: it was refused with a message and changed nothing.
bool LostARace(const RunResult& r) {
  const std::string said = r.out + r.err;
  return r.exit_code == 1 && (Contains(said, "is already used") || Contains(said, "in use by another user"));
}

class ConcurrencyTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db_ = InitDatabase("busy.db", true);
    auto c = Db();
    c->BeginTrans();
    for (int k = 0; k < kOrders; ++k) {
      const int key = 1000 + k;
      c->ExecuteWith("INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, order_status) "
                     "VALUES (?1, ?2, 'C100', 'HQ', 0)",
                     {Variant::Long(key), Variant::String(std::to_string(kFirstOrder + k))});
      for (int line = 1; line <= 2; ++line) {
        c->ExecuteWith("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
                       "quantity_picked, quantity_packed, unit_price, line_status) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?5, ?5, 2.5, 2)",
                       {Variant::Long(key), Variant::Long(line), Variant::String(line == 1 ? "BOLT-10" : "NUT-10"),
                        Variant::String(k % 2 ? "EAST" : "MAIN"), Variant::Double(1 + k % 2)});
      }
    }
    c->CommitTrans();
  }


  // Runs one command, again while it loses a race; every other answer ends it.
  RunResult Retrying(const std::vector<std::string>& args) {
    RunResult last;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      RunResult o = RunBounded(args, registry(), dir().path().string());
      Note(args, o);
      last = o;
      if (o.hung || !LostARace(last)) break;
      std::lock_guard<std::mutex> lock(mutex_);
      ++lost_races_;
    }
    return last;
  }
  RunResult Once(const std::vector<std::string>& args) {
    RunResult o = RunBounded(args, registry(), dir().path().string());
    Note(args, o);
    return o;
  }
  // Failures are collected under a lock: gtest assertions belong on the main thread.
  void Note(const std::vector<std::string>& args, const RunResult& o) {
    std::string what;
    for (const auto& a : args) what += a + " ";
    const RunResult& r = o;
    std::lock_guard<std::mutex> lock(mutex_);
    if (o.hung) problems_.push_back(what + "did not end within the limit and was killed");
    if (r.exit_code > 1) problems_.push_back(what + "ended with " + std::to_string(r.exit_code) + ": " + r.err);
    if (r.exit_code == 1 && (r.out + r.err).find_first_not_of(" \n") == std::string::npos) {
      problems_.push_back(what + "failed without saying why");
    }
    // A busy SQLite file may refuse a run ("in use by another user"); that
    // is a lost race, retried. Anything rawer is a fault.
    if (Contains(r.out + r.err, "database is locked") && !Contains(r.out + r.err, "in use by another user")) {
      problems_.push_back(what + "passed on a raw lock error: " + r.err);
    }
    for (const char* crash : {"terminate called", "Segmentation", "Aborted", "exception"}) {
      if (Contains(r.out + r.err, crash)) problems_.push_back(what + "printed '" + crash + "': " + r.err);
    }
  }
  std::vector<std::string> CreateRange(int worker) const {
    const int from = kFirstOrder + worker * kPerWorker;
    return {"create", "--by", "order", "--from", std::to_string(from), "--to", std::to_string(from + kPerWorker - 1),
            "--db", db_, "--answers", "[7]"};
  }

  void ExpectEveryOrderInvoicedOnce(int first_worker, int workers) const {
    const std::string range = "o.order_key BETWEEN " + std::to_string(1000 + first_worker * kPerWorker) + " AND " +
                              std::to_string(1000 + (first_worker + workers) * kPerWorker - 1);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail o WHERE " + range), 2.0 * workers * kPerWorker);
    // Invoicing moves the packed quantity to invoiced; one invoice line holds it.
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail o WHERE " + range +
                     " AND (o.quantity_packed <> 0 OR o.quantity_invoiced <> 1 + (o.order_key - 1000) % 2)"),
              0);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail o WHERE " + range + " AND 1 <> (SELECT COUNT(*) FROM "
                     "Invoice_Detail d WHERE d.order_key = o.order_key AND d.line_no = o.line_no "
                     "AND d.quantity = o.quantity_invoiced)"),
              0);
  }
  void ExpectStockAgreesWithTheLedger() const {
    EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory i WHERE abs(i.on_hand - i.opening_on_hand - (SELECT "
                     "COALESCE(SUM(l.quantity), 0) FROM Inventory_Ledger l WHERE l.item_number = i.item_number "
                     "AND l.site = i.site)) > 0.0001"),
              0);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM (SELECT invoice_no FROM Invoice_Header GROUP BY invoice_no "
                     "HAVING COUNT(*) > 1) AS t"),
              0);
  }
  void ExpectNoProblems() {
    for (const auto& p : problems_) ADD_FAILURE() << p;
  }

  static constexpr int kPerWorker = 50;
  static constexpr int kOrders = 4 * kPerWorker;
  std::mutex mutex_;
  std::vector<std::string> problems_;
  int lost_races_ = 0;
};

// The clash two racing hosts run into, made on purpose: the number handed
// out is taken before the run saves.
TEST_F(ConcurrencyTest, ATakenNumberIsNamedAndTheRetryWithAFreshOneSucceeds) {
  ASSERT_EQ(Once(CreateRange(1)).exit_code, 0);
  const int taken = static_cast<int>(Number("SELECT MIN(invoice_no) FROM Invoice_Header"));
  const double headers = Number("SELECT COUNT(*) FROM Invoice_Header");
  const double ledger = Number("SELECT COUNT(*) FROM Inventory_Ledger");

  std::vector<std::string> args = CreateRange(0);
  args.insert(args.end(), {"--invoice-no", std::to_string(taken)});
  RunResult clash = Once(args);
  EXPECT_EQ(clash.exit_code, 1);
  EXPECT_TRUE(Contains(clash.out + clash.err, "invoice number " + std::to_string(taken) + " is already used"))
      << clash.out << clash.err;
  EXPECT_FALSE(Contains(clash.out + clash.err, "Key (")) << "the server's wording stays inside";
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), headers);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Inventory_Ledger"), ledger);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Detail WHERE quantity_invoiced <> 0 AND order_key < " +
                   std::to_string(1000 + kPerWorker) + " AND order_key >= 1000"),
            0)
      << "the refused run is rolled back whole";

  ASSERT_EQ(Once(CreateRange(0)).exit_code, 0);
  ExpectEveryOrderInvoicedOnce(0, 2);
  ExpectStockAgreesWithTheLedger();
  ExpectNoProblems();
}

TEST_F(ConcurrencyTest, FourCreatorsOnDisjointRangesInvoiceEveryOrderOnce) {
  std::vector<RunResult> results(4);
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) workers.emplace_back([&, w] { results[w] = Retrying(CreateRange(w)); });
  for (auto& t : workers) t.join();
  ExpectNoProblems();
  RecordProperty("lost_races", lost_races_);
  for (int w = 0; w < 4; ++w) EXPECT_EQ(results[w].exit_code, 0) << "worker " << w << ": " << results[w].err;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), kOrders);
  ExpectEveryOrderInvoicedOnce(0, 4);
  ExpectStockAgreesWithTheLedger();
}

TEST_F(ConcurrencyTest, CreatorsDeleterAndPrinterTogetherLoseNothing) {
  // Invoices for the last two ranges exist first, for the deleter and the printer.
  ASSERT_EQ(Retrying(CreateRange(2)).exit_code, 0);
  ASSERT_EQ(Retrying(CreateRange(3)).exit_code, 0);
  const int low = static_cast<int>(Number("SELECT MIN(invoice_no) FROM Invoice_Header"));
  const int high = static_cast<int>(Number("SELECT MAX(invoice_no) FROM Invoice_Header"));
  ASSERT_EQ(high - low + 1, 2 * kPerWorker);
  problems_.clear();

  std::vector<RunResult> created(2);
  int deleted = 0;
  std::vector<int> print_refused;  // invoices whose print did not go through
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) workers.emplace_back([&, w] { created[w] = Retrying(CreateRange(w)); });
  // Every other invoice of the earlier runs goes; the printer walks all of them.
  workers.emplace_back([&] {
    for (int n = low; n <= high; n += 2) {
      RunResult r = Retrying({"delete", std::to_string(n), "--yes", "--db", db_});
      if (r.exit_code == 0) ++deleted;
    }
  });
  workers.emplace_back([&] {
    for (int n = low; n <= high; ++n) {
      RunResult r = Once({"--db", db_, "print", std::to_string(n), "--generate-only"});
      if (r.exit_code != 0) print_refused.push_back(n);
    }
  });
  for (auto& t : workers) t.join();
  ExpectNoProblems();
  for (int w = 0; w < 2; ++w) EXPECT_EQ(created[w].exit_code, 0) << "worker " << w << ": " << created[w].err;
  EXPECT_EQ(deleted, kPerWorker);
  // Only an invoice the deleter took may be refused (when it got there
  // first); the invoices nobody deleted print.
  for (int n : print_refused) EXPECT_EQ((n - low) % 2, 0) << "kept invoice " << n << " did not print";

  // The creators' orders are invoiced once; the deleted invoices are gone
  // with their lines, the others untouched.
  ExpectEveryOrderInvoicedOnce(0, 2);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header WHERE invoice_no BETWEEN " + std::to_string(low) + " AND " +
                   std::to_string(high) + " AND (invoice_no - " + std::to_string(low) + ") % 2 = 0"),
            0);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 3 * kPerWorker);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Delete"), kPerWorker);
  ExpectStockAgreesWithTheLedger();
}

std::string PdfText(const std::string& pdf) {
  std::string text;
  if (FILE* pipe = popen(("pdftotext -layout '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
    pclose(pipe);
  }
  return text;
}

// Clerks printing at once each get the invoice they asked for: one run's
// report rows are never emptied, refilled or read by another.
TEST_F(ConcurrencyTest, ParallelPrintsEachShowTheirOwnInvoice) {
  ASSERT_EQ(Retrying(CreateRange(0)).exit_code, 0);
  std::map<int, std::string> order_of;
  auto c = Db();
  auto rows = c->OpenQuery("SELECT d.invoice_no, o.order_number FROM Invoice_Detail d "
                           "JOIN Order_Header o ON o.order_key = d.order_key GROUP BY d.invoice_no, o.order_number");
  for (std::int64_t r = 0; rows->Seek(r); ++r) {
    order_of[static_cast<int>(std::get<std::int64_t>(rows->Column(0)))] = std::get<std::string>(rows->Column(1));
  }
  ASSERT_GE(order_of.size(), 10u);
  std::vector<int> numbers;
  for (const auto& [number, order] : order_of) numbers.push_back(number);

  constexpr int kPrinters = 4, kPrintsEach = 25;
  int printed = 0;
  std::vector<std::string> wrong;
  std::vector<std::thread> printers;
  for (int p = 0; p < kPrinters; ++p) {
    printers.emplace_back([&, p] {
      for (int k = 0; k < kPrintsEach; ++k) {
        const int number = numbers[static_cast<std::size_t>(p * kPrintsEach + k) % numbers.size()];
        const std::string pdf = dir().file("p" + std::to_string(p) + "-" + std::to_string(k) + ".pdf");
        RunResult r = Once({"--db", db_, "print", std::to_string(number), "--out", pdf});
        if (r.exit_code != 0) continue;
        const std::string text = PdfText(pdf);
        std::lock_guard<std::mutex> lock(mutex_);
        ++printed;
        if (text.rfind("Invoice " + std::to_string(number) + "\n", 0) != 0 ||
            !Contains(text, "Order: " + order_of[number] + "\n")) {
          wrong.push_back("invoice " + std::to_string(number) + " printed as: " + text.substr(0, text.find('\n', 20)));
        }
      }
    });
  }
  for (auto& t : printers) t.join();
  ExpectNoProblems();
  EXPECT_EQ(printed, kPrinters * kPrintsEach) << "every print goes through";
  EXPECT_EQ(wrong.size(), 0u);
  for (const auto& w : wrong) ADD_FAILURE() << w;
}

}  // namespace
}  // namespace tarvik::host_test
