// libFuzzer entry; TARVIK_FUZZ_ENTRY names the target (see CMakeLists.txt).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    TARVIK_FUZZ_ENTRY(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tarvik::fuzz::InvariantBroken& e) {
    std::fprintf(stderr, "invariant broken: %s\n", e.what());
    std::abort();
  }
  return 0;
}
