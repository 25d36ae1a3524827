#include "host/invoice_commands.h"

#include <array>
#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/value.h"
#include "host/invoice_session.h"
#include "host/option_checks.h"
#include "host/table_output.h"
#include "host/variant_json.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

// A command that could not be carried out; the text is for the user.
struct CommandFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr std::int32_t kTmEdit = 2;

// The header properties, in the column order of the header table.
struct HeaderField {
  const char* member;
  const char* heading;  // list column
  const char* label;    // show line
  bool number;
};

constexpr std::array<HeaderField, 12> kHeaderFields = {{
    {"InvoiceNo", "Invoice", "Invoice", true},
    {"InvoiceDate", "Date", "Invoice date", false},
    {"ShipDate", "Ship date", "Ship date", false},
    {"BillTo", "Bill to", "Bill to", false},
    {"FreightAmount", "Freight", "Freight", true},
    {"OtherCharge", "Other", "Other charge", true},
    {"PrintInvoiceBy", "By", "Invoiced by", false},
    {"Extra1", "Extra 1", "Extra 1", false},
    {"Extra2", "Extra 2", "Extra 2", false},
    {"Paid", "Paid", "Paid", true},
    {"Export_Flag", "Export", "Export flag", true},
    {"Export_Date", "Exported", "Export date", false},
}};

constexpr std::array<const char*, 4> kGroupingNames = {"order", "ship-to", "customer",
                                                      "customer order"};

using Header = std::vector<Variant>;  // one value per kHeaderFields entry

Header ReadHeader(InvoiceSession& invoice) {
  Header header;
  for (const auto& f : kHeaderFields) header.push_back(invoice.Get(f.member));
  return header;
}

std::string DisplayText(const HeaderField& f, const Variant& v) {
  if (std::string_view(f.member) == "PrintInvoiceBy") {
    const std::int32_t by = v.ToLong();
    if (by >= 0 && by < static_cast<std::int32_t>(kGroupingNames.size())) {
      return kGroupingNames[static_cast<std::size_t>(by)];
    }
    return std::to_string(by);
  }
  return v.ToString();
}

ojson HeaderJson(const Header& header) {
  ojson doc;
  for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
    doc[kHeaderFields[i].member] = VariantToJson(header[i]);
  }
  return doc;
}

void WriteHeader(std::ostream& out, const Header& header) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
    fields.emplace_back(kHeaderFields[i].label, DisplayText(kHeaderFields[i], header[i]));
  }
  WriteFields(out, fields);
}

// Makes invoice `number` current; CommandFailed when there is no such header.
void LoadInvoice(InvoiceSession& invoice, const std::string& number) {
  invoice.Let("Filter", Variant::String("INVOICE_NUMBER"));
  invoice.Let("InvoiceNo", Variant::String(number));
  if (!invoice.Succeeds("OpenRecordset")) throw CommandFailed("Invoice " + number + " not found.");
}

// The failure text the component left, or ours when it left none.
std::string FailureText(InvoiceSession& invoice, const std::string& fallback) {
  std::string message = invoice.GetText("InfoMsg");
  return message.empty() ? fallback : message;
}

// --- Invoice detail rows: the host's own read -------------------------------

struct DetailColumn {
  const char* name;
  const char* heading;
  bool number;
};

constexpr std::array<DetailColumn, 8> kDetailColumns = {{
    {"order_key", "Order key", true},
    {"line_no", "Line", true},
    {"item_number", "Item", false},
    {"site", "Site", false},
    {"quantity", "Quantity", true},
    {"unit_price", "Unit price", true},
    {"discount", "Discount", true},
    {"amount", "Amount", true},
}};

using DetailRows = std::vector<std::vector<data::Value>>;

