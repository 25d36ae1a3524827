// The seller's own particulars (table Company_Settings): printed on every
// invoice and enough for an electronic invoice. Names are fixed; each value
// is checked before it is stored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::components {

struct CompanySetting {
  std::string_view name;
  std::string_view meaning;
  // nullopt when the value is acceptable, otherwise why not.
  std::optional<std::string> (*check)(const std::string& value);
};

// Every setting, in the order they are listed.
const std::vector<CompanySetting>& CompanySettings();
const CompanySetting* FindCompanySetting(std::string_view name);

// The stored values by name (settings never set are absent).
std::vector<std::pair<std::string, std::string>> ReadCompanySettings(data::HostConnection& c);
// Stores one value; an empty value removes the setting. Unknown names and
// values their check refuses raise AutomationError 5 and
// change nothing.
void WriteCompanySetting(data::HostConnection& c, const std::string& name, const std::string& value);

}  // namespace tarvik::components
