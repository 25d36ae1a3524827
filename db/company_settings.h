// The seller's own particulars (table Company_Settings): printed on every
// invoice and enough for an electronic invoice. Names are fixed and each has
// a row (empty until set), so a report layout may name any of them; each
// value is checked before it is stored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/host_connection.h"
#include "db/initialize.h"

namespace tarvik::db {

struct CompanySetting {
  std::string_view name;
  std::string_view meaning;
  // nullopt when the value is acceptable, otherwise why not.
  std::optional<std::string> (*check)(const std::string& value);
};

// Every setting, in the order they are listed.
const std::vector<CompanySetting>& CompanySettings();
const CompanySetting* FindCompanySetting(std::string_view name);

// The stored values by name, in the order of the list.
std::vector<std::pair<std::string, std::string>> ReadCompanySettings(data::HostConnection& c);
// Stores one value ("" empties it). Unknown names and
// values their check refuses raise AutomationError 5 and
// change nothing.
void WriteCompanySetting(data::HostConnection& c, const std::string& name, const std::string& value);

// Checks other particulars of the books share: nullopt when the value is
// acceptable, otherwise what it must be.
std::optional<std::string> CheckCountryCode(const std::string& value);
std::optional<std::string> CheckEmailAddress(const std::string& value);

// Parameterised statements (classic dialect) that give every setting a row,
// leaving the values already there.
std::vector<Statement> SettingsRowStatements();

}  // namespace tarvik::db
