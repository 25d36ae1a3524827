#include "platform/file_access.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace tarvik {

bool CanCreateFilesIn(const std::filesystem::path& folder) {
  constexpr int kWrite = 2;
  return _waccess(folder.c_str(), kWrite) == 0;
}

// Folders and files inherit their access lists from the folder above.
void CreateFolders(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
}

bool CreateOwnerOnlyFile(const std::filesystem::path& file) {
  const int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw std::system_error(errno, std::generic_category(), "cannot create " + file.string());
  }
  _close(fd);
  return true;
}

}  // namespace tarvik
