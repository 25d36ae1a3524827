#include "db/company_settings.h"

#include <algorithm>
#include <cctype>

#include "data/result_set.h"
#include "data/transaction.h"
#include "data/value.h"
#include "db/initialize.h"
#include "platform/error.h"
#include "platform/date_pattern.h"

namespace tarvik::db {
namespace {

using Verdict = std::optional<std::string>;

Verdict AnyText(const std::string&) { return std::nullopt; }

Verdict Letters(const std::string& v, std::size_t n, const char* what) {
  if (v.size() == n && std::all_of(v.begin(), v.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
    return std::nullopt;
  }
  return std::string(what) + ": " + std::to_string(n) + " capital letters";
}

Verdict Country(const std::string& v) { return Letters(v, 2, "an ISO 3166-1 country code such as EE or DE"); }
Verdict Currency(const std::string& v) { return Letters(v, 3, "an ISO 4217 currency code such as EUR"); }

// The ISO 13616 check: the rearranged number leaves 1 when divided by 97.
Verdict Iban(const std::string& v) {
  std::string compact;
  for (char c : v) {
    if (c != ' ') compact += c;
  }
  const bool shape = compact.size() >= 15 && compact.size() <= 34 &&
                     std::all_of(compact.begin(), compact.end(), [](char c) {
                       return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                     }) &&
                     std::isalpha(static_cast<unsigned char>(compact[0])) &&
                     std::isalpha(static_cast<unsigned char>(compact[1]));
  if (!shape) return "an IBAN: country letters, check digits and up to 30 letters or digits";
  const std::string moved = compact.substr(4) + compact.substr(0, 4);
  int rest = 0;
  for (char c : moved) {
    const int value = c >= 'A' ? c - 'A' + 10 : c - '0';
    rest = (value >= 10 ? rest * 100 : rest * 10) + value;
    rest %= 97;
  }
  if (rest != 1) return "an IBAN whose check digits match (this one's do not)";
  return std::nullopt;
}

Verdict Bic(const std::string& v) {
  const bool ok = (v.size() == 8 || v.size() == 11) &&
                  std::all_of(v.begin(), v.end(), [](char c) {
                    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
                  }) &&
                  std::all_of(v.begin(), v.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; });
  if (ok) return std::nullopt;
  return "a BIC: 8 or 11 capital letters and digits, the first six letters";
}

Verdict Email(const std::string& v) {
  const auto at = v.find('@');
  if (at != std::string::npos && at > 0 && at + 1 < v.size() && v.find(' ') == std::string::npos) {
    return std::nullopt;
  }
  return "an e-mail address such as billing@example.com";
}

Verdict Days(const std::string& v) {
  if (!v.empty() && v.size() <= 4 && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return "a whole number of days, 0 to 9999";
}

Verdict DateFormat(const std::string& v) {
  if (regional::FormatDatePattern(0, v)) return std::nullopt;
  return "a date pattern of YYYY, MM, DD, D, MMM and the separators space . - /, "
         "such as YYYY-MM-DD or D MMM YYYY";
}

}  // namespace

const std::vector<CompanySetting>& CompanySettings() {
  static const std::vector<CompanySetting> settings = {
      {"seller_legal_name", "the seller's registered legal name", AnyText},
      {"seller_trading_name", "the name the seller trades under, when it differs", AnyText},
      {"seller_address_line1", "street address, first line", AnyText},
      {"seller_address_line2", "street address, second line", AnyText},
      {"seller_address_line3", "street address, third line", AnyText},
      {"seller_city", "city", AnyText},
      {"seller_postcode", "postal code", AnyText},
      {"seller_subdivision", "country subdivision (state, county, region)", AnyText},
      {"seller_country", "ISO 3166-1 alpha-2 country code", Country},
      {"seller_vat_id", "VAT identifier, with its country prefix", AnyText},
      {"seller_tax_registration_id", "tax registration id (when not a VAT id)", AnyText},
      {"seller_legal_registration_id", "company register number (identifies the seller without a VAT id)", AnyText},
      {"seller_electronic_address", "electronic address invoices are sent from", AnyText},
      {"seller_electronic_scheme", "scheme of the electronic address (EAS code, such as 0088 or EM)", AnyText},
      {"contact_name", "contact person", AnyText},
      {"contact_phone", "contact telephone", AnyText},
      {"contact_email", "contact e-mail", Email},
      {"bank_iban", "IBAN payments go to", Iban},
      {"bank_bic", "BIC of the bank", Bic},
      {"bank_account_name", "name of the account holder", AnyText},
      {"currency", "ISO 4217 code of the invoices' currency", Currency},
      {"payment_terms", "payment terms as printed", AnyText},
      {"payment_due_days", "days from the invoice date to the due date", Days},
      {"date_format", "how dates are printed (YYYY-MM-DD, DD.MM.YYYY, D MMM YYYY, ...)", DateFormat},
  };
  return settings;
}

const CompanySetting* FindCompanySetting(std::string_view name) {
  for (const auto& s : CompanySettings()) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> ReadCompanySettings(data::HostConnection& c) {
  auto rows = c.QueryWith("SELECT setting_name, setting_value FROM Company_Settings", {});
  std::vector<std::pair<std::string, std::string>> stored;
  for (std::int64_t r = 0; rows->Seek(r); ++r) {
    stored.emplace_back(data::ValueToText(rows->Column(0)), data::ValueToText(rows->Column(1)));
  }
  // In the order of the list, whatever order the table keeps.
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& s : CompanySettings()) {
    for (const auto& [name, value] : stored) {
      if (name == s.name) out.emplace_back(name, value);
    }
  }
  return out;
}

void WriteCompanySetting(data::HostConnection& c, const std::string& name, const std::string& value) {
  const CompanySetting* setting = FindCompanySetting(name);
  if (!setting) {
    std::string names;
    for (const auto& s : CompanySettings()) names += (names.empty() ? "" : ", ") + std::string(s.name);
    RaiseError(kErrInvalidProcedureCall, "There is no setting '" + name + "'; the settings are: " + names);
  }
  if (!value.empty()) {
    if (auto fault = setting->check(value)) {
      RaiseError(kErrInvalidProcedureCall, "Setting " + name + " must be " + *fault + ", not '" + value + "'");
    }
  }
  data::Transaction transaction(c);
  c.ExecuteWith("DELETE FROM Company_Settings WHERE setting_name = ?1", {Variant::String(name)});
  c.ExecuteWith("INSERT INTO Company_Settings (setting_name, setting_value) VALUES (?1, ?2)",
                {Variant::String(name), Variant::String(value)});
  transaction.Commit();
}

std::optional<std::string> CheckCountryCode(const std::string& value) { return Country(value); }
std::optional<std::string> CheckEmailAddress(const std::string& value) { return Email(value); }

std::vector<Statement> SettingsRowStatements() {
  std::vector<Statement> out;
  for (const auto& s : CompanySettings()) {
    out.push_back({"INSERT INTO Company_Settings (setting_name, setting_value) SELECT ?1, '' "
                   "WHERE NOT EXISTS (SELECT 1 FROM Company_Settings WHERE setting_name = ?1)",
                   {std::string(s.name)}});
  }
  return out;
}

}  // namespace tarvik::db
