// Where a loaded library lives: servers register their own path.
#pragma once

#include <string>

namespace tarvik {

// The absolute path of the library or program that holds `address` (pass
// the address of a function of the module asking); empty when unknown.
std::string ModulePathOf(const void* address);

}  // namespace tarvik
