// Stopping kezq cleanly. SIGINT, SIGTERM and SIGHUP only set a flag that
// the loops read between lines and rows, so that kezq stops reading and
// commits the open insert batch before it exits; a second signal ends it at
// once. SIGPIPE is ignored: a closed output shows as a write error (EPIPE)
// that stops kezq the same way.
#ifndef KEZQ_STOP_H
#define KEZQ_STOP_H

namespace kezq {

void InstallStopSignals();
// The signal that asked kezq to stop, 0 while none did.
int StopSignal();
// "SIGINT", "SIGTERM", ...
const char* SignalName(int signal);
// Waits until fd has something to read (or its end, or an error) and
// returns true; returns false as soon as a stop signal has come instead.
bool WaitToRead(int fd);

}  // namespace kezq

#endif
