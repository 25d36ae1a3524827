// A file written under a fresh name in its final folder and renamed onto its
// final name only when complete. The fresh name is created exclusively, so a
// link planted under a guessable name is never followed, and readers never
// see half a file. Removed again unless committed.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tarvik {

class ReplacementFile {
 public:
  // Raises error 75 naming `target` when the folder takes no new file.
  // `mode` is set on the file as given, whatever the umask.
  ReplacementFile(std::string target, mode_t mode);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  int fd() const { return fd_; }
  const std::string& target() const { return target_; }
  // Raises error 75 on a short write.
  void Write(std::string_view bytes);

  enum class Existing { kReplace, kRefuse };
  // Flushes the file to disk and renames it onto the target. With kRefuse an
  // existing target (of any kind) stays as it is and error 58 is raised.
  void Commit(Existing existing);

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace tarvik
