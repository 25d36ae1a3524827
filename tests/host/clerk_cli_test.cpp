// The program as a clerk meets it, run as the real binary: back orders for
// every invoice of a run, the command line (help, version, mistyped
// commands, exit codes), readable and safe tables, the JSON documents, and
// the orders and options commands.
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/host/tarvik_process.h"

namespace tarvik::host_test {
namespace {

using nlohmann::json;

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class ClerkCliTest : public DatabaseTest {
 protected:
  void SetUp() override { db_ = InitDatabase("shop.db", true); }

  // One invoice per order for 1013 to 1016, each leaving one line open.
  RunResult CreateFourPartlyShipped(const std::string& answers, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"create", "--by", "order", "--from", "1013", "--to", "1016",
                                     "--answers", answers};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
};

TEST_F(ClerkCliTest, EveryInvoiceOfARunIsOfferedForBackOrderOnce) {
  // Per dialogue: Yes, the new number, OK on the closing box.
  RunResult r = CreateFourPartlyShipped(
      R"([6,"5001",1, 6,"5002",1, 6,"5003",1, 6,"5004",1])", {"--json"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const json doc = json::parse(r.out);
  ASSERT_EQ(doc["invoices"].size(), 4u);
  ASSERT_EQ(doc["back_orders"].size(), 4u) << r.err;
  std::vector<std::string> originals;
  for (const auto& bo : doc["back_orders"]) originals.push_back(bo["original_orders"][0]);
  std::sort(originals.begin(), originals.end());
  EXPECT_EQ(originals, (std::vector<std::string>{"1013", "1014", "1015", "1016"}));
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_comment LIKE 'System Generated%'"), 4);
  // One confirmation per invoice, each announced with its invoice.
  EXPECT_EQ(CountOf(r.err, "\"title\":\"Backorder Incomplete Line Items\""), 4) << r.err;
  for (const char* invoice : {"1", "2", "3", "4"}) {
    EXPECT_TRUE(Contains(r.err, std::string("back order for invoice ") + invoice + ": 1 line item "))
        << invoice << "\n" << r.err;
  }
  // The component's own text stays exactly as it is.
  EXPECT_TRUE(Contains(r.err, "There are 1 line items that were not completely invoiced."));
  EXPECT_FALSE(Contains(r.err, "not used")) << r.err;
}

TEST_F(ClerkCliTest, UnusedAnswersAreNamedAndTheTakenDefaultGetsAFreeNumberBesideIt) {
  // No declines all four (a No closes the dialogue); the numbers are never asked for.
  RunResult r = CreateFourPartlyShipped(R"([7,7,7,7,"5001","5002"])");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "2 answers were not used")) << r.err;
  EXPECT_TRUE(Contains(r.err, R"(["5001","5002"])")) << r.err;

  // The prompt's default is the original order's number; the host names a free one.
  RunResult b = Run({"backorder", "1", "--answers", R"([6, null])"});
  EXPECT_EQ(b.exit_code, 1);
  EXPECT_TRUE(Contains(b.err, "the suggested '1013' is the original order's own number and is taken"))
      << b.err;
  EXPECT_TRUE(Contains(b.err, "1025 is free")) << "demo order numbers end at 1024: " << b.err;
  EXPECT_TRUE(Contains(b.err, R"("default":"1013")")) << "a queued box is echoed as the component showed it";
}

TEST_F(ClerkCliTest, OnATerminalEnterAtTheNumberPromptTakesAFreeNumber) {
  // C100's open lines: order 1013 at WAREHOUSE, order 1017 at HQ; two prompts.
  ASSERT_EQ(Run({"create", "--by", "customer", "--customer", "C100", "--answers", "[7]"}).exit_code, 0);
  // Yes, Enter at both prompts, OK on the closing box.
  const TerminalRun r = RunOnTerminal({"backorder", "1", "--db", db_}, registry(), dir(), "y\n\n\n\n",
                                      std::chrono::seconds(60));
  ASSERT_FALSE(r.hung) << "a prompt waited for more: " << r.terminal;
  ASSERT_EQ(r.exit_code, 0) << r.terminal;
  EXPECT_TRUE(Contains(r.terminal, "[1025] (Ctrl-D cancels)")) << r.terminal;
  EXPECT_TRUE(Contains(r.terminal, "[1026] (Ctrl-D cancels)")) << "the first is not committed yet: " << r.terminal;
  EXPECT_FALSE(Contains(r.terminal, "already exists")) << r.terminal;
  EXPECT_TRUE(Contains(r.out, "Created 2 back orders for invoice 1.")) << r.out;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_number IN ('1025', '1026') "
                   "AND cust_id = 'C100' AND order_comment LIKE 'System Generated%'"),
            2);
}

