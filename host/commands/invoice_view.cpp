#include "host/commands/invoice_view.h"

#include <ostream>
#include <string_view>
#include <utility>

#include <CLI/CLI.hpp>

#include "host/option_checks.h"
#include "host/output/table_output.h"
#include "host/output/variant_json.h"

namespace tarvik::host {

const std::array<HeaderField, 12> kHeaderFields = {{
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

namespace {

constexpr std::array<const char*, 4> kGroupingNames = {"order", "ship-to", "customer",
                                                      "customer order"};

}  // namespace

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

nlohmann::ordered_json HeaderJson(const Header& header) {
  nlohmann::ordered_json doc;
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

std::string CanonicalNumber(const std::string& text) { return std::to_string(InvoiceNumberOf(text)); }

}  // namespace tarvik::host
