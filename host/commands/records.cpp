// `tarvik customer ID [FIELD [VALUE]]` and `tarvik item NUMBER [FIELD
// [VALUE]]`: the particulars electronic invoices need of a customer or an
// item. No field lists them all, a field alone shows one, a field and a
// value stores it ("" empties it where the field may be empty).
#include <iomanip>
#include <optional>
#include <ostream>

#include <CLI/CLI.hpp>

#include "db/book_records.h"
#include "db/initialize.h"
#include "db/schema_upgrade.h"
#include "host/commands/commands.h"
#include "host/database_open.h"

namespace tarvik::host {
namespace {

class RecordCommand : public Command {
 public:
  RecordCommand(const HostContext& context, const db::RecordKind& kind, std::string_view key_name,
                std::string_view summary)
      : context_(context), kind_(kind), key_name_(key_name), summary_(summary) {}
  std::string_view name() const override { return kind_.what; }
  std::string_view summary() const override { return summary_; }
  void AddOptions(CLI::App& command) override {
    command.add_option(std::string(key_name_), key_, "Which " + std::string(kind_.what))->required();
    command.add_option("FIELD", field_, "A field (all of them are listed without one)");
    command.add_option("VALUE", value_, "The new value (\"\" empties the field)");
  }
  bool Writes() const override { return value_.has_value(); }

  int Run(std::ostream& out, std::ostream&) override {
    const std::string command(kind_.what);
    if (!field_.empty() && !db::FindRecordField(kind_, field_)) {
      throw UsageError(command + ": there is no field '" + field_ + "' (tarvik " + command + " " + key_ +
                       " lists them)");
    }
    if (value_) {
      auto c = OpenForWriting(context_.database);
      db::WriteRecordField(*c, kind_, key_, field_, *value_);
      out << command << " " << key_ << " " << field_ << " = " << *value_ << "\n";
      return 0;
    }
    auto c = OpenForReading(context_.database);
    if (db::SchemaVersion(*c) < db::kSchemaVersion) {
      throw UsageError(command + ": " + context_.database +
                       " predates these fields; any writing command (such as tarvik " + command +
                       " ID FIELD VALUE) brings it up to date");
    }
    const auto record = db::ReadRecord(*c, kind_, key_);
    for (const auto& [name, value] : record) {
      if (!field_.empty()) {
        if (name == field_ && !value.empty()) out << value << "\n";
        continue;
      }
      const db::RecordField* f = db::FindRecordField(kind_, name);
      out << std::left << std::setw(24) << name << " " << (value.empty() ? "(not set)" : value) << "\n"
          << std::setw(24) << "" << " " << f->meaning << "\n";
    }
    return 0;
  }

 private:
  const HostContext& context_;
  const db::RecordKind& kind_;
  std::string_view key_name_;
  std::string_view summary_;
  std::string key_;
  std::string field_;
  std::optional<std::string> value_;
};

}  // namespace

std::unique_ptr<Command> MakeCustomerCommand(const HostContext& context) {
  return std::make_unique<RecordCommand>(context, db::CustomerRecord(), "ID",
                                         "Show or set a customer's particulars for electronic invoices");
}

std::unique_ptr<Command> MakeItemCommand(const HostContext& context) {
  return std::make_unique<RecordCommand>(context, db::ItemRecord(), "NUMBER",
                                         "Show or set an item's unit and VAT category for electronic invoices");
}

}  // namespace tarvik::host
