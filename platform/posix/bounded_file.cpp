#include "platform/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

BoundedRead ReadRegularFile(const std::string& path, std::size_t limit) {
  BoundedRead result;
  // Non-blocking, so opening a FIFO with no writer returns at once; the
  // type is then checked on what was opened, not on the name.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    result.fault = errno == ENOENT || errno == ENOTDIR ? FileReadFault::kMissing
                                                       : FileReadFault::kUnreadable;
    return result;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    result.fault = FileReadFault::kUnreadable;
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.fault = FileReadFault::kNotRegular;
    return result;
  }
  if (static_cast<std::size_t>(st.st_size) > limit) {
    result.fault = FileReadFault::kTooLarge;
    return result;
  }
  // The file may grow while it is read: one byte past the limit says so.
  std::string text(limit + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.fault = FileReadFault::kUnreadable;
      return result;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > limit) {
    result.fault = FileReadFault::kTooLarge;
    return result;
  }
  text.resize(got);
  result.text = std::move(text);
  return result;
}

}  // namespace tarvik
