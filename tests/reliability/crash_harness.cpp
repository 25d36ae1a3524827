#include "tests/reliability/crash_harness.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>
#include <vector>

#include "db/books_recovery.h"
#include "platform/error.h"
#include "tests/support/books_invariants.h"
#include "tests/reliability/commit_log.h"
#include "tests/reliability/crash_workflows.h"
#include "tests/reliability/power_loss_vfs.h"
#include "tests/reliability/server_interruptions.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

// Fresh books this often, so early states are hit again too.
constexpr int kCopyEvery = 25;

enum class Interruption { kKill, kCut, kServerStop, kPowerCut };

// When it comes, counted from the start of the target workflow: a number
// of ms, of its commits (with the next call on the connection, made by
// the job itself) or, for a power cut, of its writes and syncs.
enum class Aim { kMs, kCommits, kWrites };

const char* Unit(Aim aim) { return aim == Aim::kCommits ? " commits" : aim == Aim::kWrites ? " writes and syncs" : " ms"; }

const char* Noun(Interruption how) {
  switch (how) {
    case Interruption::kKill: return "kill";
    case Interruption::kCut: return "connection cut";
    case Interruption::kServerStop: return "server stop";
    case Interruption::kPowerCut: return "power cut";
  }
  return "";
}

std::vector<std::string> Split(const std::string& joined) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < joined.size()) {
    const std::size_t comma = joined.find(',', at);
    out.push_back(joined.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    at = comma == std::string::npos ? joined.size() : comma + 1;
  }
  return out;
}

// The books a run works on: a copy of the prepared ones (a file, or a
// database made from the prepared one on a server) and the child's notes.
class WorkBooks {
 public:
  explicit WorkBooks(const std::string& prepared) : prepared_(prepared), notes_(prepared + ".notes") {
    if (server()) notes_ = (std::filesystem::temp_directory_path() /
                            ("tarvik-crash-notes-" + std::to_string(::getpid()))).string();
  }
  ~WorkBooks() { Drop(); std::filesystem::remove(notes_); }
  WorkBooks(const WorkBooks&) = delete;
  WorkBooks& operator=(const WorkBooks&) = delete;

  void Fresh() {
    Drop();
    if (server()) {
      path_ = CopyPostgresDatabase(prepared_);
    } else {
      path_ = prepared_ + ".crash";
      std::filesystem::copy_file(prepared_, path_, std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::remove(notes_);
  }
  // The notes start again from what the books hold now: what the checks
  // found missing is reported once, not after every later crash too.
  void Rebase() {
    std::vector<std::int64_t> present;
    {
      auto c = data::OpenConnection(path_);
      for (const std::string& n : Split(JoinedColumn(*c, "SELECT invoice_no FROM Invoice_Header ORDER BY 1"))) {
        present.push_back(std::stoll(n));
      }
    }
    std::filesystem::remove(notes_);
    CommitLog(notes_).Committed(present);
  }
  const std::string& path() const { return path_; }
  const std::string& notes() const { return notes_; }
  static bool server() { return !TestPostgresServer().empty(); }

 private:
  void Drop() {
    if (path_.empty()) return;
    if (server()) {
      DropPostgresDatabase(path_);
    } else {
      for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path_ + suffix);
    }
    path_.clear();
  }
  std::string prepared_, path_, notes_;
};

// Grows with every posting the job commits: proof the crashes land mid-work.
double Progress(const std::string& path) {
  auto c = data::OpenConnection(path);
  return ScalarNumber(*c, "SELECT (SELECT count(*) FROM Inventory_Ledger) + (SELECT count(*) FROM Invoice_Delete)");
}

// Each check on a connection of its own, opened after the crash, as the
// next host would.
std::vector<std::string> Broken(const std::string& path) {
  try {
    auto c = data::OpenConnection(path);
    return BrokenBooks(*c);
  } catch (const AutomationError& error) {
    return {"the books cannot be read: " + error.description()};
  }
}

// The recovery every host runs when it opens the books for writing. True
// when it completed or removed something; the error of a failed one goes
// to wrong.
bool Recover(const std::string& path, std::string& wrong) {
  try {
    auto c = data::OpenConnection(path);
    return !db::PrepareForWriting(*c).nothing_done();
  } catch (const AutomationError& error) {
    wrong = "recovery failed: " + error.description();
  }
  return false;
}

std::vector<std::int64_t> Lost(const std::string& path, const CommitNotes& notes) {
  try {
    auto c = data::OpenConnection(path);
    return LostCommits(*c, notes);
  } catch (const AutomationError&) {
    return {};  // reported as unreadable books already
  }
}

class Harness {
 public:
  Harness(const CrashRun& run, bool power, std::ostream& out) : run_(run), power_(power), out_(out) {}

