// The UI services' operating-system side outside Windows: no boxes of its
// own (NonInteractiveUi), POSIX environment and files, problems on stderr.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui_platform.h"

namespace tarvik::ui_platform {

namespace {

// Closes the descriptor on every path out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<UiServices> MakePlatformUi() { return std::make_unique<NonInteractiveUi>(); }

std::optional<std::string> EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

// O_APPEND with the whole line in one write keeps lines from several writers
// whole.
bool AppendLine(const std::string& path, std::string_view line, std::string* why) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (fd.get() < 0) {
    if (why) *why = std::strerror(errno);
    return false;
  }
  std::string whole(line);
  whole += '\n';
  ssize_t written;
  do {
    written = ::write(fd.get(), whole.data(), whole.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    if (why) *why = std::strerror(errno);
    return false;
  }
  if (static_cast<std::size_t>(written) != whole.size()) {
    if (why) *why = "short write (disk full?)";
    return false;
  }
  return true;
}

void ReportProblem(const std::string& message) {
  std::fprintf(stderr, "TarvikInvoice: %s\n", message.c_str());
  std::fflush(stderr);
}

}  // namespace tarvik::ui_platform
