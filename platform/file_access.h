// What the current user may do with a folder, as the operating system says,
// and files and folders created with deliberate permissions rather than
// whatever the umask allows.
#pragma once

#include <filesystem>

namespace tarvik {

// True when files can be created in `folder`.
bool CanCreateFilesIn(const std::filesystem::path& folder);

// Creates `folder` and the missing folders above it, none writable by
// group or others (0755 at most). Throws std::system_error.
void CreateFolders(const std::filesystem::path& folder);

// Creates `file` empty, readable and writable by its owner alone (0600),
// unless something of that name is there already; then false.
// Throws std::system_error when it can be neither found nor created.
bool CreateOwnerOnlyFile(const std::filesystem::path& file);

}  // namespace tarvik
