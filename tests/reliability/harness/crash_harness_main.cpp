// tarvik_crash_harness [--power-loss] [--kills N] [--seed S] [--copies C]
//                      [--only K] [--no-recovery]
#include <cstdlib>
#include <iostream>
#include <string>

#include "tests/reliability/crash_harness.h"

int main(int argc, char** argv) {
  tarvik::testing::CrashRun run;
  bool power = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--power-loss") {
      power = true;
      continue;
    }
    if (arg == "--no-recovery") {
      run.recover = false;
      continue;
    }
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
      } else if (arg == "--only") {
        run.only = std::stoi(value);
      } else {
        std::cerr << "unknown argument " << arg << "\n";
        return 2;
      }
    } catch (const std::exception&) {
      std::cerr << "not a number: " << value << "\n";
      return 2;
    }
  }
  if (run.kills < 1 || run.copies < 0) {
    std::cerr << "--kills takes a positive number, --copies one not negative\n";
    return 2;
  }
  const auto result = power ? tarvik::testing::RunPowerLossHarness(run, std::cout)
                            : tarvik::testing::RunCrashHarness(run, std::cout);
  const int expected = run.only >= 0 ? run.only % 25 + 1 : run.kills;
  return result.kills == expected && result.consistent == result.kills &&
                 (!power || result.commits_lost == 0)
             ? 0
             : 1;
}
