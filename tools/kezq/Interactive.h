// kezq's interactive prompt: query lines and dot-commands, with line
// editing and history when readline is available.
#ifndef KEZQ_INTERACTIVE_H
#define KEZQ_INTERACTIVE_H

#include "Runner.h"

namespace kezq {

// Reads and runs lines until .quit or end of input; returns the exit status.
int RunInteractive(Runner& runner);

}  // namespace kezq

#endif
