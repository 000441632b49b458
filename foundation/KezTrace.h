// Named trace channels. A channel writes the lines whose level is at most
// its own level; at level 0 (the default) it writes nothing and formats
// nothing. Levels come from SetLevel or, when the channel is created, from
// the environment variable KEZ_TRACE ("Name=Level,...", "*=N" for all).
//
// Call sites use KEZ_TRA(channel, level, format, ...), which does not even
// evaluate the arguments while the level is off.
#ifndef KEZ_TRACE_H
#define KEZ_TRACE_H

#include <cstdio>
#include <string>

#include "foundation/KezExport.h"

class KEZDCQR_API KezTrace {
 public:
  // output: "STDERR", "STDOUT", or the path of a file that lines are
  // appended to. mode is kept for callers (lines are always plain); size is
  // the initial size of the line buffer.
  KezTrace(const char* name, const char* comment, int mode, const char* output, int size);
  ~KezTrace();
  KezTrace(const KezTrace&) = delete;
  KezTrace& operator=(const KezTrace&) = delete;

  void TraPrint(int level, const char* format, ...) KEZ_PRINTF(3, 4);
  void SetLevel(int level) { level_ = level < 0 ? 0 : level; }
  int GetLevel() const { return level_; }
  bool IsActive(int level) const { return level <= level_ && level_ > 0; }
  const char* GetName() const { return name_.c_str(); }
  const char* GetComment() const { return comment_.c_str(); }

  // The live channel with that name, or null.
  static KezTrace* Find(const char* name);
  // Sets the level of the channel named name, or of every channel for "*";
  // returns the number of channels changed.
  static int SetLevelOf(const char* name, int level);

 private:
  std::string name_;
  std::string comment_;
  std::string output_;
  std::FILE* file_ = nullptr;  // owned when output_ names a file
  int level_ = 0;
  std::string line_;
};

#define KEZ_TRA(channel, level, ...)                                                                             \
  do {                                                                                                           \
    KezTrace* kez_tra_channel_ = (channel);                                                                      \
    if (kez_tra_channel_ && kez_tra_channel_->IsActive(level)) kez_tra_channel_->TraPrint((level), __VA_ARGS__); \
  } while (0)

#endif
