// Folders, owners and umasks for the tests of file handling on POSIX.
// "Another user" is nobody: the tests hand files to it with chown, which
// needs root; without root they skip.
#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace tarvik::testing {

class PosixTempFolder {
 public:
  PosixTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-files-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~PosixTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PosixTempFolder(const PosixTempFolder&) = delete;
  PosixTempFolder& operator=(const PosixTempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Sets the umask for one scope.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

// The uid of nobody when this process may give files to it.
inline std::optional<uid_t> OtherUser() {
  if (::geteuid() != 0) return std::nullopt;
  const passwd* pw = ::getpwnam("nobody");
  if (!pw || pw->pw_uid == 0) return std::nullopt;
  return pw->pw_uid;
}

// A group other than this user's own, when this process may give files to it.
inline std::optional<gid_t> OtherGroup() {
  if (::geteuid() != 0) return std::nullopt;
  const passwd* pw = ::getpwnam("nobody");
  if (!pw || pw->pw_gid == 0) return std::nullopt;
  return pw->pw_gid;
}

inline mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode & 07777;
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace tarvik::testing
