// kezq's progress line.
#include "Progress.h"

#include <unistd.h>

namespace kezq {

Progress::Progress(std::FILE* err)
    : err_(err), terminal_(isatty(fileno(err)) != 0), start_(std::chrono::steady_clock::now()), last_(start_) {}

void Progress::Update(long rows) {
  if (!terminal_ || (rows & 63) != 0) return;  // the clock is read every 64 rows only
  auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(err_, "\r%ld rows, %.0f rows/s   ", rows, seconds > 0 ? rows / seconds : 0.0);
  std::fflush(err_);
  shown_ = true;
}

void Progress::Finish() {
  if (!shown_) return;
  std::fprintf(err_, "\r%60s\r", "");
  std::fflush(err_);
  shown_ = false;
}

}  // namespace kezq
