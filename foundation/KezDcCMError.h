// The error collector: every failure of the library is recorded here as one
// printf-style message, and the caller goes on. The collector keeps the
// newest messages within a bound (kMaxErrors messages, kMaxBytes octets in
// all, each message cut at kMaxMessageBytes octets) and counts the ones it
// dropped, so a long-running client cannot make it grow without end.
#ifndef KEZ_DC_CM_ERROR_H
#define KEZ_DC_CM_ERROR_H

#include "foundation/KezExport.h"
#include "foundation/KezUnicodeString.h"

class KEZDCQR_API KezDcCMError {
 public:
  static constexpr int kMaxErrors = 1000;
  static constexpr int kMaxBytes = 8 * 1024 * 1024;
  static constexpr int kMaxMessageBytes = 64 * 1024;

  static void AddError(const char* iFormat, ...) KEZ_PRINTF(1, 2);
  // Number of messages held.
  static int GetNbErrors();
  // Message i (1-based, oldest first) exactly as formatted; empty outside.
  static KezUnicodeString GetError(int i);
  // Messages dropped (oldest first) since the last ClearErrors.
  static long GetNbDropped();
  static void ClearErrors();
};

#endif
