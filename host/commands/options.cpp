// `tarvik options [NAME [VALUE]]`: the options of the System table, one of
// them, or sets one (the component reads them, e.g. "Auto Backorder").
#include <optional>
#include <ostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "data/result_set.h"
#include "host/commands/commands.h"
#include "host/database_open.h"
#include "host/output/command_failure.h"
#include "host/output/table_output.h"

namespace tarvik::host {
namespace {

using ojson = nlohmann::ordered_json;

class OptionsCommand : public Command {
 public:
  explicit OptionsCommand(const HostContext& context) : context_(context) {}
  std::string_view name() const override { return "options"; }
  std::string_view summary() const override {
    return "Show the System options, one option, or set one (NAME VALUE)";
  }
  void AddOptions(CLI::App& command) override {
    command.add_option("NAME", name_, "Option name, exactly as stored (quote names with blanks)");
    value_option_ = command.add_option("VALUE", value_, "New value; \"\" empties it");
    command.add_flag("--json", json_, "Write one JSON document instead of text");
  }
  bool Writes() const override { return Setting(); }

  int Run(std::ostream& out, std::ostream& err) override {
    return RunReportingFailure(out, err, json_, [&] { return Setting() ? Set(out) : Show(out, err); });
  }

 private:
  bool Setting() const { return value_option_ && value_option_->count() > 0; }

  int Show(std::ostream& out, std::ostream& err) {
    auto c = OpenForReading(context_.database);
    auto rs = name_.empty()
                  ? c->QueryWith("SELECT option_name, option_value FROM System ORDER BY option_name", {})
                  : c->QueryWith("SELECT option_name, option_value FROM System WHERE option_name = ?1",
                                 {Variant::String(name_)});
    std::vector<std::pair<std::string, std::string>> options;
    for (std::int64_t r = 0; rs->Seek(r); ++r) {
      options.emplace_back(data::ValueToText(rs->Column(0)), data::ValueToText(rs->Column(1)));
    }
    if (!name_.empty() && options.empty()) {
      return Fail(out, err, json_, 0, "No option named '" + name_ + "'.");
    }
    if (json_) {
      ojson doc;
      doc["ok"] = true;
      doc["options"] = ojson::array();
      for (const auto& [n, v] : options) doc["options"].push_back({{"name", n}, {"value", v}});
      out << doc.dump(2) << "\n";
      return 0;
    }
    if (!name_.empty()) {
      out << options.front().second << "\n";
      return 0;
    }
    if (options.empty()) {
      out << "No options.\n";
      return 0;
    }
    TextTable table;
    table.columns = {{"Option", false}, {"Value", false}};
    for (const auto& [n, v] : options) table.rows.push_back({n, "\"" + v + "\""});
    WriteTable(out, table, "");
    return 0;
  }

  int Set(std::ostream& out) {
    if (name_.empty()) throw std::runtime_error("an option needs a name");
    auto c = OpenForWriting(context_.database);
    const std::vector<Variant> values = {Variant::String(name_), Variant::String(value_)};
    const bool existed =
        c->ExecuteWith("UPDATE System SET option_value = ?2 WHERE option_name = ?1", values) > 0;
    if (!existed) c->ExecuteWith("INSERT INTO System (option_name, option_value) VALUES (?1, ?2)", values);
    if (json_) {
      out << ojson{{"ok", true}, {"name", name_}, {"value", value_}, {"created", !existed}}.dump(2)
          << "\n";
    } else {
      out << "Option '" << name_ << "' " << (existed ? "set to" : "created as") << " \"" << value_
          << "\".\n";
    }
    return 0;
  }

  const HostContext& context_;
  std::string name_;
  std::string value_;
  CLI::Option* value_option_ = nullptr;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeOptionsCommand(const HostContext& context) {
  return std::make_unique<OptionsCommand>(context);
}

}  // namespace tarvik::host
