// Trace channels: level filtering, KEZ_TRACE, and line output.
#include "foundation/KezTrace.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/KezCFormat.h"

namespace {

std::vector<KezTrace*>& LiveChannels() {
  static std::vector<KezTrace*>* channels = new std::vector<KezTrace*>();  // never destroyed: used at exit
  return *channels;
}

// The level that KEZ_TRACE gives to a channel name; -1 when it names none.
int LevelFromEnvironment(const std::string& name) {
  const char* setting = std::getenv("KEZ_TRACE");
  if (!setting) return -1;
  int level = -1;
  std::string text(setting);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::size_t eq = item.find('=');
    if (eq != std::string::npos) {
      std::string key = item.substr(0, eq);
      int value = static_cast<int>(std::strtol(item.c_str() + eq + 1, nullptr, 10));
      if (key == name || key == "*") level = value;  // later items win
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return level;
}

}  // namespace

KezTrace::KezTrace(const char* name, const char* comment, int /*mode*/, const char* output, int size)
    : name_(name ? name : ""), comment_(comment ? comment : ""), output_(output ? output : "STDERR") {
  if (size > 0) line_.reserve(static_cast<std::size_t>(size));
  int level = LevelFromEnvironment(name_);
  if (level > 0) level_ = level;
  LiveChannels().push_back(this);
}

KezTrace::~KezTrace() {
  auto& live = LiveChannels();
  for (auto it = live.begin(); it != live.end(); ++it) {
    if (*it == this) {
      live.erase(it);
      break;
    }
  }
  if (file_) std::fclose(file_);
}

void KezTrace::TraPrint(int level, const char* format, ...) {
  if (!IsActive(level)) return;
  va_list args;
  va_start(args, format);
  line_ = kez::FormatV(format, args);
  va_end(args);
  std::FILE* out = stderr;
  if (output_ == "STDOUT") {
    out = stdout;
  } else if (output_ != "STDERR") {
    if (!file_) file_ = std::fopen(output_.c_str(), "ab");
    if (!file_) return;
    out = file_;
  }
  std::fwrite(line_.data(), 1, line_.size(), out);
  std::fflush(out);
}

KezTrace* KezTrace::Find(const char* name) {
  for (KezTrace* channel : LiveChannels()) {
    if (name && channel->name_ == name) return channel;
  }
  return nullptr;
}

int KezTrace::SetLevelOf(const char* name, int level) {
  int changed = 0;
  bool all = name && std::strcmp(name, "*") == 0;
  for (KezTrace* channel : LiveChannels()) {
    if (all || (name && channel->name_ == name)) {
      channel->SetLevel(level);
      ++changed;
    }
  }
  return changed;
}
