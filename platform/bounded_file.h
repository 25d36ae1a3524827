// Reading a small file someone named: only a regular file, only up to a
// limit. A device, a FIFO or a folder is refused before anything is read,
// so naming /dev/zero or a pipe neither hangs nor exhausts memory.
#pragma once

#include <cstddef>
#include <string>

namespace tarvik {

enum class FileReadFault { kNone, kMissing, kNotRegular, kTooLarge, kUnreadable };

struct BoundedRead {
  FileReadFault fault = FileReadFault::kNone;
  std::string text;  // the whole file when fault is kNone
};

BoundedRead ReadRegularFile(const std::string& path, std::size_t limit);

// "is not a regular file", "is larger than N bytes", ...: what the caller
// puts after the path in its message; never anything read from the file.
std::string DescribeFault(FileReadFault fault, std::size_t limit);

}  // namespace tarvik
