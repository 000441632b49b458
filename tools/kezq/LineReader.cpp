// kezq's bounded line reader.
#include "LineReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Stop.h"

namespace kezq {

LineReader::LineReader(const std::string& path) : name_(path == "-" ? "<stdin>" : path) {
  if (path == "-") {
    fd_ = 0;
    return;
  }
  do {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) error_ = std::strerror(errno);
  owns_ = fd_ >= 0;
}

LineReader::~LineReader() {
  if (owns_) close(fd_);
}

// Reads more octets into the buffer; false at the end, on an error or on a
// stop signal.
bool LineReader::Fill() {
  start_ = end_ = 0;
  while (!ended_) {
    if (!WaitToRead(fd_)) {
      stopped_ = true;
      return false;
    }
    ssize_t got = read(fd_, buffer_, sizeof buffer_);
    if (got > 0) {
      end_ = static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) ended_ = true;
    if (got < 0 && errno != EINTR && errno != EAGAIN) {
      error_ = std::strerror(errno);
      ended_ = true;
    }
  }
  return false;
}

LineReader::Result LineReader::Next(std::string& line) {
  line.clear();
  if (fd_ < 0 || !error_.empty()) return kError;
  if (ended_ && start_ == end_) return kEnd;
  bool any = false;
  for (;;) {
    if (start_ == end_ && !Fill()) {
      if (stopped_) return kStopped;
      if (!error_.empty()) return kError;
      if (!any) return kEnd;
      break;  // a last line without "\n"
    }
    any = true;
    const char* from = buffer_ + start_;
    const void* newline = std::memchr(from, '\n', end_ - start_);
    std::size_t take = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - from) : end_ - start_;
    if (line.size() + take > kMaxLine) {
      ++number_;
      error_ = "the line is longer than " + std::to_string(kMaxLine) + " octets";
      return kTooLong;
    }
    line.append(from, take);
    start_ += take + (newline ? 1 : 0);
    if (newline) break;
  }
  ++number_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (number_ == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  return kLine;
}

}  // namespace kezq