  CrashResult Run() {
    const TempDatabase prepared;
    {
      auto c = data::OpenConnection(prepared.path());
      PrepareCrashBooks(*c, run_.copies);
    }
    const bool server = WorkBooks::server();
    cluster_ = server ? TestClusterFolder() : "";
    if (server && cluster_.empty()) {
      out_ << "note: TARVIK_TEST_PG_DATA is not set, so the server is never stopped\n";
    }
    if (!run_.recover) out_ << "note: recovery off; the books are checked as the crash left them\n";
    WorkBooks books(prepared.path());
    const int first = run_.only >= 0 ? run_.only - run_.only % kCopyEvery : 0;
    const int end = run_.only >= 0 ? run_.only + 1 : run_.kills;
    for (int i = first; i < end; ++i) {
      // Everything from fresh books on depends only on the seed and i (but
      // for the timing of timed kills), so --only replays it.
      if (i % kCopyEvery == 0 || i == first) {
        books.Fresh();
        progress_ = Progress(books.path());
        spans_.clear();
      }
      Once(i, books);
    }
    return result_;
  }

 private:
  Interruption Choose(int i) const {
    if (power_) return Interruption::kPowerCut;
    if (WorkBooks::server() && i % 3 == 1) return Interruption::kCut;
    if (WorkBooks::server() && i % 3 == 2 && !cluster_.empty()) return Interruption::kServerStop;
    return Interruption::kKill;
  }

  // Aims at one workflow, chosen at random by weight: the crash comes a
  // random part of a span after the job starts it. The span per workflow
  // and unit adapts (longer after a crash inside it, much shorter after
  // one that came too late) so that about five in six crashes land inside.
  void Once(int i, WorkBooks& books) {
    std::mt19937 random(run_.seed * 7919u + static_cast<std::uint32_t>(i));
    const Interruption how = Choose(i);
    const Aim aim = how == Interruption::kPowerCut        ? Aim::kWrites
                    : std::bernoulli_distribution(0.5)(random) ? Aim::kCommits
                                                               : Aim::kMs;
    const auto& workflows = CrashWorkflows();
    std::vector<int> weights;
    for (const CrashWorkflow& w : workflows) weights.push_back(w.weight);
    const std::string target =
        workflows[std::discrete_distribution<std::size_t>(weights.begin(), weights.end())(random)].name;
    const double first_span = aim == Aim::kWrites ? 2000 : aim == Aim::kCommits ? 20 : 100;
    double& span = spans_.try_emplace(target + Unit(aim), first_span).first->second;
    const auto after = std::uniform_int_distribution<std::uint64_t>(1, static_cast<std::uint64_t>(span))(random);
    const std::uint32_t cut_seed = static_cast<std::uint32_t>(random());
    const std::uint32_t job_seed = static_cast<std::uint32_t>(random());
    std::error_code ignored;
    const std::uintmax_t notes_from =
        std::filesystem::exists(books.notes()) ? std::filesystem::file_size(books.notes(), ignored) : 0;
    std::cout.flush();
    out_.flush();
    const pid_t child = fork();
    if (child == 0) Child(how, aim, target, after, cut_seed, job_seed, books);
    const bool landed = aim == Aim::kMs ? Interrupt(child, how, target, static_cast<int>(after), books, notes_from)
                        : how == Interruption::kKill || how == Interruption::kPowerCut ? AwaitOwnEnd(child, how)
                                                                                       : AwaitOwnInterruption(child, how, books, notes_from);
    if (WorkBooks::server()) AwaitNoSessions(books.path());
    const CommitNotes notes = ReadCommitLog(books.notes());
    const std::string last = ReadNotesSince(books.notes(), notes_from).last_started;
    const std::string where = last.empty() ? "before any workflow" : last;
    if (landed) {
      ++result_.landed_in[where];
      span = where == target ? std::min(span * 1.1, 1e7) : std::max(span * 0.6, 5.0);
    }

    // As the crash left them, then as the next host finds them.
    const bool whole_before = Broken(books.path()).empty();
    if (!whole_before) {
      ++result_.unfinished;
      ++result_.unfinished_in[where];
    }
    std::string wrong;
    if (run_.recover && Recover(books.path(), wrong)) ++result_.repaired;
    std::vector<std::string> broken = Broken(books.path());
    if (!wrong.empty()) broken.push_back(wrong);
    const std::vector<std::int64_t> lost = Lost(books.path(), notes);
    if (!lost.empty()) {
      ++result_.commits_lost;
      std::string numbers;
      for (std::size_t k = 0; k < lost.size() && k < 8; ++k) numbers += (k ? "," : "") + std::to_string(lost[k]);
      if (lost.size() > 8) numbers += ",...";
      const std::string text = "committed invoices missing: " + std::to_string(lost.size()) + " (" + numbers + ")";
      // A power cut may lose what an unsynced commit wrote: counted apart.
      if (how == Interruption::kPowerCut || how == Interruption::kServerStop) {
        Describe(i, how, aim, target, where, after, text);
      } else {
        broken.push_back(text);
      }
    }

    if (broken.empty()) {
      books.Rebase();
      const double now = Progress(books.path());
      if (now != progress_) ++result_.progressed;
      progress_ = now;
      if (landed) ++result_.consistent;
    } else {
      Describe(i, how, aim, target, where, after, Joined(broken));
      // Each crash is judged on whole books: a fresh copy for the next.
      books.Fresh();
      progress_ = Progress(books.path());
    }
  }

