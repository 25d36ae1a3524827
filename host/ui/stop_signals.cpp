#include "host/ui/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace tarvik::host {
namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_terminal = 0;  // stderr is a terminal: erase the progress line first

constexpr char kErase[] = "\r\x1b[K";
constexpr char kFirst[] = "tarvik: stopping after the current step...\n";
constexpr char kAgain[] = "tarvik: still finishing; the books stay whole\n";

void Say(const char* text, std::size_t size) {
  if (g_terminal) (void)!write(STDERR_FILENO, kErase, sizeof kErase - 1);
  (void)!write(STDERR_FILENO, text, size);
}

extern "C" void OnStopSignal(int signal) {
  const int saved = errno;
  if (g_signal == 0) {
    g_signal = signal;
    Say(kFirst, sizeof kFirst - 1);
  } else {
    Say(kAgain, sizeof kAgain - 1);
  }
  errno = saved;
}

std::array<struct sigaction, kSignals.size()> g_previous;

}  // namespace

StopSignals::StopSignals() {
  g_signal = 0;
  g_terminal = isatty(STDERR_FILENO) == 1;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  // Interrupted reads and waits go on: the database libraries, the output
  // streams and the demo's wait for its print runs need not see EINTR.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

int StopSignal() { return g_signal; }

int StopExitCode() { return g_signal ? 128 + g_signal : 0; }

const char* StopSignalName() {
  switch (g_signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
  }
  return "";
}

}  // namespace tarvik::host