// `number` is a validated whole number, so it can stand in the text as it is.
DetailRows ReadDetails(data::HostConnection& connection, const std::string& number) {
  std::string sql = "SELECT ";
  for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
    sql += (c ? ", " : "") + std::string(kDetailColumns[c].name);
  }
  sql += " FROM Invoice_Detail WHERE invoice_no = " + number + " ORDER BY order_key, line_no";
  auto rs = connection.OpenQuery(sql);
  DetailRows rows;
  for (std::int64_t r = 0; rs->Seek(r); ++r) {
    std::vector<data::Value> row;
    for (int c = 0; c < static_cast<int>(kDetailColumns.size()); ++c) row.push_back(rs->Column(c));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string ValueText(const data::Value& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return "";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(x);
        } else if constexpr (std::is_same_v<T, double>) {
          return regional::FormatDouble(x);
        } else if constexpr (std::is_same_v<T, data::DateValue>) {
          return regional::FormatDate(x.ole);
        } else {
          return x;
        }
      },
      v);
}

// --- Edit options ------------------------------------------------------------

struct EditField {
  const char* option;
  const char* member;
  ValueKind kind;
  const char* help;
};

constexpr std::array<EditField, 9> kEditFields = {{
    {"--ship-date", "ShipDate", ValueKind::kDate,
     "Ship date (m/d/yyyy or yyyy-m-d; \"\" clears it)"},
    {"--bill-to", "BillTo", ValueKind::kText, "Bill-to text (\"\" clears it)"},
    {"--freight", "FreightAmount", ValueKind::kNumber, "Freight amount"},
    {"--other-charge", "OtherCharge", ValueKind::kNumber, "Other charge"},
    {"--extra1", "Extra1", ValueKind::kText, "First extra text (\"\" clears it)"},
    {"--extra2", "Extra2", ValueKind::kText, "Second extra text (\"\" clears it)"},
    {"--paid", "Paid", ValueKind::kNumber, "Amount paid"},
    {"--export-flag", "Export_Flag", ValueKind::kByte, "Export flag, 0 to 255 (1 = to export)"},
    {"--export-date", "Export_Date", ValueKind::kDate,
     "Date the invoice was exported (\"\" clears it)"},
}};

// "0007" and "7" name the same invoice; the messages use the plain form.
std::string CanonicalNumber(const std::string& text) { return std::to_string(InvoiceNumberOf(text)); }

}  // namespace

struct InvoiceCommands::State {
  const std::string& database;
  bool json = false;
  std::string number;
  bool export_only = false;
  std::array<std::optional<std::string>, kEditFields.size()> edits;
  std::string user;
  bool yes = false;

  CLI::App* next_number = nullptr;
  CLI::App* list = nullptr;
  CLI::App* show = nullptr;
  CLI::App* edit = nullptr;
  CLI::App* remove = nullptr;

  int NextNumber(std::ostream& out);
  int List(std::ostream& out);
  int Show(std::ostream& out);
  int Edit(std::ostream& out);
  int Delete(std::ostream& out);
};

namespace {

void AddNumberArgument(CLI::App* command, std::string& number) {
  command->add_option("N", number, "Invoice number")
      ->required()
      ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
}

void AddJsonFlag(CLI::App* command, bool& json) {
  command->add_flag("--json", json, "Write one JSON document instead of tables");
}

}  // namespace