  void Describe(int i, Interruption how, Aim aim, const std::string& target, const std::string& where,
                std::uint64_t after, const std::string& what) {
    out_ << Noun(how) << " " << i << " in " << where << " ("
         << after << Unit(aim)
         << " after " << target << " started"
         << "; again: --seed " << run_.seed << " --only " << i << "): " << what << "\n";
  }

  // Kills the child delay ms after it starts the target (or after 2 s of
  // waiting for it), or first cuts its sessions or stops the server under
  // it. False when the job had ended by itself.
  bool Interrupt(pid_t child, Interruption how, const std::string& target, int delay, const WorkBooks& books,
                 std::uintmax_t notes_from) {
    for (int waited = 0; waited < 2000 && ReadNotesSince(books.notes(), notes_from).last_started != target;
         waited += 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      out_ << "the job ended by itself (status " << status << ")\n";
      return false;
    }
    if (how == Interruption::kCut && CutConnections(books.path())) {
      AwaitExit(child, 2000);
      ++result_.cuts;
    } else if (how == Interruption::kServerStop) {
      StopClusterImmediately(cluster_);
      AwaitExit(child, 2000);
      ++result_.server_stops;
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    if (how == Interruption::kServerStop) StartCluster(cluster_);
    ++result_.kills;
    return true;
  }

  // The job, with its own interruption armed when the target starts (or
  // on the ninth start, when it never does).
  [[noreturn]] void Child(Interruption how, Aim aim, const std::string& target, std::uint64_t after,
                          std::uint32_t cut_seed, std::uint32_t job_seed, const WorkBooks& books) const {
    if (aim == Aim::kMs) WorkUntilKilled(books.path(), job_seed, books.notes(), target);
    if (how == Interruption::kPowerCut) InstallPowerLossVfs({UINT64_MAX, cut_seed, 0.5, kPowerCutStatus});
    // Seen before each call goes to the database: the interruption comes
    // with the call after the chosen commit. After a cut or a stop the job
    // goes on into its error paths until it is killed.
    auto interrupt = [how, path = books.path(), notes = books.notes(), cluster = cluster_] {
      if (how == Interruption::kKill) ::kill(::getpid(), SIGKILL);
      CommitLog(notes).Interrupted();
      if (how == Interruption::kCut) CutConnections(path);
      if (how == Interruption::kServerStop) StopClusterImmediately(cluster);
    };
    int starts = 0;
    WorkUntilKilled(books.path(), job_seed, books.notes(), target, [&](const std::string& name, WorkflowEnv& env) {
      if (starts < 0 || (name != target && ++starts <= 8)) return;
      starts = -1;
      if (how == Interruption::kPowerCut) {
        ArmPowerCut(after);
        return;
      }
      env.recorder().SetFault([commits = std::uint64_t{0}, after, interrupt](const std::string& call) mutable {
        if (commits == after) interrupt();
        if (call == "CommitTrans") ++commits;
        return false;
      });
    });
  }

  // The job cut its own connection or stopped the server: it is killed 2 s
  // later (or when it never gets there, after 120 s).
  bool AwaitOwnInterruption(pid_t child, Interruption how, const WorkBooks& books, std::uintmax_t notes_from) {
    int waited = 0;
    for (; waited < 120000 && !ReadNotesSince(books.notes(), notes_from).interrupted; waited += 5) {
      if (AwaitExit(child, 0)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool interrupted = ReadNotesSince(books.notes(), notes_from).interrupted;
    AwaitExit(child, 2000);
    int status = 0;
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    if (how == Interruption::kServerStop && interrupted) StartCluster(cluster_);
    if (!interrupted) {
      out_ << "the job ended before the " << Noun(how) << " (status " << status << ")\n";
      return false;
    }
    ++(how == Interruption::kCut ? result_.cuts : result_.server_stops);
    ++result_.kills;
    return true;
  }

  // The child ends itself; one that never gets there is killed.
  bool AwaitOwnEnd(pid_t child, Interruption how) {
    int status = 0;
    if (!AwaitExit(child, 120000)) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      out_ << "the " << Noun(how) << " never came: the job was killed after 120 s\n";
      return false;
    }
    waitpid(child, &status, 0);
    const bool ended = how == Interruption::kPowerCut
                           ? WIFEXITED(status) && WEXITSTATUS(status) == kPowerCutStatus
                           : WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!ended) {
      out_ << "the job ended before the " << Noun(how) << " (status " << status << ")\n";
      return false;
    }
    ++result_.kills;
    return true;
  }

  static bool AwaitExit(pid_t child, int ms) {
    for (int waited = 0;; waited += 10) {
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child) {
        return true;
      }
      if (waited >= ms) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  const CrashRun& run_;
  const bool power_;
  std::ostream& out_;
  std::string cluster_;
  CrashResult result_;
  std::map<std::string, double> spans_;  // per workflow and unit
  double progress_ = -1;
};

void Summary(const CrashResult& r, const char* noun, std::ostream& out) {
  out << "interrupted in (of which left unfinished):";
  for (const auto& [workflow, n] : r.landed_in) {
    const auto unfinished = r.unfinished_in.find(workflow);
    out << " " << workflow << " " << n << " (" << (unfinished == r.unfinished_in.end() ? 0 : unfinished->second) << ")";
  }
  out << "\n" << noun << " that left the books unfinished before recovery: " << r.unfinished
      << ", after which recovery did work: " << r.repaired << ", after which committed work was found: "
      << r.progressed << "\n";
}

int Expected(const CrashRun& run) { return run.only >= 0 ? run.only % kCopyEvery + 1 : run.kills; }

}  // namespace

CrashResult RunCrashHarness(const CrashRun& run, std::ostream& out) {
  const CrashResult r = Harness(run, /*power=*/false, out).Run();
  const bool server = WorkBooks::server();
  Summary(r, "kills", out);
  out << "target crash-consistency" << (server ? "-postgres" : "") << ": " << r.kills << " kills";
  if (server) out << " (" << r.cuts << " connection cuts, " << r.server_stops << " server stops)";
  out << ", " << r.consistent << " consistent"
      << (server ? ", " + std::to_string(r.commits_lost) + " committed lost" : std::string())
      << (r.kills == Expected(run) && r.consistent == r.kills && r.commits_lost == 0 ? " pass" : " fail")
      << std::endl;
  return r;
}

CrashResult RunPowerLossHarness(const CrashRun& run, std::ostream& out) {
  if (WorkBooks::server()) {
    out << "target power-loss: SQLite only fail" << std::endl;
    return {};
  }
  const CrashResult r = Harness(run, /*power=*/true, out).Run();
  Summary(r, "cuts", out);
  out << "target power-loss: " << r.kills << " cuts, " << r.consistent << " consistent, " << r.commits_lost
      << " committed lost"
      << (r.kills == Expected(run) && r.consistent == r.kills && r.commits_lost == 0 ? " pass" : " fail")
      << std::endl;
  return r;
}

}  // namespace tarvik::testing
