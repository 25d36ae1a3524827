#include "tests/reliability/crash_workflows.h"

#include <unistd.h>

#include <optional>
#include <utility>
#include <variant>

#include "platform/ui_services.h"
#include "tests/support/order_copies.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

constexpr int kYes = 6, kNo = 7;

std::vector<std::string> Column(data::HostConnection& c, const std::string& sql) {
  const std::string sep = "\x1f";
  const std::string joined = JoinedColumn(c, sql, sep);
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < joined.size()) {
    const std::size_t end = joined.find(sep, at);
    out.push_back(joined.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? joined.size() : end + 1;
  }
  return out;
}

std::vector<std::int64_t> Numbers(data::HostConnection& c, const std::string& sql) {
  std::vector<std::int64_t> out;
  for (const std::string& n : Column(c, sql)) out.push_back(std::stoll(n));
  return out;
}

// Yes to the back-order question, then a new order number per prompt.
std::vector<ScriptedUi::Answer> BackOrderAnswers(WorkContext& cx) {
  std::vector<ScriptedUi::Answer> answers{{true, kYes, std::nullopt}};
  for (int i = 0; i < 400; ++i) {
    answers.push_back({false, 0, "B" + cx.tag + "-" + std::to_string(++cx.serial)});
  }
  return answers;
}

// Save with tmAdd of whatever selection is set; one time in four the
// automatic back order that follows is accepted (the back-order workflow
// has many more), so that most of a run is creation and its postings.
void SaveNew(WorkflowEnv& env, WorkContext& cx) {
  const auto first = static_cast<std::int64_t>(
      ScalarNumber(env.real(), "SELECT coalesce(max(invoice_no), 0) + 1 FROM Invoice_Header"));
  env.Let("InvoiceNo", std::to_string(first));
  env.LetNumber("TransactionMode", 1);
  if (std::bernoulli_distribution(0.25)(cx.random)) {
    env.ui().SetAnswers(BackOrderAnswers(cx));
  } else {
    env.ui().SetAnswers({{true, kNo, std::nullopt}});
  }
  const bool saved = env.Call("Save");
  env.ui().ClearEvents();
  env.recorder().ClearLog();
  if (saved && cx.log) {
    cx.log->Committed(Numbers(env.real(), "SELECT invoice_no FROM Invoice_Header WHERE invoice_no >= " +
                                              std::to_string(first) + " ORDER BY 1"));
  }
}

constexpr const char* kPackedOrders = "SELECT count(*) FROM Order_Detail WHERE quantity_packed > 0";
constexpr const char* kCustomersWithPacked =
    "SELECT DISTINCT h.cust_id FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key "
    "WHERE d.quantity_packed > 0 ORDER BY 1";

void CreateByOrderNumber(WorkflowEnv& env, WorkContext& cx) {
  env.LetNumber("PrintInvoiceBy", 0);
  env.Let("BeginOrder", "1");
  env.Let("EndOrder", "999999999");
  SaveNew(env, cx);
}

void CreateByShipTo(WorkflowEnv& env, WorkContext& cx) {
  std::vector<std::pair<std::string, std::string>> shiptos;
  {
    auto rs = env.real().OpenQuery(
        "SELECT DISTINCT h.cust_id, h.shipto_name FROM Order_Header h "
        "JOIN Order_Detail d ON d.order_key = h.order_key WHERE d.quantity_packed > 0 ORDER BY 1, 2");
    for (std::int64_t row = 0; rs->Seek(row); ++row) {
      shiptos.emplace_back(std::get<std::string>(rs->Column(0)), std::get<std::string>(rs->Column(1)));
    }
  }
  env.LetNumber("PrintInvoiceBy", 1);
  for (const auto& [customer, shipto] : shiptos) {
    env.Let("CustID", customer);
    env.Let("ShipTo", shipto);
    SaveNew(env, cx);
  }
}

void CreateByCustomer(WorkflowEnv& env, WorkContext& cx) {
  env.LetNumber("PrintInvoiceBy", 2);
  for (const std::string& customer : Column(env.real(), kCustomersWithPacked)) {
    env.Let("CustID", customer);
    SaveNew(env, cx);
  }
}

// The range ends at one of the customer's packed orders, chosen at random,
// so it leaves later orders out. (A range with nothing packed in it would
// save a header without lines.)
void CreateByCustomerOrders(WorkflowEnv& env, WorkContext& cx) {
  env.LetNumber("PrintInvoiceBy", 3);
  env.Let("BeginOrder", "1");
  for (const std::string& customer : Column(env.real(), kCustomersWithPacked)) {
    std::vector<std::string> packed;
    {
      auto rs = env.real().QueryWith(
          "SELECT DISTINCT h.order_number FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key "
          "WHERE d.quantity_packed > 0 AND h.cust_id = ?1 ORDER BY 1",
          {Variant::String(customer)});
      for (std::int64_t row = 0; rs->Seek(row); ++row) packed.push_back(std::get<std::string>(rs->Column(0)));
    }
    if (packed.empty()) continue;
    env.Let("CustID", customer);
    env.Let("EndOrder", packed[std::uniform_int_distribution<std::size_t>(0, packed.size() - 1)(cx.random)]);
    SaveNew(env, cx);
  }
}

