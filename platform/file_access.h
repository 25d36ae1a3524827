// What the current user may do with a folder, as the operating system says.
#pragma once

#include <filesystem>

namespace tarvik {

// True when files can be created in `folder`.
bool CanCreateFilesIn(const std::filesystem::path& folder);

}  // namespace tarvik
