// tarvik_crash_harness [--kills N] [--seed S] [--copies C]
#include <cstdlib>
#include <iostream>
#include <string>

#include "tests/reliability/crash_harness.h"

int main(int argc, char** argv) {
  tarvik::testing::CrashRun run;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      std::cerr << "missing value after " << arg << "\n";
      return 2;
    }
    const char* value = argv[++i];
    try {
      if (arg == "--kills") {
        run.kills = std::stoi(value);
      } else if (arg == "--seed") {
        run.seed = static_cast<std::uint32_t>(std::stoul(value));
      } else if (arg == "--copies") {
        run.copies = std::stoi(value);
      } else {
        std::cerr << "unknown argument " << arg << "\n";
        return 2;
      }
    } catch (const std::exception&) {
      std::cerr << "not a number: " << value << "\n";
      return 2;
    }
  }
  const auto result = tarvik::testing::RunCrashHarness(run, std::cout);
  return result.kills == run.kills && result.consistent == result.kills ? 0 : 1;
}
