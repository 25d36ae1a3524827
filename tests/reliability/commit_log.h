// What a working child knows it has committed, kept where a crash of the
// child (or of the machine) cannot lose it: a side file written with
// O_DSYNC. The child notes each invoice a returned Save left behind and,
// before it starts to delete one, that the invoice may go; the parent reads
// the notes after the crash and names the invoices that must still exist.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::testing {

class CommitLog {
 public:
  // Appends to the file at path (created when missing).
  explicit CommitLog(const std::string& path);
  ~CommitLog();
  CommitLog(const CommitLog&) = delete;
  CommitLog& operator=(const CommitLog&) = delete;

  void Committed(const std::vector<std::int64_t>& invoices);
  void Deleting(std::int64_t invoice);
  // The workflow that starts now: the parent names it when the crash comes.
  void Started(const std::string& workflow);
  // The job has just cut its own connection or stopped the server.
  void Interrupted();

 private:
  void Append(const std::string& lines);
  int fd_;
};

struct CommitNotes {
  std::set<std::int64_t> must_exist;  // committed and no delete started since
  std::string last_workflow;          // the one the crash interrupted
};
CommitNotes ReadCommitLog(const std::string& path);

// What the notes written past byte from say: the workflow last started
// (empty when none) and whether the job has interrupted itself.
struct NotesSince {
  std::string last_started;
  bool interrupted = false;
};
NotesSince ReadNotesSince(const std::string& path, std::uintmax_t from);

// The invoices of must_exist that the books do not hold.
std::vector<std::int64_t> LostCommits(data::HostConnection& c, const CommitNotes& notes);

}  // namespace tarvik::testing
