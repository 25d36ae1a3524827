#include "platform/posix/trusted_path.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string OwnerFault(const struct stat& st) {
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) {
    return "belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  }
  return {};
}

// Write access for a group counts as the user's own when the group is the
// user's private one (primary group, no other members), as with a umask of
// 002 on systems that give each user a group of their own.
bool PrivateGroup(gid_t gid) {
  const uid_t uid = ::geteuid();
  std::vector<char> buffer(16384);
  passwd pw{};
  passwd* user = nullptr;
  if (::getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &user) != 0 || !user) return false;
  if (user->pw_gid != gid) return false;
  const std::string name = user->pw_name;
  group gr{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &gr, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  for (char** member = found->gr_mem; member && *member; ++member) {
    if (name != *member) return false;
  }
  return true;
}

bool OthersMayWrite(const struct stat& st) {
  if (st.st_mode & S_IWOTH) return true;
  return (st.st_mode & S_IWGRP) && !PrivateGroup(st.st_gid);
}

std::string Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

std::string WhyNotTrustedFile(const struct stat& st, const std::string& path) {
  if (!S_ISREG(st.st_mode)) return "file " + path + " is not a regular file";
  if (std::string fault = OwnerFault(st); !fault.empty()) return "file " + path + " " + fault;
  if (OthersMayWrite(st)) return "file " + path + " is writable by group or others";
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
    if (OthersMayWrite(st) && !(st.st_mode & S_ISVTX)) {
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
