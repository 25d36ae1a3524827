#include "host/commands/create.h"

#include <algorithm>
#include <array>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <unordered_set>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "data/transaction.h"
#include "host/commands/backorder.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/amounts.h"
#include "host/output/table_output.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/output/command_failure.h"
#include "host/ui/stop_signals.h"
#include "host/ui/terminal_ui.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

constexpr std::int32_t kTmAdd = 1;

struct Grouping {
  const char* name;
  std::int32_t invoice_by;
  bool range;     // --from, --to
  bool customer;  // --customer
  bool ship_to;   // --shipto
};

constexpr std::array<Grouping, 4> kGroupings = {{
    {"order", 0, true, false, false},
    {"shipto", 1, false, true, true},
    {"customer", 2, false, true, false},
    {"custorder", 3, true, true, false},
}};

const Grouping* FindGrouping(const std::string& name) {
  for (const auto& g : kGroupings) {
    if (name == g.name) return &g;
  }
  return nullptr;
}

// The selection options and the properties they set.
struct SelectionOption {
  const char* option;
  std::string CreateRequest::*field;
  bool Grouping::*needed_by;
  const char* member;
};

constexpr std::array<SelectionOption, 4> kSelection = {{
    {"--from", &CreateRequest::from, &Grouping::range, "BeginOrder"},
    {"--to", &CreateRequest::to, &Grouping::range, "EndOrder"},
    {"--customer", &CreateRequest::customer, &Grouping::customer, "CustID"},
    {"--shipto", &CreateRequest::ship_to, &Grouping::ship_to, "ShipTo"},
}};

struct HeaderOption {
  const char* option;
  const char* member;
  ValueKind kind;
  const char* help;
};

constexpr std::array<HeaderOption, 8> kHeaderOptions = {{
    {"--ship-date", "ShipDate", ValueKind::kDate, "Ship date (m/d/yyyy or yyyy-m-d)"},
    {"--bill-to", "BillTo", ValueKind::kText, "Bill-to text"},
    {"--freight", "FreightAmount", ValueKind::kNumber, "Freight amount"},
    {"--other-charge", "OtherCharge", ValueKind::kNumber, "Other charge"},
    {"--extra1", "Extra1", ValueKind::kText, "First extra text"},
    {"--extra2", "Extra2", ValueKind::kText, "Second extra text"},
    {"--paid", "Paid", ValueKind::kNumber, "Amount paid"},
    {"--export-flag", "Export_Flag", ValueKind::kByte, "Export flag, 0 to 255 (1 = to export)"},
}};

std::vector<Variant> Texts(std::initializer_list<std::string> texts) {
  std::vector<Variant> values;
  for (const auto& t : texts) values.push_back(Variant::String(t));
  return values;
}

std::int64_t CountOf(data::HostConnection& c, const std::string& sql,
                     const std::vector<Variant>& values) {
  auto rs = c.QueryWith(sql, values);
  if (!rs->Seek(0)) return 0;
  const data::Value& v = rs->Column(0);
  return std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : 0;
}

// Orders of the selection with packed lines not yet invoiced, counted the
// way the component's own queries select them.
std::int64_t PackedOrders(data::HostConnection& c, const Grouping& g, const CreateRequest& r) {
  if (!g.range) {
    const std::string sql =
        std::string("SELECT COUNT(*) FROM Order_Header h WHERE h.cust_id = ?1") +
        (g.ship_to ? " AND h.shipto_name = ?2" : "") +
        " AND EXISTS (SELECT 1 FROM Order_Detail d WHERE d.order_key = h.order_key AND "
        "d.quantity_packed > 0)";
    return CountOf(c, sql, g.ship_to ? Texts({r.customer, r.ship_to}) : Texts({r.customer}));
  }
  auto keys = c.OpenStoredQuery("v_Order_Keys", Texts({r.from, r.to}));
  if (!g.customer) return keys->RowCount();
  // The customer's orders by key, once, rather than a query per order of the range.
  std::unordered_set<std::int64_t> customers_orders;
  auto own = c.QueryWith("SELECT order_key FROM Order_Header WHERE cust_id = ?1", Texts({r.customer}));
  for (std::int64_t row = 0; own->Seek(row); ++row) {
    customers_orders.insert(std::get<std::int64_t>(own->Column(0)));
  }
  std::int64_t count = 0;
  // Read through in one transaction, so the sorted keys are read once
  // rather than found again after every batch.
  data::Transaction reading(c);
  for (std::int64_t row = 0; keys->Seek(row); ++row) {
    count += customers_orders.count(std::get<std::int64_t>(keys->Column(0))) ? 1 : 0;
  }
  reading.Commit();
  return count;
}

