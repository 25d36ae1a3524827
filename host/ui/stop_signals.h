// Ctrl-C, SIGTERM and SIGHUP while a command posts. A posting is several
// steps (creation, inventory relief, order status), each committed on its
// own; the component's call runs them all, so a command stopped between its
// calls leaves whole books, and one stopped in the middle of a call does not.
// While a StopSignals guard lives, the first of these signals only asks the
// command to stop: the call in progress runs to its end, the command starts
// nothing new, says what it did and exits with 128 + the signal. A second
// signal changes nothing.
#pragma once

namespace tarvik::host {

class StopSignals {
 public:
  // Catches SIGINT, SIGTERM and SIGHUP; the destructor puts back the
  // handlers that were there. One guard at a time.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// The first signal caught, 0 when none.
int StopSignal();
inline bool StopRequested() { return StopSignal() != 0; }
// 128 + the signal (130 for SIGINT, 143 for SIGTERM).
int StopExitCode();
// "SIGINT", "SIGTERM", "SIGHUP".
const char* StopSignalName();

}  // namespace tarvik::host
