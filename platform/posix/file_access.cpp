#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tarvik {

bool CanCreateFilesIn(const std::filesystem::path& folder) {
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

void CreateFolders(const std::filesystem::path& folder) {
  std::filesystem::path built;
  for (const auto& part : folder) {
    built /= part;
    if (::mkdir(built.c_str(), 0755) != 0 && errno != EEXIST) {
      throw std::system_error(errno, std::generic_category(), "cannot create " + built.string());
    }
  }
  if (!std::filesystem::is_directory(folder)) {
    throw std::system_error(ENOTDIR, std::generic_category(), "cannot create " + folder.string());
  }
}

bool CreateOwnerOnlyFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw std::system_error(errno, std::generic_category(), "cannot create " + file.string());
  }
  ::close(fd);
  return true;
}

}  // namespace tarvik
