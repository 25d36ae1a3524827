#include "platform/module_path.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace tarvik {

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::weakly_canonical(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : absolute.string();
}

}  // namespace tarvik
