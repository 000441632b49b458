// The progress line of a --rows walk on a terminal: rows done and rows per
// second on standard error, refreshed at most ten times a second and erased
// at the end. Silent when standard error is not a terminal.
#ifndef KEZQ_PROGRESS_H
#define KEZQ_PROGRESS_H

#include <chrono>
#include <cstdio>

namespace kezq {

class Progress {
 public:
  explicit Progress(std::FILE* err);
  void Update(long rows);
  void Finish();

 private:
  std::FILE* err_;
  bool terminal_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace kezq

#endif
