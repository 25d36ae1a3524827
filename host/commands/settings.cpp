// `tarvik settings [NAME [VALUE]]`: the seller's particulars printed on
// invoices. No name lists them all, a name alone shows one, a name and a
// value stores it ("" empties it).
#include <iomanip>
#include <optional>
#include <ostream>

#include <CLI/CLI.hpp>

#include "data/table_lookup.h"
#include "db/company_settings.h"
#include "host/commands/commands.h"
#include "host/database_open.h"

namespace tarvik::host {
namespace {

std::optional<std::string> StoredValue(const std::vector<std::pair<std::string, std::string>>& stored,
                                       std::string_view name) {
  for (const auto& [n, v] : stored) {
    if (n == name) return v;
  }
  return std::nullopt;
}

class SettingsCommand : public Command {
 public:
  explicit SettingsCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "settings"; }
  std::string_view summary() const override {
    return "Show or set the company settings printed on invoices";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("NAME", name_, "A setting (all of them are listed without one)");
    command.add_option("VALUE", value_, "The new value (\"\" empties the setting)");
  }
  bool Writes() const override { return value_.has_value(); }

  int Run(std::ostream& out, std::ostream&) override {
    if (!name_.empty() && !db::FindCompanySetting(name_)) {
      throw UsageError("settings: there is no setting '" + name_ + "' (tarvik settings lists them)");
    }
    if (value_) {
      auto c = OpenForWriting(context_.database);
      db::WriteCompanySetting(*c, name_, *value_);
      out << name_ << " = " << *value_ << "\n";
      return 0;
    }
    auto c = OpenForReading(context_.database);
    if (!data::TablesExist(*c, {"Company_Settings"})) {
      throw UsageError("settings: " + context_.database +
                       " predates company settings; any writing command (such as tarvik settings NAME "
                       "VALUE) brings it up to date");
    }
    const auto stored = db::ReadCompanySettings(*c);
    if (!name_.empty()) {
      if (auto v = StoredValue(stored, name_); v && !v->empty()) out << *v << "\n";
      return 0;
    }
    for (const auto& s : db::CompanySettings()) {
      const auto v = StoredValue(stored, s.name);
      out << std::left << std::setw(28) << s.name << " " << (v && !v->empty() ? *v : "(not set)") << "\n"
          << std::setw(28) << "" << " " << s.meaning << "\n";
    }
    return 0;
  }

 private:
  const HostContext& context_;
  std::string name_;
  std::optional<std::string> value_;
};

}  // namespace

std::unique_ptr<Command> MakeSettingsCommand(const HostContext& context) {
  return std::make_unique<SettingsCommand>(context);
}

}  // namespace tarvik::host