InvoiceCommands::InvoiceCommands(CLI::App& app, const std::string& database)
    : state_(std::make_unique<State>(database)) {
  State& s = *state_;
  s.next_number = app.add_subcommand("next-number", "Print the number the next invoice gets");
  AddJsonFlag(s.next_number, s.json);

  s.list = app.add_subcommand("list", "List the invoice headers");
  s.list->add_flag("--export", s.export_only, "Only invoices marked for export, not yet exported");
  AddJsonFlag(s.list, s.json);

  s.show = app.add_subcommand("show", "Show one invoice: its header and its lines");
  AddNumberArgument(s.show, s.number);
  AddJsonFlag(s.show, s.json);

  s.edit = app.add_subcommand("edit", "Change header fields of an invoice; only given ones change");
  AddNumberArgument(s.edit, s.number);
  for (std::size_t i = 0; i < kEditFields.size(); ++i) {
    const ValueKind kind = kEditFields[i].kind;
    s.edit->add_option(kEditFields[i].option, s.edits[i], kEditFields[i].help)
        ->check(CLI::Validator([kind](std::string& text) { return CheckValue(kind, text); },
                               kind == ValueKind::kText ? "TEXT" : "VALUE"));
  }
  AddJsonFlag(s.edit, s.json);

  s.remove = app.add_subcommand(
      "delete", "Delete an invoice, putting back stock and order status (asks first)");
  AddNumberArgument(s.remove, s.number);
  s.remove->add_option("--user", s.user, "User recorded in the deletion log");
  s.remove->add_flag("--yes", s.yes, "Answer the confirmation question with Yes");
  AddJsonFlag(s.remove, s.json);
}

InvoiceCommands::~InvoiceCommands() = default;

std::unique_ptr<UiServices> InvoiceCommands::ConfirmationUi() const {
  if (!state_->remove->parsed() || !state_->yes) return nullptr;
  auto ui = std::make_unique<ScriptedUi>();
  ui->SetAnswers({ScriptedUi::Answer{true, kIdYes, std::nullopt}});
  return ui;
}

bool InvoiceCommands::Writes() const { return state_->edit->parsed() || state_->remove->parsed(); }

std::optional<int> InvoiceCommands::Run(std::ostream& out, std::ostream& err) {
  State& s = *state_;
  using Runner = int (State::*)(std::ostream&);
  const std::array<std::pair<CLI::App*, Runner>, 5> commands = {{
      {s.next_number, &State::NextNumber},
      {s.list, &State::List},
      {s.show, &State::Show},
      {s.edit, &State::Edit},
      {s.remove, &State::Delete},
  }};
  for (const auto& [command, runner] : commands) {
    if (!command->parsed()) continue;
    if (!s.number.empty()) s.number = CanonicalNumber(s.number);
    auto fail = [&](std::int32_t number, const std::string& text) {
      err << "tarvik: " << text << (number ? " (error " + std::to_string(number) + ")" : "")
          << "\n";
      if (s.json) {
        ojson doc;
        doc["ok"] = false;
        doc["error"] = {{"number", number}, {"description", text}};
        out << doc.dump(2) << "\n";
      }
      return 1;
    };
    try {
      return (s.*runner)(out);
    } catch (const CommandFailed& e) {
      return fail(0, e.what());
    } catch (const AutomationError& e) {
      return fail(e.number(), e.description());
    } catch (const std::exception& e) {
      return fail(0, e.what());
    }
  }
  return std::nullopt;
}

int InvoiceCommands::State::NextNumber(std::ostream& out) {
  InvoiceSession invoice(database, Access::kRead);
  const std::string next = invoice.Call("Get_Next_Invoice_No").ToString();
  if (next.empty()) throw CommandFailed("The next invoice number could not be read.");
  if (json) {
    out << ojson{{"ok", true}, {"next_invoice_no", next}}.dump(2) << "\n";
  } else {
    out << next << "\n";
  }
  return 0;
}

