// kezq's stop signals.
#include "Stop.h"

#include <poll.h>

#include <cerrno>
#include <csignal>

namespace kezq {

namespace {

volatile std::sig_atomic_t stop_signal = 0;

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int signal) {
  stop_signal = signal;
}

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kStopSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking read returns at once. SA_RESETHAND: a second
  // signal finds the default action and ends kezq.
  action.sa_flags = SA_RESETHAND;
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int StopSignal() {
  return stop_signal;
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGPIPE:
      return "SIGPIPE";
  }
  return "a signal";
}

// The stop signals are blocked except inside ppoll, so one that comes
// between the check of the flag and the wait still ends the wait.
bool WaitToRead(int fd) {
  sigset_t stop = StopSet(), old;
  sigprocmask(SIG_BLOCK, &stop, &old);
  bool ready = false;
  while (!ready && stop_signal == 0) {
    struct pollfd wanted = {fd, POLLIN, 0};
    sigset_t during = old;
    for (int signal : kStopSignals) sigdelset(&during, signal);
    int rc = ppoll(&wanted, 1, nullptr, &during);
    ready = rc > 0 || (rc < 0 && errno != EINTR);  // an error: read() says which
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return ready;
}

}  // namespace kezq
