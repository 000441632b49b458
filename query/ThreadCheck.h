// Debug builds only: the registries are process-wide and unlocked, so two
// threads inside the library at once are a programmer's error. A guard at
// the entry points (NewQuery, DoQuery, DeleteQuery, DeleteAllQueries) says
// so and aborts; release builds (NDEBUG) compile it away.
#ifndef KEZ_DC_QR_THREAD_CHECK_H
#define KEZ_DC_QR_THREAD_CHECK_H

#ifdef NDEBUG
namespace kez {
namespace detail {
class ThreadCheck {
 public:
  explicit ThreadCheck(const char*) {}
};
}  // namespace detail
}  // namespace kez
#else
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace kez {
namespace detail {

class ThreadCheck {
 public:
  explicit ThreadCheck(const char* operation) {
    std::thread::id none;
    std::thread::id me = std::this_thread::get_id();
    if (Owner().compare_exchange_strong(none, me)) {
      owns_ = true;
    } else if (none != me) {
      std::fprintf(stderr,
                   "KezDcQr: %s called while another thread is inside the library; use it from one thread at a "
                   "time (docs/packaging.md)\n",
                   operation);
      std::abort();
    }
  }
  ~ThreadCheck() {
    if (owns_) Owner().store(std::thread::id());
  }
  ThreadCheck(const ThreadCheck&) = delete;
  ThreadCheck& operator=(const ThreadCheck&) = delete;

 private:
  static std::atomic<std::thread::id>& Owner() {
    static std::atomic<std::thread::id> owner{};
    return owner;
  }
  bool owns_ = false;
};

}  // namespace detail
}  // namespace kez
#endif

#endif