int InvoiceCommands::State::List(std::ostream& out) {
  InvoiceSession invoice(database, Access::kRead);
  invoice.Let("Filter", Variant::String(export_only ? "EXPORT" : ""));
  std::vector<Header> headers;
  if (invoice.Succeeds("OpenRecordset") && invoice.Succeeds("MoveFirst")) {
    do {
      headers.push_back(ReadHeader(invoice));
    } while (invoice.Succeeds("MoveNext"));
  }

  if (json) {
    ojson doc;
    doc["ok"] = true;
    doc["selection"] = export_only ? "export" : "all";
    doc["count"] = headers.size();
    doc["invoices"] = ojson::array();
    for (const auto& h : headers) doc["invoices"].push_back(HeaderJson(h));
    out << doc.dump(2) << "\n";
    return 0;
  }
  if (headers.empty()) {
    out << (export_only ? "No invoices to export.\n" : "No invoices.\n");
    return 0;
  }
  TextTable table;
  for (const auto& f : kHeaderFields) table.columns.push_back({f.heading, f.number});
  for (const auto& h : headers) {
    std::vector<std::string> row;
    for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
      row.push_back(DisplayText(kHeaderFields[i], h[i]));
    }
    table.rows.push_back(std::move(row));
  }
  WriteTable(out, table, "");
  out << headers.size() << (headers.size() == 1 ? " invoice" : " invoices")
      << (export_only ? " to export.\n" : ".\n");
  return 0;
}

int InvoiceCommands::State::Show(std::ostream& out) {
  InvoiceSession invoice(database, Access::kRead);
  LoadInvoice(invoice, number);
  const Header header = ReadHeader(invoice);
  const DetailRows details = ReadDetails(invoice.connection(), number);

  if (json) {
    ojson doc;
    doc["ok"] = true;
    doc["invoice"] = HeaderJson(header);
    doc["lines"] = ojson::array();
    for (const auto& row : details) {
      ojson line;
      for (std::size_t c = 0; c < kDetailColumns.size(); ++c) {
        line[kDetailColumns[c].name] = ValueToJson(row[c]);
      }
      doc["lines"].push_back(std::move(line));
    }
    out << doc.dump(2) << "\n";
    return 0;
  }
  out << "Invoice " << number << "\n";
  WriteHeader(out, header);
  out << "\nLines\n";
  if (details.empty()) {
    out << "  (none)\n";
    return 0;
  }
  TextTable table;
  for (const auto& c : kDetailColumns) table.columns.push_back({c.heading, c.number});
  for (const auto& row : details) {
    std::vector<std::string> cells;
    for (const auto& v : row) cells.push_back(ValueText(v));
    table.rows.push_back(std::move(cells));
  }
  WriteTable(out, table);
  return 0;
}

int InvoiceCommands::State::Edit(std::ostream& out) {
  InvoiceSession invoice(database, Access::kWrite);
  LoadInvoice(invoice, number);
  for (std::size_t i = 0; i < kEditFields.size(); ++i) {
    if (edits[i]) invoice.Let(kEditFields[i].member, PropertyValue(kEditFields[i].kind, *edits[i]));
  }
  invoice.Let("TransactionMode", Variant::Long(kTmEdit));
  invoice.Let("ShowMessageBox", Variant::Boolean(false));
  if (!invoice.Succeeds("Save")) {
    throw CommandFailed(FailureText(invoice, "Invoice " + number + " was not saved."));
  }
  // Save re-reads the invoice, so this is what the database now holds.
  const Header header = ReadHeader(invoice);
  if (json) {
    out << ojson{{"ok", true}, {"invoice", HeaderJson(header)}}.dump(2) << "\n";
  } else {
    out << "Invoice " << number << " saved.\n";
    WriteHeader(out, header);
  }
  return 0;
}

int InvoiceCommands::State::Delete(std::ostream& out) {
  InvoiceSession invoice(database, Access::kWrite);
  // Loading first refuses an unknown number before anything is asked, and
  // gives the deletion log the invoice's own date.
  LoadInvoice(invoice, number);
  invoice.Let("UserID", Variant::String(user));
  invoice.Let("ShowMessageBox", Variant::Boolean(false));
  if (!invoice.Succeeds("Delete")) {
    throw CommandFailed(FailureText(invoice, "Invoice " + number + " was not deleted."));
  }
  if (json) {
    out << ojson{{"ok", true}, {"deleted", number}}.dump(2) << "\n";
  } else {
    out << "Invoice " << number << " deleted.\n";
  }
  return 0;
}

}  // namespace tarvik::host
