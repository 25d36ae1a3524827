#include "platform/posix/trusted_path.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string OwnerFault(const struct stat& st) {
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) {
    return "belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  }
  return {};
}

std::string Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

std::string WhyNotTrustedFile(const struct stat& st, const std::string& path) {
  if (!S_ISREG(st.st_mode)) return "file " + path + " is not a regular file";
  if (std::string fault = OwnerFault(st); !fault.empty()) return "file " + path + " " + fault;
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return "file " + path + " is writable by group or others";
  return {};
}

std::string WhyNotTrustedFolders(const std::string& path) {
  const std::string real = Canonical(fs::path(path).parent_path().empty()
                                         ? std::string(".")
                                         : fs::path(path).parent_path().string());
  if (real.empty()) return "folder of " + path + " cannot be resolved";
  for (fs::path folder(real);; folder = folder.parent_path()) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return "folder " + folder.string() + " cannot be examined";
    if (!S_ISDIR(st.st_mode)) return "folder " + folder.string() + " is not a folder";
    if (std::string fault = OwnerFault(st); !fault.empty()) {
      return "folder " + folder.string() + " " + fault;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX)) {
      return "folder " + folder.string() + " is writable by group or others";
    }
    if (folder == folder.root_path()) break;
  }
  return {};
}

std::string WhyNotTrusted(const std::string& path) {
  const std::string real = Canonical(path);
  if (real.empty()) return "file " + path + " does not exist";
  struct stat st {};
  if (::stat(real.c_str(), &st) != 0) return "file " + path + " cannot be examined";
  if (std::string fault = WhyNotTrustedFile(st, path); !fault.empty()) return fault;
  return WhyNotTrustedFolders(real);
}

}  // namespace tarvik

namespace tarvik {

std::string WhyNotLoadable(const std::string& library) {
  if (library.empty()) return "no library path is given";
  // A relative path would be looked up from wherever the process stands.
  if (library.front() != '/') return "library path " + library + " is not absolute";
  return WhyNotTrusted(library);
}

}  // namespace tarvik
