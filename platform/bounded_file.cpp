#include "platform/bounded_file.h"

namespace tarvik {

std::string DescribeFault(FileReadFault fault, std::size_t limit) {
  switch (fault) {
    case FileReadFault::kNone: return "was read";
    case FileReadFault::kMissing: return "does not exist";
    case FileReadFault::kNotRegular: return "is not a regular file";
    case FileReadFault::kTooLarge: return "is larger than " + std::to_string(limit) + " bytes";
    case FileReadFault::kUnreadable: return "cannot be read";
  }
  return "cannot be read";
}

}  // namespace tarvik
