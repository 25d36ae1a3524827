// Whether a file may be trusted to say what code this process runs: it and
// every folder above it belong to this user or to root, and nobody else can
// write to them. A world-writable folder with the sticky bit (/tmp) passes,
// since others cannot rename or remove what is ours in it, and so does
// write access for the user's private group (umask 002 on systems that give
// every user a group of their own).
#pragma once

#include <sys/stat.h>

#include <string>

namespace tarvik {

// Empty when trusted; otherwise why not, naming the path at fault, e.g.
// "folder /srv/shared is writable by group or others".
std::string WhyNotTrusted(const std::string& path);

// The same for what an open descriptor shows (the file itself), then for
// the folders above `path`.
std::string WhyNotTrustedFile(const struct stat& st, const std::string& path);
std::string WhyNotTrustedFolders(const std::string& path);

}  // namespace tarvik

namespace tarvik {

// For a library about to be loaded: an absolute path to a trusted regular
// file. Empty when it may be loaded.
std::string WhyNotLoadable(const std::string& library);

}  // namespace tarvik