std::string NothingToInvoice(const Grouping& g, const CreateRequest& r) {
  const std::string range = "from " + r.from + " to " + r.to;
  if (!g.customer) return "No order " + range + " has packed lines to invoice.";
  std::string text = "Customer " + r.customer + " has no ";
  if (g.range) return text + "order " + range + " with packed lines to invoice.";
  text += "packed lines to invoice";
  return text + (g.ship_to ? " at ship-to " + r.ship_to + "." : ".");
}

struct PlannedOrder {
  std::string number, customer, ship_to;
  std::int64_t packed_lines = 0;
  double packed_amount = 0;
};

// The orders a Save of this selection would invoice, read the way the
// component selects them, without writing anything.
std::vector<PlannedOrder> PlannedOrders(data::HostConnection& c, const Grouping& g,
                                        const CreateRequest& r) {
  std::vector<std::int64_t> keys;
  if (g.range) {
    auto rs = c.OpenStoredQuery("v_Order_Keys", Texts({r.from, r.to}));
    for (std::int64_t row = 0; rs->Seek(row); ++row) keys.push_back(std::get<std::int64_t>(rs->Column(0)));
  } else {
    auto rs = c.QueryWith(std::string("SELECT order_key FROM Order_Header WHERE cust_id = ?1") +
                              (g.ship_to ? " AND shipto_name = ?2" : "") + " ORDER BY order_key",
                          g.ship_to ? Texts({r.customer, r.ship_to}) : Texts({r.customer}));
    for (std::int64_t row = 0; rs->Seek(row); ++row) keys.push_back(std::get<std::int64_t>(rs->Column(0)));
  }
  std::vector<PlannedOrder> orders;
  for (std::int64_t key : keys) {
    auto rs = c.QueryWith(
        "SELECT h.order_number, h.cust_id, h.shipto_name, COUNT(*), SUM(d.quantity_packed * d.unit_price) "
        "FROM Order_Header h JOIN Order_Detail d ON d.order_key = h.order_key "
        "WHERE h.order_key = ?1 AND d.quantity_packed > 0 GROUP BY h.order_number, h.cust_id, h.shipto_name",
        {Variant::Long(static_cast<std::int32_t>(key))});
    if (!rs->Seek(0)) continue;
    if (g.range && g.customer && data::ValueToText(rs->Column(1)) != r.customer) continue;
    PlannedOrder o{data::ValueToText(rs->Column(0)), data::ValueToText(rs->Column(1)),
                   data::ValueToText(rs->Column(2))};
    if (const auto* n = std::get_if<std::int64_t>(&rs->Column(3))) o.packed_lines = *n;
    if (const auto* a = std::get_if<double>(&rs->Column(4))) o.packed_amount = *a;
    if (const auto* a = std::get_if<std::int64_t>(&rs->Column(4))) o.packed_amount = static_cast<double>(*a);
    orders.push_back(std::move(o));
  }
  return orders;
}

}  // namespace

std::string CheckCreateRequest(const CreateRequest& request) {
  const Grouping* g = FindGrouping(request.grouping);
  if (!g) {
    return "--by must be one of order, shipto, customer, custorder, got '" + request.grouping + "'";
  }
  for (const auto& s : kSelection) {
    const bool given = !(request.*s.field).empty();
    if (g->*s.needed_by && !given) {
      return "create --by " + request.grouping + " needs " + s.option;
    }
    if (!(g->*s.needed_by) && given) {
      return std::string(s.option) + " is not used by --by " + request.grouping;
    }
  }
  if (!request.invoice_no.empty()) return CheckInvoiceNumber(request.invoice_no);
  return "";
}

