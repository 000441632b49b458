// Reading query lines one at a time from a file or standard input, so that
// each line runs as soon as it is read and a script of any length streams
// in constant memory. A line is bounded (kMaxLine octets); a UTF-8
// byte-order mark at the start of the input is skipped.
#ifndef KEZQ_LINE_READER_H
#define KEZQ_LINE_READER_H

#include <cstddef>
#include <string>

namespace kezq {

class LineReader {
 public:
  static const std::size_t kMaxLine = std::size_t{4} * 1024 * 1024;

  enum Result { kLine, kEnd, kStopped, kTooLong, kError };

  // Reads path ("-": standard input). Opened() is false, with Error() set,
  // when the file cannot be opened.
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool Opened() const { return fd_ >= 0; }
  // The next line, without its "\n" or "\r\n". kStopped when a stop signal
  // came while waiting for input; kTooLong and kError end the input.
  Result Next(std::string& line);
  // The number of the line that Next returned last (from 1).
  int Number() const { return number_; }
  // What went wrong: the system's words for an open or read failure.
  const std::string& Error() const { return error_; }
  // "<stdin>" or the path: the origin of its lines' messages.
  const std::string& Name() const { return name_; }

 private:
  bool Fill();

  int fd_ = -1;
  bool owns_ = false;
  std::string name_;
  std::string error_;
  int number_ = 0;
  bool ended_ = false;
  bool stopped_ = false;
  char buffer_[64 * 1024];
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

}  // namespace kezq

#endif
