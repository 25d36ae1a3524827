#include "host/output/file_set.h"

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "host/database_open.h"

namespace tarvik::host {
namespace fs = std::filesystem;

namespace {

// The database and the files SQLite keeps beside it, by device and inode,
// whatever name they go by.
bool IsPartOfDatabase(const std::string& target, const std::string& database) {
  const std::optional<std::string> file = LocalDatabasePath(database);
  if (!file) return false;
  struct stat t {};
  if (::stat(target.c_str(), &t) != 0) return false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    struct stat d {};
    if (::stat((*file + suffix).c_str(), &d) == 0 && d.st_dev == t.st_dev && d.st_ino == t.st_ino) {
      return true;
    }
  }
  return false;
}

}  // namespace

FileSet::FileSet(bool replace, std::string database)
    : replace_(replace), database_(std::move(database)) {}

FileSet::~FileSet() { RemovePlaced(); }

void FileSet::Add(const std::string& target, std::string_view bytes) {
  for (const auto& file : staged_) {
    if (file->target() == target) throw std::runtime_error("Cannot write " + target + " twice in one run");
  }
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (fs::exists(status)) {
    if (!replace_) {
      throw std::runtime_error("Cannot write " + target + ": it already exists (--force replaces it)");
    }
    if (!fs::is_regular_file(status)) {
      throw std::runtime_error("Cannot write " + target + ": it is not a regular file");
    }
    if (IsPartOfDatabase(target, database_)) {
      throw std::runtime_error("Cannot write " + target + ": it is the database");
    }
  }
  // Documents are for reading by anyone who may read the folder, writing by the owner.
  auto file = std::make_unique<ReplacementFile>(target, 0644);
  file->Write(bytes);
  staged_.push_back(std::move(file));
}

void FileSet::Commit() {
  const ReplacementFile::Existing existing =
      replace_ ? ReplacementFile::Existing::kReplace : ReplacementFile::Existing::kRefuse;
  for (auto& file : staged_) {
    file->Commit(existing);  // on an error the destructor removes what is in place
    placed_.push_back(file->target());
  }
  staged_.clear();
}

void FileSet::RemovePlaced() {
  for (const std::string& target : placed_) {
    std::error_code ec;
    fs::remove(target, ec);
  }
  placed_.clear();
}

}  // namespace tarvik::host
