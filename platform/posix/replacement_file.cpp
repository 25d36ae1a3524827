#include "platform/posix/replacement_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/error.h"

namespace tarvik {
namespace {

constexpr std::int32_t kErrPathAccess = 75;
constexpr std::int32_t kErrFileExists = 58;

std::string Folder(const std::string& target) {
  const std::filesystem::path parent = std::filesystem::path(target).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

[[noreturn]] void Fail(const std::string& target, int error) {
  RaiseError(kErrPathAccess, "Cannot write " + target + ": " + std::strerror(error));
}

// The rename itself is made durable by flushing the folder.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target, mode_t mode) : target_(std::move(target)) {
  const std::filesystem::path name = std::filesystem::path(target_).filename();
  std::string pattern = Folder(target_) + "/." + name.string() + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkostemp creates with O_CREAT|O_EXCL: it never opens what is already there.
  fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd_ < 0) Fail(target_, errno);
  temp_ = buffer.data();
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(fd_);
    ::unlink(temp_.c_str());
    fd_ = -1;
    Fail(target_, error);
  }
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void ReplacementFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(target_, n < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void ReplacementFile::Commit(Existing existing) {
  if (::fsync(fd_) != 0) Fail(target_, errno);
  if (::close(fd_) != 0) {
    fd_ = -1;
    Fail(target_, errno);
  }
  fd_ = -1;
  if (existing == Existing::kReplace) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(target_, errno);
  } else if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) !=
             0) {
    int error = errno;
    // File systems without the flag: a hard link refuses an existing name too.
    if (error == EINVAL || error == ENOSYS) {
      error = ::link(temp_.c_str(), target_.c_str()) == 0 ? 0 : errno;
      if (error == 0) ::unlink(temp_.c_str());
    }
    if (error == EEXIST) {
      RaiseError(kErrFileExists, "Cannot write " + target_ + ": it already exists");
    }
    if (error != 0) Fail(target_, error);
  }
  temp_.clear();
  SyncFolder(Folder(target_));
}

}  // namespace tarvik