TEST_F(ClerkCliTest, ANumberTakenAtAnotherLocationIsExplained) {
  // C100's open lines: order 1013 at WAREHOUSE, order 1017 at HQ.
  ASSERT_EQ(Run({"create", "--by", "customer", "--customer", "C100", "--answers", "[7]"}).exit_code, 0);
  // 1017 is C100's number at HQ, so free at WAREHOUSE; 1001 is taken at HQ.
  RunResult r = Run({"backorder", "1", "--answers", R"([6, "1017", "1001", 1, "6002", 1])"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "Order number '1001' already exists for this customer.  Enter a new order number."))
      << r.err;
  EXPECT_TRUE(Contains(r.err, "taken per customer and ship-to location")) << r.err;
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_number = '1017' AND cust_id = 'C100'"), 2)
      << "the same number at two locations of one customer";
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Order_Header WHERE order_number = '6002'"), 1);
}

struct CliCase {
  std::vector<std::string> args;
  int exit_code;
  std::string out_part;
  std::string err_part;
};

TEST_F(ClerkCliTest, TheCommandLineAnswersWithHelpVersionSuggestionsAndDocumentedCodes) {
  ASSERT_EQ(Run({"create", "--by", "order", "--from", "1002", "--to", "1002", "--answers", "[7]"}).exit_code, 0);
  const std::vector<CliCase> cases = {
      {{}, 0, "Usage: tarvik", ""},
      {{"help"}, 0, "Commands:", ""},
      {{"--help"}, 0, "Commands:", ""},
      {{"help", "list"}, 0, "--unpaid", ""},
      {{"list", "--help"}, 0, "--answers JSON", ""},
      {{"delete", "--help"}, 0, "--db PATH|URI", ""},
      {{"--version"}, 0, "tarvik 1.0", ""},
      {{"lst"}, 2, "", "tarvik: unknown command 'lst'; did you mean 'list'?"},
      {{"help", "shwo"}, 2, "", "did you mean 'show'?"},
      {{"list", "--bogus"}, 2, "", "tarvik: list: "},
      {{"show", "abc"}, 2, "", "tarvik: show: "},
      {{"show", "99", "--db", db_}, 1, "", "Invoice 99 not found."},
      {{"print", "99", "--db", db_}, 1, "", "tarvik: Invoice 99 not found."},
      {{"delete", "1", "--db", db_}, 1, "", "add --yes to delete without asking"},
      {{"backorder", "1", "--db", db_}, 0, "no line items left to back-order", ""},
      {{"backorder", "99", "--db", db_}, 1, "", "Invoice 99 not found."},
      {{"list", "--db", "missing.db"}, 3, "", "no database at missing.db"},
      {{"delete", "1", "--yes", "--db", "missing.db"}, 3, "", "no database at missing.db"},
  };
  for (const CliCase& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    RunResult r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << shown << "\n" << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, c.out_part)) << shown << "\n" << r.out;
    EXPECT_TRUE(Contains(r.err, c.err_part)) << shown << "\n" << r.err;
  }
  // The overview fits one screen of 24 lines and 80 columns.
  const std::string overview = RunCli({}).out;
  EXPECT_LE(CountOf(overview, "\n"), 24) << overview;
  std::istringstream rows(overview);
  for (std::string row; std::getline(rows, row);) EXPECT_LE(row.size(), 80u) << row;
}

