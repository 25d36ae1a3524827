#include "host/command_line.h"

#include <algorithm>
#include <ostream>

#include <CLI/CLI.hpp>

#include "host/commands/commands.h"

#ifndef TARVIK_VERSION
#define TARVIK_VERSION "unknown"
#endif

namespace tarvik::host {
namespace {

using MakeCommand = std::unique_ptr<Command> (*)(const HostContext&);

// The commands in the order the help lists them: the daily ones first, one
// line each; those for setting up share a line, so the overview keeps to
// one screen.
constexpr MakeCommand kDailyCommands[] = {
    MakeListCommand,     MakeShowCommand,       MakeOrdersCommand,    MakeCreateCommand,
    MakeBackOrderCommand, MakePrintCommand,     MakeExportCommand,    MakeEditCommand,
    MakeDeleteCommand,   MakeCreditCommand,     MakeNextNumberCommand, MakeInfoCommand,
    MakeOptionsCommand,  MakeSettingsCommand,   MakeCustomerCommand,  MakeItemCommand,
    MakeCheckCommand,
};
constexpr MakeCommand kSetupCommands[] = {
    MakeInitCommand, MakeDemoCommand, MakeScriptCommand, MakeRegisterCommand, MakeUnregisterCommand,
};

constexpr const char* kUsage = "Usage: tarvik [--db PATH|URI] [--answers JSON] COMMAND [ARGS...]";
constexpr const char* kCommonOptions =
    "Common options (before or after the command):\n"
    "  --db PATH|URI   the database: a SQLite file or a postgresql:// URI\n"
    "                  (default: $TARVIK_DB, else tarvik.db)\n"
    "  --answers JSON  answer the boxes from this list instead of asking\n"
    "Exit codes: 0 done, 1 refused or not found, 2 usage, 3 database unavailable.";

// The one line the overview gives a command.
std::string ShortSummary(std::string_view summary) {
  constexpr std::size_t kWidth = 64;
  std::string text(summary.substr(0, std::min(summary.find(':'), summary.find(" ("))));
  if (text.size() > kWidth) text = text.substr(0, kWidth - 3) + "...";
  return text;
}

bool IsGlobalWithValue(const std::string& arg) { return arg == "--db" || arg == "--answers"; }

std::string ManEscape(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

}  // namespace

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

CommandLine::CommandLine(HostContext& context)
    : app_(std::make_unique<CLI::App>("tarvik: invoicing for the order-processing suite", "tarvik")) {
  CLI::App& app = *app_;
  app.require_subcommand(1);
  // Top-level options may also follow the command.
  app.fallthrough();
  app.add_option("--db", context.database,
                 "Database: a SQLite file (or sqlite:PATH) or a postgresql:// URI "
                 "(default: $TARVIK_DB, else tarvik.db)");
  app.add_option("--answers", context.answers,
                 "Answer boxes from this JSON list instead of asking: numbers are buttons, "
                 "texts answer input boxes, null cancels");
  app.set_version_flag("--version", "tarvik " TARVIK_VERSION);
  auto add = [&](MakeCommand make) {
    std::unique_ptr<Command> command = make(context);
    CLI::App* sub = app.add_subcommand(std::string(command->name()), std::string(command->summary()));
    command->AddOptions(*sub);
    sub->footer(kCommonOptions);
    commands_.emplace_back(sub, std::move(command));
  };
  for (MakeCommand make : kDailyCommands) add(make);
  daily_ = commands_.size();
  for (MakeCommand make : kSetupCommands) add(make);
}

CommandLine::~CommandLine() = default;

CLI::App* CommandLine::Find(const std::string& name) const {
  for (const auto& [sub, command] : commands_) {
    if (command->name() == name) return sub;
  }
  return nullptr;
}

std::string CommandLine::Suggest(const std::string& typed) const {
  std::string best;
  std::size_t best_distance = 3;  // more edits than this suggest nothing
  for (const auto& [sub, command] : commands_) {
    const std::string name(command->name());
    std::size_t d = EditDistance(typed, name);
    if (name.rfind(typed, 0) == 0 && typed.size() >= 2) d = std::min<std::size_t>(d, 1);
    if (d < best_distance) {
      best_distance = d;
      best = name;
    }
  }
  return best;
}

void CommandLine::WriteOverview(std::ostream& out) const {
  out << kUsage << "\nCommands:\n";
  for (std::size_t i = 0; i < commands_.size(); ++i) {
    const Command& command = *commands_[i].second;
    if (i == daily_) out << "Setting up:";
    if (i >= daily_) {
      out << (i == daily_ ? " " : ", ") << command.name() << (i + 1 == commands_.size() ? "\n" : "");
      continue;
    }
    std::string name(command.name());
    name.resize(std::max<std::size_t>(name.size(), 12), ' ');
    out << "  " << name << " " << ShortSummary(command.summary()) << "\n";
  }
  out << "\nRun 'tarvik help COMMAND' for a command's options.\n"
      << "--db PATH|URI (default $TARVIK_DB, else tarvik.db), --answers JSON, --version.\n"
      << "Exit codes: 0 done, 1 refused or not found, 2 usage, 3 database unavailable.\n";
}

std::optional<int> CommandLine::HandleWithoutCommand(const std::vector<std::string>& args,
                                                     std::ostream& out, std::ostream& err) {
  // The first word that is not a top-level option names the command.
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    if (IsGlobalWithValue(args[i])) {
      ++i;
      continue;
    }
    if (args[i].rfind("--db=", 0) == 0 || args[i].rfind("--answers=", 0) == 0) continue;
    if (args[i] == "--help" || args[i] == "-h") {
      WriteOverview(out);
      return kExitDone;
    }
    if (args[i] == "--generate-bash-completion") {
      WriteBashCompletion(out);
      return kExitDone;
    }
    if (args[i] == "--generate-man-page") {
      WriteManPage(out);
      return kExitDone;
    }
    if (args[i].empty() || args[i][0] != '-') break;
  }
  if (i >= args.size()) {
    // --version among the options, or nothing to do but show what there is.
    if (std::find(args.begin(), args.end(), "--version") != args.end()) return std::nullopt;
    WriteOverview(out);
    return kExitDone;
  }
  const std::string& word = args[i];
  if (word == "help") {
    if (i + 1 >= args.size()) {
      WriteOverview(out);
      return kExitDone;
    }
    if (CLI::App* sub = Find(args[i + 1])) {
      out << sub->help("tarvik");
      return kExitDone;
    }
    err << "tarvik: unknown command '" << args[i + 1] << "'";
    if (std::string hint = Suggest(args[i + 1]); !hint.empty()) err << "; did you mean '" << hint << "'?";
    err << "\nRun 'tarvik help' for the list of commands.\n";
    return kExitUsage;
  }
  if (!Find(word)) {
    err << "tarvik: unknown command '" << word << "'";
    if (std::string hint = Suggest(word); !hint.empty()) err << "; did you mean '" << hint << "'?";
    err << "\nRun 'tarvik help' for the list of commands.\n";
    return kExitUsage;
  }
  return std::nullopt;
}

int CommandLine::Parse(int argc, char** argv, Command*& chosen, std::ostream& out, std::ostream& err) {
  try {
    app_->parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app_->help();
    return kExitDone;
  } catch (const CLI::CallForAllHelp&) {
    out << app_->help();
    return kExitDone;
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << "\n";
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    std::string where;
    for (const auto& [sub, command] : commands_) {
      if (sub->parsed()) where = std::string(command->name());
    }
    err << "tarvik: " << (where.empty() ? "" : where + ": ") << e.what() << "\n"
        << "Run 'tarvik help " << where << "' for " << (where.empty() ? "the commands" : "its options")
        << ".\n";
    return kExitUsage;
  }
  for (auto& [sub, command] : commands_) {
    if (sub->parsed()) chosen = command.get();
  }
  if (!chosen) {
    WriteOverview(out);
    return kExitDone;
  }
  return -1;
}

void CommandLine::WriteBashCompletion(std::ostream& out) const {
  out << "# bash completion for tarvik, generated by tarvik --generate-bash-completion\n"
      << "_tarvik() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} cmd= skip= i w\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    w=${COMP_WORDS[i]}\n"
      << "    if [ -n \"$skip\" ]; then skip=; continue; fi\n"
      << "    case $w in --db|--answers) skip=1 ;; -*) ;; *) cmd=$w; break ;; esac\n"
      << "  done\n"
      << "  case $prev in --db|--out|--dir) COMPREPLY=($(compgen -f -- \"$cur\")); return ;; esac\n"
      << "  case $cmd in\n"
      << "    '')\n      COMPREPLY=($(compgen -W \"help";
  for (const auto& [sub, command] : commands_) out << " " << command->name();
  out << " --db --answers --version --help\" -- \"$cur\")) ;;\n";
  for (const auto& [sub, command] : commands_) {
    out << "    " << command->name() << ")\n      COMPREPLY=($(compgen -W \"";
    for (const CLI::Option* option : sub->get_options()) {
      for (const std::string& name : option->get_lnames()) out << "--" << name << " ";
    }
    out << "--db --answers --help\" -- \"$cur\")) ;;\n";
  }
  out << "  esac\n}\ncomplete -o default -F _tarvik tarvik\n";
}

void CommandLine::WriteManPage(std::ostream& out) const {
  out << ".TH TARVIK 1 \"\" \"tarvik " TARVIK_VERSION "\" \"User Commands\"\n"
      << ".SH NAME\ntarvik \\- invoicing for the order\\-processing suite\n"
      << ".SH SYNOPSIS\n.B tarvik\n[\\-\\-db \\fIPATH|URI\\fR] [\\-\\-answers \\fIJSON\\fR] "
         "\\fICOMMAND\\fR [\\fIARGS\\fR...]\n"
      << ".SH DESCRIPTION\nOpens the books, installs the user interface services and drives the "
         "invoicing component by name.\n"
      << ".SH COMMON OPTIONS\n.TP\n.B \\-\\-db \\fIPATH|URI\\fR\nThe database: a SQLite file or a "
         "postgresql:// URI; default $TARVIK_DB, else tarvik.db.\n"
      << ".TP\n.B \\-\\-answers \\fIJSON\\fR\nAnswer the boxes from this list instead of asking.\n"
      << ".TP\n.B \\-\\-version\nThe program's version.\n"
      << ".SH COMMANDS\n";
  for (const auto& [sub, command] : commands_) {
    out << ".SS " << ManEscape(std::string(command->name()));
    for (const CLI::Option* option : sub->get_options()) {
      if (option->get_positional()) out << " " << ManEscape(option->get_name());
    }
    out << "\n" << ManEscape(std::string(command->summary())) << "\n";
    for (const CLI::Option* option : sub->get_options()) {
      if (option->get_positional() || option->get_lnames().empty() ||
          option->get_lnames().front() == "help") {
        continue;
      }
      out << ".TP\n.B " << ManEscape("--" + option->get_lnames().front()) << "\n"
          << ManEscape(option->get_description()) << "\n";
    }
  }
  out << ".SH EXIT STATUS\n0 done, 1 refused or not found, 2 usage, 3 database unavailable.\n"
      << ".SH ENVIRONMENT\n.TP\n.B TARVIK_DB\nThe database when \\-\\-db is not given.\n"
      << ".TP\n.B TARVIK_UI_ANSWERS, TARVIK_UI_LOG\nUnattended answers and their log.\n"
      << ".SH SEE ALSO\ndocs/host.md\n";
}

}  // namespace tarvik::host
