// Test helper: points a library trace channel (the query results' or the
// queries') at a fresh channel writing to a file while the object lives, so
// a test can read back exactly which lines were written.
#ifndef KEZ_TEST_TRACE_CAPTURE_H
#define KEZ_TEST_TRACE_CAPTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/KezTrace.h"

namespace kez {
namespace test {

class TraceCapture {
 public:
  // slot: &KezDcQrQResult::sp_Trace or &KezDcQrQuery::sp_Trace.
  TraceCapture(KezTrace** slot, int level) : slot_(slot), saved_(*slot) {
    static int serial = 0;
    path_ = ::testing::TempDir() + "kez_capture_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    std::remove(path_.c_str());
    channel_ = new KezTrace("TraceCapture", "test capture", 0, path_.c_str(), 1024);
    channel_->SetLevel(level);
    *slot_ = channel_;
  }
  ~TraceCapture() {
    Stop();
    std::remove(path_.c_str());
  }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Gives the library its own channel back; the text stays readable.
  void Stop() {
    if (channel_) *slot_ = saved_;
    delete channel_;
    channel_ = nullptr;
  }

  // Everything written to the channel so far.
  std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  KezTrace** slot_;
  KezTrace* saved_;
  KezTrace* channel_ = nullptr;
  std::string path_;
};

}  // namespace test
}  // namespace kez

#endif
