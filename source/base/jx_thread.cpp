// Thread identity and pauses.
#include "base/jx_thread.h"

#include <thread>

#include "platform/jx_os.h"

extern "C" {

int64_t jx_get_current_process_id(void) {
  static const int64_t id = jx::os::ProcessId();
  return id;
}

int64_t jx_get_current_thread_id(void) { return jx::os::ThreadId(); }

bool jx_set_current_thread_name(const char* name) {
  return jx::os::SetThreadName(name != nullptr ? name : "");
}

void jx_this_thread_sleep(int milliseconds) {
  if (milliseconds <= 0) {
    jx_this_thread_yield();
    return;
  }
  jx::os::SleepMilliseconds(milliseconds);
}

void jx_this_thread_yield(void) { std::this_thread::yield(); }

}  // extern "C"
