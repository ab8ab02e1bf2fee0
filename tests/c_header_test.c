/* Every public header compiles as C, and the exported calls link from C.
   The static assertions pin the layouts that the 32-bit ABI fixes. */
#include <stdio.h>
#include <string.h>

#include "base/jx_async.h"
#include "base/jx_lock.h"
#include "base/jx_log.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

_Static_assert(sizeof(bool) == 1, "bool results are one byte");
_Static_assert(offsetof(jx_task_callback, user_data) == 0 &&
                   offsetof(jx_task_callback, func) == sizeof(void*) &&
                   sizeof(jx_task_callback) == 2 * sizeof(void*),
               "a task callback is user data, then the function");

static void Count(void* counter) { ++*(int*)counter; }

int main(void) {
  char path[] = "C:\\data\\\\app\\.\\logs\\";
  unsigned int length = fix_file_path(path, 0);
  int calls = 0;
  const jx_task_callback count = {&calls, Count};
  jx_execute(&count, -1, "no such worker");
  jx_lock_t lock = jx_lock_create();
  char* block = (char*)jx_malloc(16, true);
  int ok = length == 17 && strcmp(path, "C:/data/app/logs/") == 0 && block != NULL &&
           block[15] == 0 && jx_clock_tick_nanoseconds() > 0 &&
           !jx_log_write_log("jx", JX_LOG_FATAL, "c", "refused before set-up") &&
           jx_log_min_level() == JX_LOG_INFO && calls == 1;
  jx_lock_lock(lock);
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
  jx_free(block);
  if (!ok) {
    puts("c_header_test: FAILED");
    return 1;
  }
  puts("c_header_test: ok");
  return 0;
}
