// A power cut for SQLite, inside one process. The VFS wraps the real "unix"
// one and holds every write made since a file's last xSync in memory, where
// reads see it, as an operating system's cache would. After a chosen number
// of xWrite and xSync calls it lets a random subset of those writes reach
// the file, each whole or not at all, and ends the process with _exit: the
// disk as a machine losing power mid-work could leave it.
//
// Simplified: truncating and deleting a file take effect at once, and the
// shared-memory index (-shm) passes straight through (a fresh opener
// rebuilds it from the log).
#pragma once

#include <cstdint>

namespace tarvik::testing {

struct PowerCut {
  std::uint64_t after_calls = 1000;  // xWrite + xSync calls before the cut
  std::uint32_t seed = 1;            // which unsynced writes survive
  double keep = 0.5;                 // chance that one unsynced write survives
  int exit_status = 86;
};

// Registers the VFS as the default, so every database this process opens
// from now on goes through it. Meant for a forked child only; call once.
void InstallPowerLossVfs(const PowerCut& cut);

// Sets the cut to come after this many more xWrite and xSync calls.
void ArmPowerCut(std::uint64_t after_calls);

// Cuts the power at once, as the chosen call would (the VFS must be
// installed).
[[noreturn]] void CutPower();

// The exit status of a process ended by the cut.
inline constexpr int kPowerCutStatus = 86;

}  // namespace tarvik::testing