CreateOutcome CreateInvoices(const std::string& database, const CreateRequest& request,
                             ProgressLine& progress) {
  if (std::string why = CheckCreateRequest(request); !why.empty()) {
    throw std::invalid_argument(why);
  }
  const Grouping& g = *FindGrouping(request.grouping);
  CreateOutcome outcome;
  InvoiceSession invoice(database, Access::kWrite);
  data::HostConnection& c = invoice.connection();

  const std::int64_t orders = PackedOrders(c, g, request);
  if (orders == 0) {
    outcome.message = NothingToInvoice(g, request);
    return outcome;
  }

  const std::string first =
      request.invoice_no.empty() ? invoice.Call("Get_Next_Invoice_No").ToString() : request.invoice_no;
  if (!CheckInvoiceNumber(first).empty()) {
    throw std::runtime_error("The next invoice number could not be read (got '" + first + "').");
  }
  outcome.first_number = InvoiceNumberOf(first);
  const auto before = InvoiceNumbersFrom(c, outcome.first_number);
  const std::int64_t last_order_key = HighestOrderKey(c);
  const std::int64_t last_ledger_entry = HighestLedgerEntry(c);

  invoice.Let("PrintInvoiceBy", Variant::Long(g.invoice_by));
  for (const auto& s : kSelection) invoice.Let(s.member, Variant::String(request.*s.field));
  invoice.Let("InvoiceNo", Variant::String(first));
  for (const auto& [member, value] : request.header) invoice.Let(member, value);
  invoice.Let("TransactionMode", Variant::Long(kTmAdd));
  // Failures come back in InfoMsg; the back-order questions after the
  // invoices are the object's own and are asked all the same.
  invoice.Let("ShowMessageBox", Variant::Boolean(false));

  // The last point where a stop leaves nothing to report.
  if (StopRequested()) {
    outcome.message = "Stopped before invoicing; nothing was created.";
    return outcome;
  }
  progress.Relabel("Creating invoices (" + std::to_string(orders) +
                 (orders == 1 ? " order)" : " orders)"));
  // Save pumps about four times per invoice (header, lines, line status,
  // relief) and twice more at its end.
  const std::int64_t invoices = g.invoice_by == 0 ? orders : 1;
  progress.ExpectPumps(static_cast<int>(std::min<std::int64_t>(4 * invoices + 2, 1 << 30)));
  outcome.saved = invoice.Succeeds("Save");
  progress.Clear();
  outcome.message = invoice.GetText("InfoMsg");

  // Read back in one transaction: outside one a result stops after each
  // batch and finds its place again, which for a sorted or grouped read
  // means running it again over the whole run.
  data::Transaction reading(c);
  const std::vector<std::int32_t> made =
      NewNumbers(before, InvoiceNumbersFrom(c, outcome.first_number));
  outcome.invoices = ReadInvoices(c, made, last_ledger_entry);
  outcome.back_orders =
      made.empty() ? BackOrdersAfter(c, last_order_key, outcome.first_number, outcome.first_number)
                   : BackOrdersAfter(c, last_order_key, made.front(), made.back());
  reading.Commit();
  if (!outcome.saved && outcome.message.empty()) outcome.message = "No invoice was created.";
  return outcome;
}

// --- The command ----------------------------------------------------------------

namespace {

class CreateCommand : public Command {
 public:
  explicit CreateCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "create"; }
  std::string_view summary() const override {
    return "Invoice packed orders: one invoice per order, or one per ship-to location, "
           "customer or customer order range";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("--by", request_.grouping, "Grouping: order, shipto, customer, custorder")
        ->required()
        ->check(CLI::IsMember({"order", "shipto", "customer", "custorder"}));
    command.add_option("--from", request_.from, "First order number (order, custorder)");
    command.add_option("--to", request_.to, "Last order number (order, custorder)");
    command.add_option("--customer", request_.customer, "Customer (shipto, customer, custorder)");
    command.add_option("--shipto", request_.ship_to, "Ship-to location (shipto)");
    command.add_option("--invoice-no", request_.invoice_no,
                       "First invoice number (default: the next free number)")
        ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
    for (std::size_t i = 0; i < kHeaderOptions.size(); ++i) {
      const ValueKind kind = kHeaderOptions[i].kind;
      command.add_option(kHeaderOptions[i].option, header_[i], kHeaderOptions[i].help)
          ->check(CLI::Validator([kind](std::string& text) { return CheckValue(kind, text); },
                                 kind == ValueKind::kText ? "TEXT" : "VALUE"));
    }
    command.add_flag("--json", json_, "Write one JSON document instead of tables");
    command.add_flag("--dry-run", dry_run_, "Only list the orders the selection would invoice");
    // Refused while parsing, so a bad selection never opens the database.
    command.callback([this] {
      if (std::string why = CheckCreateRequest(request_); !why.empty()) {
        throw CLI::ValidationError(why);
      }
    });
  }
  bool Writes() const override { return !dry_run_; }
  std::unique_ptr<UiServices> MakeUi(const HostContext& context) override {
    auto ui = std::make_unique<ProgressUi>(MakeEchoingCommandUi(context.answers), context.progress);
    notes_ = std::make_shared<BackOrderNotes>(context.database);
    AttachBackOrderNotes(*ui, notes_);
    return ui;
  }

  int Run(std::ostream& out, std::ostream& err) override {
    const int status = RunReportingFailure(out, err, json_, [&] { return Create(out, err); });
    context_.progress.Clear();
    return status;
  }