TEST_F(ClerkCliTest, BackOrderTellsNothingToDoFromDeclined) {
  ASSERT_EQ(Run({"create", "--by", "customer", "--customer", "C100", "--answers", "[7]"}).exit_code, 0);
  RunResult declined = Run({"backorder", "1", "--answers", "[7]"});
  EXPECT_EQ(declined.exit_code, 1);
  EXPECT_TRUE(Contains(declined.err, "declined or cancelled")) << declined.err;
  ASSERT_EQ(Run({"options", "Auto Backorder", "0"}).exit_code, 0);
  RunResult off = Run({"backorder", "1", "--answers", "[6]"});
  EXPECT_EQ(off.exit_code, 1);
  EXPECT_TRUE(Contains(off.err, "\"Auto Backorder\" is not \"1\"")) << off.err;
  EXPECT_FALSE(Contains(off.err, "\"event\"")) << "nothing is asked: " << off.err;
}

TEST_F(ClerkCliTest, TheDatabaseComesFromTarvikDbWhenNoDbIsGiven) {
  RunResult r = RunTarvik({"next-number"}, "", registry(), dir().path().string());
  // Without TARVIK_DB the default tarvik.db in the working folder is missing.
  EXPECT_EQ(r.exit_code, 3) << r.err;
  RunResult with_env =
      RunTarvik({"next-number"}, "", registry(), dir().path().string(), {}, {"env", "TARVIK_DB=" + db_});
  EXPECT_EQ(with_env.exit_code, 0) << with_env.err;
  EXPECT_EQ(with_env.out, "1\n");
}

