/* Every public header compiles as C, and the exported calls link from C.
   The static assertions pin the layouts that the 32-bit ABI fixes. */
#include <stdio.h>
#include <string.h>

#include "base/jx_lock.h"
#include "base/jx_memory.h"
#include "base/jx_string.h"
#include "base/jx_system.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

_Static_assert(sizeof(bool) == 1, "bool results are one byte");

int main(void) {
  char path[] = "C:\\data\\\\app\\.\\logs\\";
  unsigned int length = fix_file_path(path, 0);
  jx_lock_t lock = jx_lock_create();
  char* block = (char*)jx_malloc(16, true);
  char* folder = NULL;
  uint32_t folder_length = 0;
  int ok = length == 17 && strcmp(path, "C:/data/app/logs/") == 0 && block != NULL &&
           block[15] == 0 && jx_clock_tick_nanoseconds() > 0 &&
           jx_get_os_user_root_path(&folder, &folder_length) && folder[folder_length - 1] == '/' &&
           jx_process_is_alive(jx_get_current_process_id());
  jx_lock_lock(lock);
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
  jx_free(block);
  jx_free(folder);
  if (!ok) {
    puts("c_header_test: FAILED");
    return 1;
  }
  puts("c_header_test: ok");
  return 0;
}
