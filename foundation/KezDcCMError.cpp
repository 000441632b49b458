// Bounded store of the newest error messages.
#include "foundation/KezDcCMError.h"

#include <cstdarg>
#include <deque>
#include <string>

#include "foundation/KezCFormat.h"

namespace {

struct ErrorStore {
  std::deque<std::string> messages;
  std::size_t bytes = 0;
  long dropped = 0;
};

ErrorStore& Store() {
  static ErrorStore* store = new ErrorStore();  // never destroyed: usable at exit
  return *store;
}

void DropOldest(ErrorStore& store) {
  store.bytes -= store.messages.front().size();
  store.messages.pop_front();
  ++store.dropped;
}

}  // namespace

void KezDcCMError::AddError(const char* iFormat, ...) {
  va_list args;
  va_start(args, iFormat);
  std::string message = kez::FormatV(iFormat ? iFormat : "", args);
  va_end(args);
  if (message.size() > static_cast<std::size_t>(kMaxMessageBytes)) message.resize(kMaxMessageBytes);
  ErrorStore& store = Store();
  while (!store.messages.empty() && (store.messages.size() >= static_cast<std::size_t>(kMaxErrors) ||
                                     store.bytes + message.size() > static_cast<std::size_t>(kMaxBytes))) {
    DropOldest(store);
  }
  store.bytes += message.size();
  store.messages.push_back(std::move(message));
}

int KezDcCMError::GetNbErrors() {
  return static_cast<int>(Store().messages.size());
}

KezUnicodeString KezDcCMError::GetError(int i) {
  ErrorStore& store = Store();
  if (i < 1 || static_cast<std::size_t>(i) > store.messages.size()) return KezUnicodeString();
  return KezUnicodeString(store.messages[static_cast<std::size_t>(i - 1)]);
}

long KezDcCMError::GetNbDropped() {
  return Store().dropped;
}

void KezDcCMError::ClearErrors() {
  ErrorStore& store = Store();
  store.messages.clear();
  store.bytes = 0;
  store.dropped = 0;
}