// Three in four invoices, in number order; the note that one may go is
// written before its delete starts.
void DeleteInvoices(WorkflowEnv& env, WorkContext& cx) {
  for (std::int64_t n : Numbers(env.real(), "SELECT invoice_no FROM Invoice_Header ORDER BY 1")) {
    if (!std::bernoulli_distribution(0.75)(cx.random)) continue;
    if (cx.log) cx.log->Deleting(n);
    env.ui().SetAnswers({{true, kYes, std::nullopt}});
    env.Let("InvoiceNo", std::to_string(n));
    env.Let("UserID", "crash");
    env.Call("Delete");
    env.ui().ClearEvents();
    env.recorder().ClearLog();
  }
}

// Invoices whose orders have lines still open: what a back order takes.
constexpr const char* kInvoicesWithOpenLines =
    "SELECT DISTINCT i.invoice_no FROM Invoice_Detail i JOIN Order_Detail d ON d.order_key = i.order_key "
    "WHERE d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered ORDER BY 1";
constexpr const char* kOpenLinesOfInvoices =
    "SELECT count(*) FROM Invoice_Detail i JOIN Order_Detail d ON d.order_key = i.order_key "
    "WHERE d.line_status <> 5 AND d.quantity_invoiced < d.quantity_ordered";

void BackOrderInvoices(WorkflowEnv& env, WorkContext& cx) {
  for (std::int64_t n : Numbers(env.real(), kInvoicesWithOpenLines)) {
    env.ui().SetAnswers(BackOrderAnswers(cx));
    env.CallBackOrder(std::to_string(n));
    env.ui().ClearEvents();
    env.recorder().ClearLog();
  }
}

// Fills the report tables for every invoice in turn, in a random grouping.
void PrintInvoices(WorkflowEnv& env, WorkContext& cx) {
  env.LetBool("Generate_Only", true);
  for (std::int64_t n : Numbers(env.real(), "SELECT invoice_no FROM Invoice_Header ORDER BY 1")) {
    env.LetNumber("PrintInvoiceBy", std::uniform_int_distribution<int>(0, 3)(cx.random));
    env.Let("InvoiceNo", std::to_string(n));
    env.Call("PrintInvoice");
    env.ui().ClearEvents();
    env.recorder().ClearLog();
  }
}

}  // namespace

const std::vector<CrashWorkflow>& CrashWorkflows() {
  static const std::vector<CrashWorkflow> workflows{
      {"create-by-order", kPackedOrders, CreateByOrderNumber, 6},
      {"create-by-shipto", kPackedOrders, CreateByShipTo, 2},
      {"create-by-customer", kPackedOrders, CreateByCustomer, 2},
      {"create-by-custorder", kPackedOrders, CreateByCustomerOrders, 2},
      {"delete", "SELECT count(*) FROM Invoice_Header", DeleteInvoices, 1},
      {"backorder", kOpenLinesOfInvoices, BackOrderInvoices, 1},
      {"print", "SELECT count(*) FROM Invoice_Header", PrintInvoices, 1},
  };
  return workflows;
}

void PrepareCrashBooks(data::HostConnection& c, int copies) {
  AddOrderCopies(c, copies);
  c.Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Invoice No Partial Picking'");
  c.Execute("UPDATE System SET option_value = '1' WHERE option_name = 'Auto Backorder'");
}

void WorkUntilKilled(const std::string& database, std::uint32_t seed, const std::string& commit_log,
                     const std::string& first, const WorkflowStarting& starting) {
  try {
    CommitLog log(commit_log);
    WorkflowEnv env(database, /*copy=*/false);
    WorkContext cx{std::mt19937(seed), &log, std::to_string(seed), 0};
    const auto& workflows = CrashWorkflows();
    for (int round = 0;; ++round) {
      std::vector<const CrashWorkflow*> ready;
      for (const CrashWorkflow& w : workflows) {
        if (ScalarNumber(env.real(), w.ready) > 0) ready.push_back(&w);
      }
      if (ready.empty()) break;
      const CrashWorkflow* chosen = nullptr;
      for (const CrashWorkflow* w : ready) {
        if (round == 0 && w->name == first) chosen = w;
      }
      if (!chosen) chosen = ready[std::uniform_int_distribution<std::size_t>(0, ready.size() - 1)(cx.random)];
      const CrashWorkflow& w = *chosen;
      log.Started(w.name);
      if (starting) starting(w.name, env);
      w.run(env, cx);
    }
  } catch (...) {
  }
  _exit(3);
}

}  // namespace tarvik::testing
