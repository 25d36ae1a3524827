#include "db/book_records.h"

#include <algorithm>

#include "data/result_set.h"
#include "data/transaction.h"
#include "data/value.h"
#include "db/company_settings.h"
#include "platform/error.h"

namespace tarvik::db {
namespace {

using Verdict = std::optional<std::string>;

bool Upper(char c) { return c >= 'A' && c <= 'Z'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

// Empty is acceptable and leaves the field unknown; anything else is checked.
template <Verdict (*Check)(const std::string&)>
Verdict Optional(const std::string& v) {
  return v.empty() ? std::nullopt : Check(v);
}

Verdict AnyText(const std::string&) { return std::nullopt; }
Verdict Required(const std::string& v) {
  if (v.empty()) return std::string("given (it cannot be empty)");
  return std::nullopt;
}

Verdict VatId(const std::string& v) {
  const bool ok = v.size() >= 4 && v.size() <= 16 && Upper(v[0]) && Upper(v[1]) &&
                  std::all_of(v.begin() + 2, v.end(), [](char c) { return Upper(c) || Digit(c) || c == '+' || c == '*'; });
  if (ok) return std::nullopt;
  return "a VAT identifier with its country prefix, such as DE123456789 or EL094259216";
}

// EAS codes are four digits, or letters such as EM (e-mail).
Verdict Scheme(const std::string& v) {
  const bool digits = v.size() == 4 && std::all_of(v.begin(), v.end(), Digit);
  const bool letters = v.size() >= 2 && v.size() <= 3 && std::all_of(v.begin(), v.end(), Upper);
  if (digits || letters) return std::nullopt;
  return "an electronic address scheme: four digits such as 0088 or 9930, or letters such as EM";
}

Verdict ExemptionCode(const std::string& v) {
  const bool ok = v.size() > 6 && v.rfind("VATEX-", 0) == 0 &&
                  std::all_of(v.begin(), v.end(), [](char c) { return Upper(c) || Digit(c) || c == '-'; });
  if (ok) return std::nullopt;
  return "a VATEX code such as VATEX-EU-IC or VATEX-EU-132";
}

Verdict OneOf(const std::string& v, std::initializer_list<const char*> codes, const char* what) {
  for (const char* c : codes) {
    if (v == c) return std::nullopt;
  }
  return std::string(what);
}
Verdict CustomerCategory(const std::string& v) {
  return OneOf(v, {"S", "Z", "E", "AE", "K", "G", "O"},
               "one of S (standard), Z (zero rated), E (exempt), AE (reverse charge), K (intra-EU supply), "
               "G (export outside the EU), O (outside the scope of VAT), or \"\" to leave it to the items");
}
Verdict ItemCategory(const std::string& v) {
  return OneOf(v, {"S", "Z", "E"}, "one of S (standard), Z (zero rated) or E (exempt)");
}

// UN/ECE Recommendation 20 (and 21 with its X prefix): two or three capitals and digits.
Verdict UnitCode(const std::string& v) {
  const bool ok = v.size() >= 2 && v.size() <= 3 && std::any_of(v.begin(), v.end(), Upper) &&
                  std::all_of(v.begin(), v.end(), [](char c) { return Upper(c) || Digit(c); });
  if (ok) return std::nullopt;
  return "a UN/ECE Recommendation 20 unit code such as C62 (one), H87 (piece), KGM (kilogram) or XBX (box)";
}

std::string FieldNames(const RecordKind& kind) {
  std::string names;
  for (const auto& f : kind.fields) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names;
}

}  // namespace

const RecordKind& CustomerRecord() {
  static const RecordKind kind = {
      "Customer",
      "cust_id",
      "customer",
      {
          {"name", "legal name", Required},
          {"address", "street address, first line", AnyText},
          {"address_line2", "street address, second line", AnyText},
          {"city", "city", AnyText},
          {"postcode", "postal code", AnyText},
          {"subdivision", "country subdivision (state, county, region)", AnyText},
          {"country", "ISO 3166-1 alpha-2 country code", Optional<CheckCountryCode>},
          {"vat_id", "VAT identifier, with its country prefix", Optional<VatId>},
          {"legal_registration_id", "company register number", AnyText},
          {"electronic_address", "electronic address invoices are sent to", AnyText},
          {"electronic_scheme", "scheme of the electronic address (EAS code, such as 0088 or EM)", Optional<Scheme>},
          {"buyer_reference", "the buyer's reference for its invoices (a public buyer's Leitweg-ID)", AnyText},
          {"contact_name", "contact person", AnyText},
          {"contact_phone", "contact telephone", AnyText},
          {"contact_email", "contact e-mail", Optional<CheckEmailAddress>},
          {"vat_category", "VAT category of all its lines (empty: each item's)", Optional<CustomerCategory>},
          {"vat_exemption_reason", "why no VAT is charged, as printed", AnyText},
          {"vat_exemption_code", "why no VAT is charged, as a VATEX code", Optional<ExemptionCode>},
      }};
  return kind;
}

const RecordKind& ItemRecord() {
  static const RecordKind kind = {
      "Item",
      "item_number",
      "item",
      {
          {"description", "the item's name on invoices", Required},
          {"unit_code", "unit of measure (UN/ECE Recommendation 20)", UnitCode},
          {"vat_category", "VAT category: S, Z or E", ItemCategory},
          {"vat_exemption_reason", "why no VAT is charged (category E), as printed", AnyText},
          {"vat_exemption_code", "why no VAT is charged, as a VATEX code", Optional<ExemptionCode>},
      }};
  return kind;
}

const RecordField* FindRecordField(const RecordKind& kind, std::string_view name) {
  for (const auto& f : kind.fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> ReadRecord(data::HostConnection& c, const RecordKind& kind,
                                                            const std::string& key) {
  // The column names come from the fixed list, never from the caller.
  std::string columns;
  for (const auto& f : kind.fields) columns += (columns.empty() ? "" : ", ") + std::string(f.name);
  auto rs = c.QueryWith("SELECT " + columns + " FROM " + std::string(kind.table) + " WHERE " +
                            std::string(kind.key) + " = ?1",
                        {Variant::String(key)});
  if (!rs->Seek(0)) {
    RaiseError(kErrInvalidProcedureCall, "There is no " + std::string(kind.what) + " '" + key + "'");
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (std::size_t i = 0; i < kind.fields.size(); ++i) {
    const data::Value& v = rs->Column(static_cast<int>(i));
    const auto* text = std::get_if<std::string>(&v);
    out.emplace_back(std::string(kind.fields[i].name), text ? *text : data::ValueToText(v));
  }
  return out;
}

void WriteRecordField(data::HostConnection& c, const RecordKind& kind, const std::string& key,
                      const std::string& field, const std::string& value) {
  const RecordField* f = FindRecordField(kind, field);
  if (!f) {
    RaiseError(kErrInvalidProcedureCall, "A " + std::string(kind.what) + " has no field '" + field +
                                             "'; the fields are: " + FieldNames(kind));
  }
  if (auto fault = f->check(value)) {
    RaiseError(kErrInvalidProcedureCall, std::string(kind.what) + " " + field + " must be " + *fault + ", not '" +
                                             value + "'");
  }
  data::Transaction transaction(c);
  const std::int64_t changed =
      c.ExecuteWith("UPDATE " + std::string(kind.table) + " SET " + std::string(f->name) + " = ?1 WHERE " +
                        std::string(kind.key) + " = ?2",
                    {Variant::String(value), Variant::String(key)});
  if (changed != 1) RaiseError(kErrInvalidProcedureCall, "There is no " + std::string(kind.what) + " '" + key + "'");
  transaction.Commit();
}

}  // namespace tarvik::db
