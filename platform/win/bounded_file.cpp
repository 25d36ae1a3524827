#include "platform/bounded_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarvik {

BoundedRead ReadRegularFile(const std::string& path, std::size_t limit) {
  namespace fs = std::filesystem;
  BoundedRead result;
  std::error_code ec;
  const fs::path file(path);
  const fs::file_status status = fs::status(file, ec);
  if (ec || !fs::exists(status)) {
    result.fault = FileReadFault::kMissing;
    return result;
  }
  if (!fs::is_regular_file(status)) {
    result.fault = FileReadFault::kNotRegular;
    return result;
  }
  const auto size = fs::file_size(file, ec);
  if (ec) {
    result.fault = FileReadFault::kUnreadable;
    return result;
  }
  if (size > limit) {
    result.fault = FileReadFault::kTooLarge;
    return result;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    result.fault = FileReadFault::kUnreadable;
    return result;
  }
  std::string text(limit + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got > limit) {
    result.fault = FileReadFault::kTooLarge;
    return result;
  }
  text.resize(got);
  result.text = std::move(text);
  return result;
}

}  // namespace tarvik
