#include "platform/file_access.h"

#include <unistd.h>

namespace tarvik {

bool CanCreateFilesIn(const std::filesystem::path& folder) {
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace tarvik
