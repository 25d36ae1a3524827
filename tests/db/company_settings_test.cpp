// The company settings: what each accepts, and that a refused value or an
// unknown name changes nothing.
#include <gtest/gtest.h>

#include "db/company_settings.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

using db::FindCompanySetting;
using db::ReadCompanySettings;
using db::WriteCompanySetting;

struct ValueCase {
  const char* name;
  const char* value;
  bool accepted;
};

TEST(CompanySettings, EachSettingChecksItsValue) {
  const ValueCase cases[] = {
      {"seller_country", "EE", true},           {"seller_country", "ee", false},
      {"seller_country", "EST", false},         {"currency", "EUR", true},
      {"currency", "EU", false},                {"currency", "€", false},
      {"bank_iban", "EE38 2200 2210 2014 5685", true},
      {"bank_iban", "EE382200221020145686", false},  // one digit off
      {"bank_iban", "GB82WEST12345698765432", true},
      {"bank_iban", "1234", false},             {"bank_bic", "HABAEE2X", true},
      {"bank_bic", "HABAEE2XXXX", true},        {"bank_bic", "HABA", false},
      {"bank_bic", "12BAEE2X", false},          {"contact_email", "a@b.ee", true},
      {"contact_email", "billing", false},      {"contact_email", "a b@c.ee", false},
      {"payment_due_days", "30", true},         {"payment_due_days", "-1", false},
      {"payment_due_days", "thirty", false},    {"date_format", "YYYY-MM-DD", true},
      {"date_format", "D MMM YYYY", true},      {"date_format", "DD.MM.YYYY", true},
      {"date_format", "MM/DD", false},          {"date_format", "%Y-%m-%d", false},
      {"seller_legal_name", "O'Brien & Sons; DROP TABLE x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " = " + c.value);
    const auto* setting = FindCompanySetting(c.name);
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(!setting->check(c.value).has_value(), c.accepted);
  }
}

TEST(CompanySettings, StoresReplacesAndEmptiesAndRefusesWithoutAChange) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  WriteCompanySetting(*c, "currency", "USD");
  WriteCompanySetting(*c, "currency", "EUR");
  WriteCompanySetting(*c, "seller_legal_name", "O'Brien & Sons");
  auto stored = ReadCompanySettings(*c);
  auto value = [&](const std::string& name) -> std::string {
    for (const auto& [n, v] : stored) {
      if (n == name) return v;
    }
    return "(absent)";
  };
  EXPECT_EQ(value("currency"), "EUR");
  EXPECT_EQ(value("seller_legal_name"), "O'Brien & Sons");

  for (const auto& [name, bad] : {std::pair{"currency", "euro"}, std::pair{"no_such_setting", "x"}}) {
    try {
      WriteCompanySetting(*c, name, bad);
      ADD_FAILURE() << name << " = " << bad << " was stored";
    } catch (const AutomationError& e) {
      EXPECT_NE(e.description().find(name), std::string::npos) << e.description();
    }
  }
  stored = ReadCompanySettings(*c);
  EXPECT_EQ(value("currency"), "EUR");
  EXPECT_EQ(value("no_such_setting"), "(absent)");

  WriteCompanySetting(*c, "currency", "");
  stored = ReadCompanySettings(*c);
  EXPECT_EQ(value("currency"), "");
  // Every setting has its row, so a layout may name any of them.
  for (const auto& s : db::CompanySettings()) EXPECT_NE(value(std::string(s.name)), "(absent)") << s.name;
}

}  // namespace
}  // namespace tarvik::testing