TEST_F(ClerkCliTest, TablesShowCustomersTotalsOrderNumbersAndEscapeControlCharacters) {
  ASSERT_EQ(Run({"create", "--by", "order", "--from", "1013", "--to", "1014", "--answers", "[7,1,7]"}).exit_code, 0);
  ASSERT_EQ(Run({"edit", "1", "--freight", "1234.5", "--paid", "10",
                 "--bill-to", "Evil\x1b]0;pwned\x07 Corp"}).exit_code, 0);
  const double lines_1 = Number("SELECT SUM(amount) FROM Invoice_Detail WHERE invoice_no = 1");
  const double lines_2 = Number("SELECT SUM(amount) FROM Invoice_Detail WHERE invoice_no = 2");

  RunResult list = Run({"list"});
  ASSERT_EQ(list.exit_code, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, "Customer")) << list.out;
  EXPECT_TRUE(Contains(list.out, "C100")) << list.out;
  char total_1[32];
  std::snprintf(total_1, sizeof total_1, "1,%03.2f", lines_1 + 234.5);
  EXPECT_TRUE(Contains(list.out, total_1)) << "grouped, two decimals: " << total_1 << "\n" << list.out;
  EXPECT_TRUE(Contains(list.out, "10.00")) << list.out;
  EXPECT_TRUE(Contains(list.out, "2 invoices. Total ")) << list.out;
  EXPECT_EQ(list.out.find('\x1b'), std::string::npos) << "no raw escape reaches the terminal";
  EXPECT_EQ(list.out.find('\x07'), std::string::npos);
  EXPECT_TRUE(Contains(list.out, "Evil\\u001b]0;pwned\\u0007 Corp")) << list.out;

  RunResult show = Run({"show", "2"});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  EXPECT_TRUE(Contains(show.out, "Order  Line")) << show.out;
  EXPECT_TRUE(Contains(show.out, "1014")) << "the order's number, not its key: " << show.out;
  EXPECT_FALSE(Contains(show.out, "Order key")) << show.out;
  EXPECT_EQ(Run({"show", "1"}).out.find('\x1b'), std::string::npos);

  // info measures a cell after escaping it: the escaped name's row is as
  // wide as the others, and the invoice-by numbers line up on the right.
  RunResult info = Run({"info"});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_EQ(info.out.find('\x1b'), std::string::npos);
  const std::size_t from = info.out.find("\nInvoices\n");
  ASSERT_NE(from, std::string::npos) << info.out;
  const std::string section = info.out.substr(from + 10, info.out.find("\n\n", from + 1) - from - 10);
  std::vector<std::string> rows;
  std::istringstream lines(section);
  for (std::string row; std::getline(lines, row);) rows.push_back(row);
  ASSERT_EQ(rows.size(), 4u) << "headings, rule, two invoices:\n" << section;
  EXPECT_TRUE(Contains(rows[2] + rows[3], "Evil\\u001b]0;pwned\\u0007 Corp")) << section;
  for (const std::string& row : rows) EXPECT_EQ(row.size(), rows[0].size()) << section;
  EXPECT_EQ(rows[0].substr(rows[0].size() - 10), "invoice_by") << section;

  // Filters and their totals. Invoice 1 is dated back, 2 is exported and
  // paid in full, so that every filter leaves one of them out.
  Db()->ExecuteWith("UPDATE Invoice_Header SET invoice_date = '2024-03-01' WHERE invoice_no = 1", {});
  ASSERT_EQ(Run({"edit", "2", "--export-date", "12/1/2026", "--paid", "100000"}).exit_code, 0);
  struct Filter {
    std::vector<std::string> args;
    std::vector<int> numbers;
  };
  const std::vector<Filter> filters = {
      {{"--customer", "C200"}, {2}},
      {{"--unpaid"}, {1}},
      {{"--exported"}, {2}},
      {{"--since", "1/1/2025"}, {2}},
      {{"--until", "2024-12-31"}, {1}},
      {{"--since", "3/1/2024", "--until", "3-Mar-2024"}, {1}},
      {{"--since", "1/1/2000", "--until", "12/31/9999"}, {1, 2}},
      {{"--until", "1/1/2000"}, {}},
  };
  for (const Filter& f : filters) {
    std::vector<std::string> args = {"list", "--json"};
    args.insert(args.end(), f.args.begin(), f.args.end());
    const json doc = RunJson(args);
    std::vector<int> numbers;
    double total = 0;
    for (const auto& i : doc["invoices"]) {
      numbers.push_back(i["invoice_no"]);
      total += i["total"].get<double>();
    }
    EXPECT_EQ(numbers, f.numbers) << args[2];
    EXPECT_NEAR(doc["total"].get<double>(), total, 0.005) << args[2];
  }
  const json c200 = RunJson({"list", "--customer", "C200"});
  EXPECT_NEAR(c200["total"].get<double>(), lines_2, 0.005);
}

