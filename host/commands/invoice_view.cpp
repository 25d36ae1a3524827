#include "host/commands/invoice_view.h"

#include <unistd.h>

#include <optional>
#include <ostream>
#include <string_view>
#include <utility>

#include <CLI/CLI.hpp>

#include "host/option_checks.h"
#include "host/output/amounts.h"
#include "host/output/table_output.h"
#include "platform/regional.h"
#include "host/output/variant_json.h"

namespace tarvik::host {

const std::array<HeaderField, 12> kHeaderFields = {{
    {"InvoiceNo", "invoice_no", "Invoice", "Invoice", FieldKind::kInteger},
    {"InvoiceDate", "invoice_date", "Date", "Invoice date", FieldKind::kDate},
    {"ShipDate", "ship_date", "Ship date", "Ship date", FieldKind::kDate},
    {"BillTo", "bill_to", "Bill to", "Bill to", FieldKind::kText},
    {"FreightAmount", "freight", "Freight", "Freight", FieldKind::kAmount},
    {"OtherCharge", "other_charge", "Other", "Other charge", FieldKind::kAmount},
    {"PrintInvoiceBy", "invoice_by", "By", "Invoiced by", FieldKind::kGrouping},
    {"Extra1", "extra1", "Extra 1", "Extra 1", FieldKind::kText},
    {"Extra2", "extra2", "Extra 2", "Extra 2", FieldKind::kText},
    {"Paid", "paid", "Paid", "Paid", FieldKind::kAmount},
    {"Export_Flag", "export_flag", "Export", "Export flag", FieldKind::kInteger},
    {"Export_Date", "export_date", "Exported", "Export date", FieldKind::kDate},
}};

namespace {

constexpr std::array<const char*, 4> kGroupingNames = {"order", "ship-to", "customer",
                                                      "customer order"};

std::optional<double> NumberOf(const Variant& v) {
  if (v.is_null() || v.is_empty()) return std::nullopt;
  if (v.vt() == VT_BSTR) return regional::ParseNumber(v.ToString());
  return v.ToDouble();
}

std::string GroupingText(std::int32_t by) {
  if (by >= 0 && by < static_cast<std::int32_t>(kGroupingNames.size())) {
    return kGroupingNames[static_cast<std::size_t>(by)];
  }
  return std::to_string(by);
}

}  // namespace

std::size_t FieldIndex(std::string_view member) {
  for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
    if (member == kHeaderFields[i].member) return i;
  }
  return kHeaderFields.size();
}

Header ReadHeader(InvoiceSession& invoice) {
  Header header;
  for (const auto& f : kHeaderFields) header.push_back(invoice.Get(f.member));
  return header;
}

std::string DisplayText(const HeaderField& f, const Variant& v) {
  if (f.kind == FieldKind::kGrouping) return GroupingText(v.ToLong());
  if (f.kind == FieldKind::kAmount) {
    if (std::optional<double> n = NumberOf(v)) return FormatAmount(*n);
  }
  return v.ToString();
}

nlohmann::ordered_json FieldJson(const HeaderField& f, const Variant& v) {
  switch (f.kind) {
    case FieldKind::kInteger:
    case FieldKind::kGrouping:
      if (std::optional<double> n = NumberOf(v)) return static_cast<std::int64_t>(*n);
      return nullptr;
    case FieldKind::kAmount:
      if (std::optional<double> n = NumberOf(v)) return *n;
      return nullptr;
    case FieldKind::kDate: {
      if (v.vt() == VT_DATE) return regional::FormatIsoDate(v.ToDouble());
      const std::string text = v.ToString();
      if (text.empty()) return nullptr;
      if (std::optional<double> d = regional::ParseDate(text)) return regional::FormatIsoDate(*d);
      return text;
    }
    case FieldKind::kText:
      break;
  }
  return v.ToString();
}

nlohmann::ordered_json HeaderJson(const Header& header) {
  nlohmann::ordered_json doc;
  for (std::size_t i = 0; i < kHeaderFields.size(); ++i) {
    doc[kHeaderFields[i].key] = FieldJson(kHeaderFields[i], header[i]);
    if (kHeaderFields[i].kind == FieldKind::kGrouping) doc["grouping"] = DisplayText(kHeaderFields[i], header[i]);
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

void LoadInvoice(InvoiceSession& invoice, const std::string& number) {
  invoice.Let("Filter", Variant::String("INVOICE_NUMBER"));
  invoice.Let("InvoiceNo", Variant::String(number));
  if (!invoice.Succeeds("OpenRecordset")) throw InvoiceFailed("Invoice " + number + " not found.");
}

std::string FailureText(InvoiceSession& invoice, const std::string& fallback) {
  std::string message = invoice.GetText("InfoMsg");
  return message.empty() ? fallback : message;
}

void AddNumberArgument(CLI::App& command, std::string& number) {
  command.add_option("N", number, "Invoice number")
      ->required()
      ->check(CLI::Validator(CheckInvoiceNumber, "NUMBER"));
}

void AddJsonFlag(CLI::App& command, bool& json) {
  command.add_flag("--json", json, "Write one JSON document instead of tables");
}

void AddConfirmOptions(CLI::App& command, std::string& user, bool& yes) {
  command.add_option("--user", user, "User recorded in the deletion log");
  command.add_flag("--yes", yes, "Answer the confirmation question with Yes");
}

std::unique_ptr<UiServices> AnsweringYes() {
  auto ui = std::make_unique<ScriptedUi>();
  ui->SetAnswers({ScriptedUi::Answer{true, kIdYes, std::nullopt}});
  return ui;
}

std::string WithUnaskedReason(std::string why, bool yes, const HostContext& context, std::string_view verb) {
  if (yes || context.answers || isatty(STDIN_FILENO)) return why;
  if (!why.empty() && why.back() == '.') why.pop_back();
  return why + ": there is no terminal to confirm on; add --yes to " + std::string(verb) + " without asking.";
}

std::string CanonicalNumber(const std::string& text) { return std::to_string(InvoiceNumberOf(text)); }

}  // namespace tarvik::host