 private:
  int DryRun(std::ostream& out, std::ostream& err) {
    const Grouping& g = *FindGrouping(request_.grouping);
    auto c = OpenForReading(context_.database);
    const std::vector<PlannedOrder> orders = PlannedOrders(*c, g, request_);
    if (orders.empty()) return Fail(out, err, json_, 0, NothingToInvoice(g, request_));
    const std::size_t invoices = g.invoice_by == 0 ? orders.size() : 1;
    double amount = 0;
    for (const auto& o : orders) amount += o.packed_amount;
    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["dry_run"] = true;
      doc["grouping"] = request_.grouping;
      doc["invoices"] = invoices;
      doc["packed_amount"] = amount;
      doc["orders"] = ojson::array();
      for (const auto& o : orders) {
        doc["orders"].push_back({{"order_number", o.number}, {"cust_id", o.customer},
                                 {"shipto_name", o.ship_to}, {"packed_lines", o.packed_lines},
                                 {"packed_amount", o.packed_amount}});
      }
      out << doc.dump(2) << "\n";
      return 0;
    }
    out << "Would create " << invoices << (invoices == 1 ? " invoice" : " invoices") << " from "
        << orders.size() << (orders.size() == 1 ? " order" : " orders") << " (nothing was written):\n";
    TextTable table;
    table.columns = {{"Order", false}, {"Customer", false}, {"Ship to", false},
                     {"Packed lines", true}, {"Packed amount", true}};
    for (const auto& o : orders) {
      table.rows.push_back({o.number, o.customer, o.ship_to, std::to_string(o.packed_lines),
                            FormatAmount(o.packed_amount)});
    }
    WriteTable(out, table);
    out << "Packed to invoice: " << FormatAmount(amount) << ".\n";
    return 0;
  }

  int Create(std::ostream& out, std::ostream& err) {
    if (dry_run_) return DryRun(out, err);
    CreateRequest request = request_;
    for (std::size_t i = 0; i < kHeaderOptions.size(); ++i) {
      if (header_[i]) {
        request.header.emplace_back(kHeaderOptions[i].member,
                                    PropertyValue(kHeaderOptions[i].kind, *header_[i]));
      }
    }
    if (notes_) notes_->SetInvoice(0, InvoiceNumberOf(request.invoice_no.empty() ? "0" : request.invoice_no));
    CreateOutcome outcome = CreateInvoices(context_.database, request, context_.progress);
    if (!outcome.saved) return Fail(out, err, json_, 0, outcome.message);
    // Save offered its last invoice for back order; the others of the run
    // get their own offer here, in number order.
    if (outcome.invoices.size() > 1) {
      std::vector<std::int32_t> earlier;
      std::int32_t last = 0;
      for (const auto& invoice : outcome.invoices) last = std::max(last, invoice.number);
      for (const auto& invoice : outcome.invoices) {
        if (invoice.number != last) earlier.push_back(invoice.number);
      }
      std::sort(earlier.begin(), earlier.end());
      std::vector<BackOrderMade> more = BackOrderEach(context_.database, earlier, notes_.get(), err, context_.progress);
      context_.progress.Clear();
      outcome.back_orders.insert(outcome.back_orders.end(), more.begin(), more.end());
    }
    // Saved, yet the component may have left a word about a later step.
    if (!outcome.message.empty()) err << "tarvik: warning: " << outcome.message << "\n";
    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["grouping"] = request.grouping;
      doc["first_invoice_no"] = outcome.first_number;
      doc["invoices"] = InvoicesJson(outcome.invoices);
      doc["back_orders"] = BackOrdersJson(outcome.back_orders);
      if (!outcome.message.empty()) doc["warning"] = outcome.message;
      if (StopRequested()) doc["stopped"] = StopSignalName();
      out << doc.dump(2) << "\n";
      return 0;
    }
    const std::size_t n = outcome.invoices.size();
    out << "Created " << n << (n == 1 ? " invoice" : " invoices") << ".\n";
    WriteInvoices(out, outcome.invoices);
    if (!outcome.back_orders.empty()) {
      out << "Back orders created:\n";
      WriteBackOrders(out, outcome.back_orders);
    }
    return 0;
  }

  const HostContext& context_;
  std::shared_ptr<BackOrderNotes> notes_;
  CreateRequest request_;
  std::array<std::optional<std::string>, kHeaderOptions.size()> header_;
  bool json_ = false;
  bool dry_run_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeCreateCommand(const HostContext& context) {
  return std::make_unique<CreateCommand>(context);
}

}  // namespace tarvik::host
