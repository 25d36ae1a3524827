#include "platform/file_access.h"

#include <io.h>

namespace tarvik {

bool CanCreateFilesIn(const std::filesystem::path& folder) {
  constexpr int kWrite = 2;
  return _waccess(folder.c_str(), kWrite) == 0;
}

}  // namespace tarvik
