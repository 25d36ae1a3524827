#include "tests/reliability/commit_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>

#include "tests/support/temp_database.h"

namespace tarvik::testing {

CommitLog::CommitLog(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_DSYNC | O_CLOEXEC, 0644)) {
  if (fd_ < 0) throw std::runtime_error("cannot open the commit log " + path);
}

CommitLog::~CommitLog() { ::close(fd_); }

void CommitLog::Committed(const std::vector<std::int64_t>& invoices) {
  std::string lines;
  for (std::int64_t n : invoices) lines += "+" + std::to_string(n) + "\n";
  Append(lines);
}

void CommitLog::Deleting(std::int64_t invoice) { Append("?" + std::to_string(invoice) + "\n"); }

void CommitLog::Started(const std::string& workflow) { Append("w" + workflow + "\n"); }

void CommitLog::Interrupted() { Append("!\n"); }

// One write per note, so a crash leaves whole notes only.
void CommitLog::Append(const std::string& lines) {
  std::size_t done = 0;
  while (done < lines.size()) {
    const ssize_t n = ::write(fd_, lines.data() + done, lines.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("cannot write the commit log");
    done += static_cast<std::size_t>(n);
  }
}

CommitNotes ReadCommitLog(const std::string& path) {
  CommitNotes notes;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 2) continue;
    const std::string rest = line.substr(1);
    switch (line[0]) {
      case '+': notes.must_exist.insert(std::stoll(rest)); break;
      case '?': notes.must_exist.erase(std::stoll(rest)); break;
      case 'w': notes.last_workflow = rest; break;
      default: break;
    }
  }
  return notes;
}

NotesSince ReadNotesSince(const std::string& path, std::uintmax_t from) {
  NotesSince notes;
  std::ifstream in(path);
  in.seekg(static_cast<std::streamoff>(from));
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > 1 && line[0] == 'w') notes.last_started = line.substr(1);
    if (line == "!") notes.interrupted = true;
  }
  return notes;
}

std::vector<std::int64_t> LostCommits(data::HostConnection& c, const CommitNotes& notes) {
  std::set<std::int64_t> present;
  const std::string all = JoinedColumn(c, "SELECT invoice_no FROM Invoice_Header ORDER BY 1");
  std::size_t at = 0;
  while (at < all.size()) {
    const std::size_t comma = all.find(',', at);
    present.insert(std::stoll(all.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
    at = comma == std::string::npos ? all.size() : comma + 1;
  }
  std::vector<std::int64_t> lost;
  for (std::int64_t n : notes.must_exist) {
    if (!present.count(n)) lost.push_back(n);
  }
  return lost;
}

}  // namespace tarvik::testing
