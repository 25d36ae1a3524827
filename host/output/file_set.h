// Several output files written as one: each is written in full under a
// fresh name in its folder first, and only then are they renamed onto their
// names. Until Keep, the set owns what it put in place and removes it again
// when dropped, so a run that fails after writing leaves no file of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/replacement_file.h"

namespace tarvik::host {

class FileSet {
 public:
  // replace: an existing file may be replaced (never the database named by
  // `database`, nor anything but a regular file).
  FileSet(bool replace, std::string database);
  ~FileSet();
  FileSet(const FileSet&) = delete;
  FileSet& operator=(const FileSet&) = delete;

  // Writes bytes under a fresh name beside target. Refuses (error 58, as the
  // printed PDF does) a target that exists when it may not be replaced, and
  // a target named twice; nothing is put in place yet.
  void Add(const std::string& target, std::string_view bytes);
  // Renames every file onto its target. When one fails, the ones already in
  // place are removed and the error travels on.
  void Commit();
  // The files stay where they are.
  void Keep() { placed_.clear(); }
  // The targets put in place, in the order added.
  const std::vector<std::string>& placed() const { return placed_; }

 private:
  void RemovePlaced();

  bool replace_;
  std::string database_;
  std::vector<std::unique_ptr<ReplacementFile>> staged_;
  std::vector<std::string> placed_;
};

}  // namespace tarvik::host