TEST_F(ClerkCliTest, JsonDocumentsUseOneSchema) {
  ASSERT_EQ(Run({"create", "--by", "order", "--from", "1002", "--to", "1002", "--answers", "[7]"}).exit_code, 0);
  const std::regex iso_date(R"(\d{4}-\d{2}-\d{2})");
  const std::regex snake(R"([a-z0-9_]+)");
  const std::vector<std::vector<std::string>> commands = {
      {"next-number"}, {"list"}, {"show", "1"}, {"info"}, {"orders"}, {"options"},
      {"check"}, {"edit", "1", "--paid", "5"}, {"backorder", "1"}, {"print", "1", "--generate-only"}};
  for (const auto& args : commands) {
    const json doc = RunJson(args);
    EXPECT_EQ(doc["ok"], true) << args[0];
    for (const auto& [key, value] : doc.items()) {
      if (args[0] == "info" && key == "tables") continue;  // keyed by table name
      EXPECT_TRUE(std::regex_match(key, snake)) << args[0] << ": " << key;
    }
  }
  EXPECT_TRUE(RunJson({"next-number"})["next_invoice_no"].is_number());
  const json invoice = RunJson({"show", "1"})["invoice"];
  for (const auto& [key, value] : invoice.items()) EXPECT_TRUE(std::regex_match(key, snake)) << key;
  EXPECT_EQ(invoice["invoice_no"], 1);
  EXPECT_TRUE(invoice["paid"].is_number());
  EXPECT_TRUE(std::regex_match(invoice["invoice_date"].get<std::string>(), iso_date)) << invoice;
  EXPECT_TRUE(invoice["ship_date"].is_null());
  EXPECT_EQ(invoice["grouping"], "order");
  const json line = RunJson({"show", "1"})["lines"][0];
  EXPECT_EQ(line["order_number"], "1002");

  // A failure is a document too.
  RunResult missing = Run({"print", "99", "--json"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(json::parse(missing.out)["ok"], false);
  RunResult info = RunCli({"info", "--json", "--db", "missing.db"});
  EXPECT_EQ(info.exit_code, 3);
  EXPECT_EQ(json::parse(info.out)["ok"], false);
}

TEST_F(ClerkCliTest, OrdersReadyAndDryRunAgreeWithWhatCreateInvoices) {
  const json ready = RunJson({"orders", "--ready"});
  const json all = RunJson({"orders"});
  EXPECT_LT(ready["count"].get<int>(), all["count"].get<int>());
  for (const auto& o : ready["orders"]) EXPECT_GT(o["packed_lines"].get<int>(), 0) << o;

  const json dry = RunJson({"create", "--by", "order", "--from", "1001", "--to", "1004", "--dry-run"});
  EXPECT_EQ(dry["dry_run"], true);
  EXPECT_EQ(dry["orders"].size(), 4u);
  EXPECT_EQ(Number("SELECT COUNT(*) FROM Invoice_Header"), 0) << "a dry run writes nothing";

  const json made = RunJson({"create", "--by", "order", "--from", "1001", "--to", "1004", "--answers", "[7,1,7,1,7,1,7]"});
  EXPECT_EQ(made["invoices"].size(), dry["orders"].size());
  const json after = RunJson({"orders", "--ready"});
  EXPECT_EQ(after["count"].get<int>(), ready["count"].get<int>() - 4);
}

TEST_F(ClerkCliTest, OptionsShowsOneOrAllAndSetsOne) {
  RunResult all = Run({"options"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  EXPECT_TRUE(Contains(all.out, "Auto Backorder")) << all.out;
  EXPECT_EQ(Run({"options", "Auto Backorder"}).out, "1\n");
  RunResult set = Run({"options", "Invoice No Partial Picking", "1"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(Text("SELECT option_value FROM System WHERE option_name = 'Invoice No Partial Picking'"), "1");
  RunResult unknown = Run({"options", "No Such Option"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_TRUE(Contains(unknown.err, "No option named 'No Such Option'.")) << unknown.err;
}

TEST_F(ClerkCliTest, CompletionAndManPageCoverEveryCommand) {
  const std::string completion = RunCli({"--generate-bash-completion"}).out;
  const std::string man = RunCli({"--generate-man-page"}).out;
  std::istringstream overview(RunCli({"help"}).out);
  std::string row;
  int commands = 0;
  while (std::getline(overview, row)) {
    if (row.rfind("  ", 0) != 0 || row.size() < 3 || row[2] == ' ') continue;
    const std::string name = row.substr(2, row.find(' ', 2) - 2);
    ++commands;
    EXPECT_TRUE(Contains(completion, "    " + name + ")")) << name;
    std::string roff;  // a hyphen is written \- in roff
    for (char ch : name) roff += ch == '-' ? std::string("\\-") : std::string(1, ch);
    EXPECT_TRUE(Contains(man, ".SS " + roff)) << roff;
  }
  EXPECT_GE(commands, 15);
  EXPECT_TRUE(Contains(completion, "--unpaid")) << "options come from the table";
}

}  // namespace
}  // namespace tarvik::host_test
