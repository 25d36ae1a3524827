// What the invoice commands (next-number, list, show, edit, delete, credit) share:
// the header fields in their column order, how a header reads, prints and
// goes into JSON, and how an invoice is made current. Each command opens
// the database named by --db, creates a TarvikInvoice.Invoice by program id
// and drives it by name; an operation that answers False ends the command
// with its message (InvoiceFailed) and exit code 1.
#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/command.h"
#include "host/invoice_session.h"
#include "platform/ui_services.h"
#include "platform/variant.h"

namespace CLI {
class App;
}

namespace tarvik::host {

// A command that could not be carried out; the text is for the user.
struct InvoiceFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a header value reads: JSON numbers for numbers, ISO text for dates.
enum class FieldKind { kInteger, kAmount, kDate, kText, kGrouping };

struct HeaderField {
  const char* member;
  const char* key;      // JSON
  const char* heading;  // list column
  const char* label;    // show line
  FieldKind kind;
  bool number() const { return kind == FieldKind::kInteger || kind == FieldKind::kAmount; }
};

extern const std::array<HeaderField, 12> kHeaderFields;

using Header = std::vector<Variant>;  // one value per kHeaderFields entry

Header ReadHeader(InvoiceSession& invoice);
// The field as the tables show it (the grouping by name, amounts with two
// decimals and grouped thousands).
std::string DisplayText(const HeaderField& field, const Variant& value);
// The field's JSON value: numbers as numbers, dates as ISO text, an empty
// date as null.
nlohmann::ordered_json FieldJson(const HeaderField& field, const Variant& value);
// The position of a field in kHeaderFields by member name.
std::size_t FieldIndex(std::string_view member);
nlohmann::ordered_json HeaderJson(const Header& header);
// One "label: value" line per field.
void WriteHeader(std::ostream& out, const Header& header);

// Makes invoice `number` current; InvoiceFailed when there is no such header.
void LoadInvoice(InvoiceSession& invoice, const std::string& number);
// The failure text the component left, or `fallback` when it left none.
std::string FailureText(InvoiceSession& invoice, const std::string& fallback);

// The required invoice number argument, checked while parsing.
void AddNumberArgument(CLI::App& command, std::string& number);
void AddJsonFlag(CLI::App& command, bool& json);
// The commands that delete an invoice after asking (delete, credit): --user
// for the deletion log and --yes for the question.
void AddConfirmOptions(CLI::App& command, std::string& user, bool& yes);
// Services that answer the one question Yes (what --yes stands for).
std::unique_ptr<UiServices> AnsweringYes();
// `why` with the reason the question was never put when nobody could be
// asked (no --yes, no --answers, no terminal): then the default, No, stood.
// `verb` says what --yes would have done ("delete").
std::string WithUnaskedReason(std::string why, bool yes, const HostContext& context, std::string_view verb);
// "0007" and "7" name the same invoice; the messages use the plain form.
std::string CanonicalNumber(const std::string& text);

}  // namespace tarvik::host
